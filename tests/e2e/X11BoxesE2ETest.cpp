// The program's message boxes on a bare X server: each box is transient for the main window,
// stacked over it, takes the keyboard while it is up and hands it back when it closes.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QRect>
#include <QRegularExpression>

#include "support/E2E.h"
#include "support/TempHome.h"

namespace {
// The window that has the keyboard, as an id like xwininfo prints; empty for none or the root.
QString FocusedWindow(const QString& display) {
  bool ok = false;
  const qulonglong id =
      RunOnDisplay(display, QStringLiteral("xdotool"), {QStringLiteral("getwindowfocus")})
          .trimmed()
          .toULongLong(&ok);
  return ok ? QStringLiteral("0x%1").arg(id, 0, 16) : QString();
}

QString TransientFor(const QString& display, const QString& id) {
  const QString out = RunOnDisplay(display, QStringLiteral("xprop"),
                                   {QStringLiteral("-id"), id, QStringLiteral("WM_TRANSIENT_FOR")});
  const auto m = QRegularExpression(QStringLiteral("window id # (0x[0-9a-f]+)")).match(out);
  return m.hasMatch() ? m.captured(1) : QString();
}

// Where the window is on the screen.
QRect Geometry(const QString& display, const QString& id) {
  const QString out =
      RunOnDisplay(display, QStringLiteral("xwininfo"), {QStringLiteral("-id"), id});
  auto value = [&](const char* name) {
    const auto m =
        QRegularExpression(QStringLiteral("%1:\\s+(-?\\d+)").arg(QLatin1String(name))).match(out);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
  };
  return QRect(value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"),
               value("Height"));
}

// The root's children, top of the stack first (as xwininfo lists them).
int StackPosition(const QString& display, const QString& id) {
  const QString tree = RunOnDisplay(display, QStringLiteral("xwininfo"),
                                    {QStringLiteral("-root"), QStringLiteral("-children")});
  const QRegularExpression re(QStringLiteral("^\\s+(0x[0-9a-f]+) "));
  int position = 0;
  for (const QString& line : tree.split('\n')) {
    const auto m = re.match(line);
    if (!m.hasMatch()) continue;
    if (m.captured(1) == id) return position;
    ++position;
  }
  return -1;
}
}  // namespace

TEST(X11BoxesE2E, BoxesStayOverTheMainWindowAndGiveTheFocusBack) {
  XvfbDisplay display(1024, 768);
  ASSERT_TRUE(display.ok());
  SessionBus bus;
  ASSERT_TRUE(bus.ok());
  TempHome home;
  home.write(".config/Quillatorne/settings.reg", FolderSettings(BoxRoundFolders(home.path())));

  ProgramRun program(display, home);
  ASSERT_TRUE(StartWithWindowShown(program, display, home, bus))
      << qPrintable(program.stderrText());
  QString main;
  main = ViewableWindow(display.display(), "Quillatorne");
  const QRect mainRect = Geometry(display.display(), main);
  const AtspiUser user(display, bus);

  for (const BoxRound& r : kBoxRounds) {
    SCOPED_TRACE(std::string(r.open) + " then " + r.box + ": " + r.answer);
    if (*r.open) {
      ASSERT_TRUE(user.Run({"press", r.open, "Quillatorne"}));
    }
    QString box;
    ASSERT_TRUE(WaitUntil(
        [&] {
          box = ViewableWindow(display.display(), r.box);
          return !box.isEmpty() && FocusedWindow(display.display()) == box;
        },
        20000))
        << "no focused box; focus on " << qPrintable(FocusedWindow(display.display()));
    EXPECT_EQ(TransientFor(display.display(), box), main);
    EXPECT_LT(StackPosition(display.display(), box), StackPosition(display.display(), main));
    EXPECT_TRUE(mainRect.contains(Geometry(display.display(), box).center()));

    ASSERT_TRUE(user.Run({"press", r.answer, r.box}));
    switch (r.after) {
      case AfterBox::ProgramEnds:
        EXPECT_TRUE(program.WaitForExit(30000)) << qPrintable(program.stderrText());
        break;
      case AfterBox::FocusBack:
        EXPECT_TRUE(WaitUntil(
            [&] {
              return !WindowIdViewable(display.display(), box) &&
                     FocusedWindow(display.display()) == main;
            },
            20000))
            << "focus on " << qPrintable(FocusedWindow(display.display())) << ", not "
            << qPrintable(main) << qPrintable(program.stderrText());
        break;
      case AfterBox::NextBox:
        break;
    }
  }
  EXPECT_EQ(program.process().exitCode(), 0);
}
