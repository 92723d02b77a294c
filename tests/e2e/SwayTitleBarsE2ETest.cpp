// One title bar on sway: the reminder draws its own header, so sway draws none over it (the
// boxes, the preview and the main window are looked at in their own tests).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "support/E2E.h"
#include "support/SwaySession.h"

namespace {
QSize Size(const QJsonObject& r) { return QSize(r["width"].toInt(), r["height"].toInt()); }
}  // namespace

TEST(SwayTitleBarsE2E, TheReminderShowsItsOwnHeaderOnly) {
  SwaySession session;
  if (!session.ok()) GTEST_SKIP() << session.why();
  QDir().mkpath(session.home() + "/.config/Quillatorne");
  {
    QFile f(session.home() + "/.config/Quillatorne/settings.reg");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(SettingsWithReminderDueNow());
  }
  session.GiveToUser(session.home());
  SwayProgram program(session);
  ASSERT_TRUE(program.Start());
  const QString title = QStringLiteral("Quillatorne reminder");
  QJsonObject view;
  ASSERT_TRUE(WaitUntil(
      [&] {
        view = SwaySession::FindView(session.Tree(), title);
        return !view.isEmpty() && Size(view["window_rect"].toObject()).width() > 0;
      },
      60000))
      << qPrintable(program.Log().right(3000));
  EXPECT_EQ(Size(view["deco_rect"].toObject()).height(), 0)
      << "sway draws a title bar: " << QJsonDocument(view).toJson().toStdString();
  EXPECT_NE(view["border"].toString(), QStringLiteral("normal"));
  // Nothing of the toolkit's around the window's own 474 x 235 either.
  EXPECT_EQ(Size(view["window_rect"].toObject()), QSize(474, 235));
}

// A plain start (Qt choosing its platform) on a Wayland session without Xwayland: the
// program comes up as a native Wayland client.
TEST(SwayPlainStartE2E, RunsOnASessionWithoutXwayland) {
  SwaySession session;
  if (!session.ok()) GTEST_SKIP() << session.why();
  SwayProgram program(session);
  program.letQtChoose();
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(program.WaitForListening()) << qPrintable(program.Log().right(3000));
  ASSERT_TRUE(program.ShowWindow());
  QJsonObject view;
  EXPECT_TRUE(WaitUntil(
      [&] { return !(view = SwaySession::FindView(session.Tree(), "Quillatorne")).isEmpty(); },
      30000))
      << qPrintable(program.Log().right(3000));
  EXPECT_EQ(view["shell"].toString(), QStringLiteral("xdg_shell"));
}
