// A reminder due while the user is in another program's window on sway: the popup asks for
// attention (xdg-activation), which sway answers by marking it and its workspace urgent for the
// bar, and the keyboard stays where it was: behind a full-screen window, where sway keeps the
// popup, and over a tiled one with the rule the README gives (sway focuses new windows).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "support/E2E.h"
#include "support/SwaySession.h"

namespace {
// A GTK window of another program, full screen, named "Film".
const char* const kFilm =
    "import gi\n"
    "gi.require_version('Gtk', '3.0')\n"
    "from gi.repository import Gtk\n"
    "w = Gtk.Window(title='Film')\n"
    "w.fullscreen()\n"
    "w.show_all()\n"
    "Gtk.main()\n";

// The workspace node holding the view of that name.
QJsonObject WorkspaceOf(const QJsonObject& node, const QString& name,
                        const QJsonObject& workspace = {}) {
  const QJsonObject here =
      node["type"].toString() == QLatin1String("workspace") ? node : workspace;
  if (node["name"].toString() == name && node.contains("pid")) return here;
  for (const char* list : {"nodes", "floating_nodes"})
    for (const auto& child : node[list].toArray())
      if (QJsonObject found = WorkspaceOf(child.toObject(), name, here); !found.isEmpty())
        return found;
  return {};
}
}  // namespace

struct AttentionCase {
  const char* name;
  bool fullScreen;      // the other program's window
  const char* config;   // lines of sway's configuration
};

class SwayAttentionE2E : public ::testing::TestWithParam<AttentionCase> {};

// Behind a full-screen window; over a tiled one with the README's rule for sway.
TEST_P(SwayAttentionE2E, TheReminderIsMarkedUrgentAndTheKeyboardStaysWhereItWas) {
  SwaySession session(1, QString::fromUtf8(GetParam().config));
  if (!session.ok()) GTEST_SKIP() << session.why();
  QDir().mkpath(session.home() + "/.config/Quillatorne");
  {
    QFile f(session.home() + "/.config/Quillatorne/settings.reg");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    // Due 15 s after the start: the film is full screen by then.
    f.write(SettingsWithOneOffReminders({0.25}));
    QFile film(session.home() + "/film.py");
    ASSERT_TRUE(film.open(QIODevice::WriteOnly));
    QByteArray script(kFilm);
    if (!GetParam().fullScreen) script.replace("w.fullscreen()\n", "");
    film.write(script);
  }
  session.GiveToUser(session.home());
  SwayProgram program(session);
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(program.WaitForListening()) << qPrintable(program.Log().right(3000));
  QProcess film;
  film.start(QStringLiteral("runuser"),
             session.AsUser({"env", "GDK_BACKEND=wayland", "python3", session.home() + "/film.py"}));
  ASSERT_TRUE(WaitUntil([&] { return SwaySession::FocusedView(session.Tree()) == "Film"; }, 30000))
      << "the film did not come up";
  const QString popup = QStringLiteral("Quillatorne reminder");
  ASSERT_TRUE(
      WaitUntil([&] { return !SwaySession::FindView(session.Tree(), popup).isEmpty(); }, 60000))
      << "no popup\n"
      << qPrintable(program.Log().right(3000));

  QJsonObject view;
  EXPECT_TRUE(WaitUntil(
      [&] {
        view = SwaySession::FindView(session.Tree(), popup);
        return view["urgent"].toBool();
      },
      10000))
      << QJsonDocument(view).toJson().toStdString();
  EXPECT_TRUE(WorkspaceOf(session.Tree(), popup)["urgent"].toBool());
  // The film keeps the keyboard: nothing typed there answers the reminder.
  EXPECT_EQ(SwaySession::FocusedView(session.Tree()), QStringLiteral("Film"));

  film.kill();
  film.waitForFinished(3000);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, SwayAttentionE2E,
    ::testing::Values(AttentionCase{"BehindAFullScreenWindow", true, ""},
                      AttentionCase{"OverATiledWindowWithTheNoFocusRule", false,
                                    "no_focus [title=\"^Quillatorne reminder$\"]"}),
    [](const auto& info) { return std::string(info.param.name); });
