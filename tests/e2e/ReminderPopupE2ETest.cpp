#include <gtest/gtest.h>

#include <cstdio>

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <cstring>

#include "platform/DateTime.h"
#include "support/E2E.h"
#include "support/TempHome.h"

namespace {

const char* const kPopupTitle = "Quillatorne reminder";

// A date-time as the settings file holds it: eight little-endian bytes.
QByteArray HexDateTime(double days) {
  unsigned char bytes[8];
  static_assert(sizeof days == 8);
  std::memcpy(bytes, &days, 8);
  QStringList hex;
  for (unsigned char b : bytes) hex << QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0'));
  return hex.join(',').toLatin1();
}

QByteArray Section(const char* name) {
  return QByteArray("\n[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\") + name + "]\n";
}

// Two one-off reminders, one in this four-minute slot and one in the next, so whichever
// slot the program starts in has a reminder due.
QByteArray SettingsWithReminderDueNow() {
  const double now = DateTimeToDays(QDateTime::currentDateTime());
  QByteArray s = "Windows Registry Editor Version 5.00\n";
  s += Section("Base") + "\"OK\"=dword:00000001\n";
  s += Section("Wallpaper") + "\"ChangeRule\"=dword:00000000\n";
  s += Section("Email") + "\"EnableCheck\"=dword:00000000\n";
  s += Section("Reminders") + "\"Reminder Count\"=dword:00000002\n";
  const char* sections[] = {"Popup Reminder 1", "Popup Reminder 2"};
  for (int n = 0; n < 2; ++n) {
    s += Section(sections[n]);
    s += "\"Name\"=\"Dentist " + QByteArray::number(n + 1) + "\"\n";
    s += "\"Text\"=\"Bring the forms\"\n";
    s += "\"DateTime\"=hex:" + HexDateTime(now + n * 4 / kMinutesPerDay) + "\n";
    s += "\"Recur\"=dword:00000000\n";
  }
  return s;
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
  EXPECT_EQ(program.Terminate(), 0) << program.stderrText().toStdString();
  QFile saved(home.configFile());
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  const QByteArray text = saved.readAll();
  EXPECT_TRUE(text.contains("\"Reminder Count\"=dword:00000002")) << text.constData();
  EXPECT_TRUE(text.contains("\"Snoozed Count\"=dword:00000000")) << text.constData();
}

}  // namespace
