#include <gtest/gtest.h>

#include <cstdio>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <cstring>

#include "platform/DateTime.h"
#include "support/E2E.h"
#include "support/TempHome.h"

namespace {

const char* const kPopupTitle = "Quillatorne reminder";

// Ends the program with SIGTERM and looks at what it saved: the reminders left.
void ExpectSavedWithReminders(ProgramRun& program, const TempHome& home, int count) {
  EXPECT_EQ(program.Terminate(), 0) << program.stderrText().toStdString();
  QFile saved(home.configFile());
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  const QByteArray text = saved.readAll();
  EXPECT_TRUE(text.contains("\"Reminder Count\"=dword:0000000" + QByteArray::number(count)))
      << text.constData();
  EXPECT_TRUE(text.contains("\"Snoozed Count\"=dword:00000000")) << text.constData();
}

// Clicks the Close button of the reminder popup on screen; false when there is none.
bool ClickPopupClose(const XvfbDisplay& display) {
  const QString popup = ViewableWindow(display.display(), kPopupTitle);
  if (popup.isEmpty()) return false;
  const QString info = RunOnDisplay(display.display(), "xwininfo", {"-id", popup});
  const auto at = [&](const char* what) {
    return QRegularExpression(QString::fromLatin1(what) + QStringLiteral(":\\s+(-?\\d+)"))
        .match(info)
        .captured(1)
        .toInt();
  };
  const int x = at("Absolute upper-left X") + 203 + 41, y = at("Absolute upper-left Y") + 203 + 14;
  RunOnDisplay(display.display(), "xdotool",
               {"mousemove", QString::number(x), QString::number(y), "click", "1"});
  return true;
}

// What a window shows now, as the X server has it.
QImage WindowPicture(const XvfbDisplay& display, const QString& id, const TempHome& home) {
  const QString file = home.path() + QStringLiteral("/window.png");
  QFile::remove(file);
  RunOnDisplay(display.display(), "import", {"-window", id, file});
  return QImage(file).convertToFormat(QImage::Format_RGB32);
}

TEST(ReminderPopupE2E, AReminderDueNowPopsUpInFrontSoonAfterStartUp) {
  TempHome home;
  XvfbDisplay display;
  ASSERT_TRUE(display.ok());
  home.write(".config/Quillatorne/settings.reg", SettingsWithReminderDueNow());

  ProgramRun program(display, home);
  QElapsedTimer sinceStart;
  sinceStart.start();
  ASSERT_TRUE(program.Start());
  // The delay is a measurement, printed: sanitized builds beside other Xvfb tests vary a
  // lot. The bound only catches a popup that never comes.
  const bool shown =
      WaitUntil([&] { return WindowViewable(display.display(), kPopupTitle); }, 30000);
  const qint64 delay = sinceStart.elapsed();
  RecordProperty("popup_after_ms", static_cast<int>(delay));
  std::printf("popup shown %lld ms after the start\n", static_cast<long long>(delay));
  EXPECT_TRUE(shown) << "no popup " << delay << " ms after the start\n"
                     << program.stderrText().toStdString();

  if (shown) {
    // Over other applications: stacked above them and active.
    const QString state =
        RunOnDisplay(display.display(), "xprop", {"-name", kPopupTitle, "_NET_WM_STATE"});
    EXPECT_TRUE(state.contains("_NET_WM_STATE_ABOVE")) << state.toStdString();
  }

  // Ending the program with the popup unanswered saves both reminders untouched.
  ExpectSavedWithReminders(program, home, 2);
}

// The user types in another program when the popup appears: the keys stay there.
TEST(ReminderPopupE2E, KeysTypedInAnotherWindowNeitherMoveToThePopupNorAnswerIt) {
  TempHome home;
  XvfbDisplay display;
  ASSERT_TRUE(display.ok());
  home.write(".config/Quillatorne/settings.reg", SettingsWithReminderDueNow());

  // xev stands for the program the user types in; it prints every key it receives.
  QProcess typing;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("DISPLAY"), display.display());
  typing.setProcessEnvironment(env);
  typing.start(QStringLiteral("xev"), {"-name", "Typing here", "-event", "keyboard"});
  ASSERT_TRUE(typing.waitForStarted(5000));
  QString editor;
  ASSERT_TRUE(WaitUntil(
      [&] { return !(editor = ViewableWindow(display.display(), "Typing here")).isEmpty(); },
      30000));
  RunOnDisplay(display.display(), "xdotool", {"windowfocus", "--sync", editor});

  ProgramRun program(display, home);
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(WaitUntil([&] { return WindowViewable(display.display(), kPopupTitle); }, 30000))
      << program.stderrText().toStdString();

  RunOnDisplay(display.display(), "xdotool", {"key", "Return", "Escape", "space"});
  QByteArray seen;
  const bool typed = WaitUntil(
      [&] {
        seen += typing.readAllStandardOutput();
        return seen.contains("(keysym 0x20, space)") && seen.count("KeyRelease") >= 3;
      },
      5000);
  EXPECT_TRUE(typed) << seen.constData();
  EXPECT_EQ(RunOnDisplay(display.display(), "xdotool", {"getwindowfocus"}).trimmed().toULongLong(),
            editor.toULongLong(nullptr, 16));
  EXPECT_TRUE(WindowViewable(display.display(), kPopupTitle));

  ExpectSavedWithReminders(program, home, 2);
  typing.kill();
  typing.waitForFinished(3000);
}

// On a classic X11 panel (trayer's XEmbed tray) the icon blinks while a reminder waits for
// an answer, which a panel shows also where a full-screen window hides the popup, and stays
// still once it is answered.
TEST(ReminderPopupE2E, OnAClassicTrayTheIconBlinksWhileAReminderWaits) {
  TempHome home;
  XvfbDisplay display;
  ASSERT_TRUE(display.ok());
  QProcess panel;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("DISPLAY"), display.display());
  panel.setProcessEnvironment(env);
  panel.start(QStringLiteral("trayer"), {"--edge", "top", "--align", "right", "--widthtype",
                                         "pixel", "--width", "120", "--height", "32",
                                         "--transparent", "false"});
  ASSERT_TRUE(panel.waitForStarted()) << "trayer is not installed";
  QString tray;
  ASSERT_TRUE(WaitUntil(
      [&] {
        const QStringList ids = WindowIds(display.display(), "panel");
        tray = ids.isEmpty() ? QString() : ids.first();
        return !tray.isEmpty() && WindowIdViewable(display.display(), tray);
      },
      10000));
  const QImage empty = WindowPicture(display, tray, home);
  ASSERT_FALSE(empty.isNull());
  home.write(".config/Quillatorne/settings.reg", SettingsWithOneOffReminders({0}));

  ProgramRun program(display, home);
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(WaitUntil([&] { return WindowViewable(display.display(), kPopupTitle); }, 30000))
      << program.stderrText().toStdString();
  ASSERT_TRUE(WaitUntil([&] { return WindowPicture(display, tray, home) != empty; }, 10000))
      << "the icon never came into the tray\n"
      << program.stderrText().toStdString();
  // Over three seconds, at least three pictures a second: the blink changes every half second.
  QList<QImage> seen;
  QElapsedTimer watching;
  watching.start();
  while (watching.elapsed() < 3000) {
    const QImage now = WindowPicture(display, tray, home);
    if (!now.isNull() && !seen.contains(now)) seen.append(now);
    QThread::msleep(100);
  }

  ASSERT_TRUE(ClickPopupClose(display));
  ASSERT_TRUE(WaitUntil([&] { return !WindowViewable(display.display(), kPopupTitle); }, 30000));
  QThread::msleep(700);
  const QImage still = WindowPicture(display, tray, home);
  QThread::msleep(1200);
  EXPECT_EQ(WindowPicture(display, tray, home), still) << "the icon still blinks, answered";
  // While the reminder waited: the plain icon and one other picture, in turn.
  EXPECT_TRUE(seen.contains(still));
  EXPECT_GE(seen.size(), 2) << "the icon did not change while the reminder waited";
  EXPECT_FALSE(seen.contains(empty));

  ExpectSavedWithReminders(program, home, 0);
  panel.terminate();
  panel.waitForFinished(3000);
}

// Rule 1 on a folder holding only an empty picture: the start-up wallpaper fails with an
// error box. The tray icon and the timers are up by then: the due reminder still pops up
// over the box, and SIGTERM still saves.
TEST(StartUpE2E, ABadPictureAtStartUpHoldsUpNeitherAReminderNorTheSaveOnSigterm) {
  TempHome home;
  XvfbDisplay display;
  ASSERT_TRUE(display.ok());
  const QString pictures = QFileInfo(home.write("pictures/x.jpg", QByteArray())).path();
  home.write(".config/Quillatorne/settings.reg",
             SettingsWithReminderDueNow("\"PathsCount\"=dword:00000001\n\"Path 1\"=\"" +
                                        pictures.toUtf8() +
                                        "\"\n\"ChangeRule\"=dword:00000001\n"
                                        "\"ShowImage\"=dword:00000001\n"));

  ProgramRun program(display, home);
  ASSERT_TRUE(program.Start());
  // The main window hides at once; what stays up under this name is the error box.
  ASSERT_TRUE(WaitUntil([&] { return WindowViewable(display.display(), "Quillatorne"); }, 30000))
      << program.stderrText().toStdString();
  EXPECT_TRUE(WaitUntil([&] { return WindowViewable(display.display(), kPopupTitle); }, 30000))
      << "the reminder waited for the error box\n"
      << program.stderrText().toStdString();
  EXPECT_TRUE(WindowViewable(display.display(), "Quillatorne"));

  // The box does not keep the user from answering the reminder: a click on its Close.
  ASSERT_TRUE(ClickPopupClose(display));
  EXPECT_TRUE(WaitUntil([&] { return !WindowViewable(display.display(), kPopupTitle); }, 30000));
  EXPECT_TRUE(WindowViewable(display.display(), "Quillatorne"));

  ExpectSavedWithReminders(program, home, 1);
}

// A settings file that cannot be read is kept aside, and the user is told where once the
// program runs; ending it with the box open still saves the new settings.
TEST(StartUpE2E, AnUnreadableSettingsFileIsNamedInABoxAfterStartUp) {
  TempHome home;
  XvfbDisplay display;
  ASSERT_TRUE(display.ok());
  home.write(".config/Quillatorne/settings.reg", "\x01\x02 not a registry export\n[broken");

  ProgramRun program(display, home);
  ASSERT_TRUE(program.Start());
  // The box carries its text as its icon name.
  QString text;
  const bool told = WaitUntil(
      [&] {
        const QString box = ViewableWindow(display.display(), "Quillatorne");
        if (box.isEmpty()) return false;
        text = RunOnDisplay(display.display(), "xprop", {"-id", box, "_NET_WM_ICON_NAME"});
        return text.contains("default settings are in use");
      },
      5000);
  EXPECT_TRUE(told) << text.toStdString() << program.stderrText().toStdString();
  const QStringList kept =
      QDir(QFileInfo(home.configFile()).path()).entryList({"settings.reg.bad-*"}, QDir::Files);
  ASSERT_EQ(kept.size(), 1);
  EXPECT_TRUE(text.contains(kept[0])) << text.toStdString();

  EXPECT_EQ(program.Terminate(), 0) << program.stderrText().toStdString();
  QFile saved(home.configFile());
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_TRUE(saved.readAll().startsWith("Windows Registry Editor Version 5.00"));
}

}  // namespace
