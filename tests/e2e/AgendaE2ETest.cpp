// The agenda in the real program: an event's alarm pops up the reminder window once (and
// never again after a restart, never into the reminder list), and --render draws the marks.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QThread>

#include "support/E2E.h"
#include "support/TempHome.h"

namespace {

const char* const kPopupTitle = "Quillatorne reminder";
const QByteArray kKey = "[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\";

// One local calendar, its alarms on, marked in pure blue (0x00BBGGRR).
QByteArray AgendaSettings(const QString& ics, bool showCalendar) {
  QByteArray s = "Windows Registry Editor Version 5.00\n\n";
  s += kKey + "Base]\n\"OK\"=dword:00000001\n\n";
  s += kKey + "Wallpaper]\n\"ChangeRule\"=dword:00000000\n\"ShowImage\"=dword:00000000\n\n";
  s += kKey + "Calendar]\n\"ShowCalendar\"=dword:0000000" + QByteArray(showCalendar ? "1" : "0") +
       "\n\"Size\"=dword:00000064\n\"DrawTextShadow\"=dword:00000000\n\n";
  s += kKey + "Email]\n\"EnableCheck\"=dword:00000000\n\n";
  s += kKey + "Agenda]\n\"AgendaCount\"=dword:00000001\n\"URL 1\"=\"" + ics.toUtf8() +
       "\"\n\"User 1\"=\"\"\n\"Password 1\"=\"\"\n\"Color 1\"=dword:00ff0000\n"
       "\"Enabled 1\"=dword:00000001\n\"Alarms 1\"=dword:00000001\n";
  return s;
}

QByteArray Stamp(const QDateTime& t) {
  return t.toUTC().toString(QStringLiteral("yyyyMMddTHHmmssZ")).toLatin1();
}

// An event starting in two minutes with an alarm one minute before it.
QByteArray EventSoon(const QDateTime& now) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nBEGIN:VEVENT\r\nUID:soon\r\n"
         "DTSTART:" +
         Stamp(now.addSecs(120)) + "\r\nDTEND:" + Stamp(now.addSecs(1920)) +
         "\r\nSUMMARY:Standup soon\r\nLOCATION:Room 4\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\n"
         "DESCRIPTION:x\r\nTRIGGER:-PT1M\r\nEND:VALARM\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

TEST(AgendaE2E, AlarmPopsUpItsReminderWindowOnceAndNeverIntoTheList) {
  TempHome home;
  XvfbDisplay display;
  ASSERT_TRUE(display.ok());
  const QString ics = home.write("calendars/work.ics", EventSoon(QDateTime::currentDateTime()));
  home.write(".config/Quillatorne/settings.reg", AgendaSettings(ics, false));

  ProgramRun program(display, home);
  ASSERT_TRUE(program.Start());
  // The alarm goes off a minute after the start; the bound only catches one that never does.
  EXPECT_TRUE(WaitUntil([&] { return WindowViewable(display.display(), kPopupTitle); }, 100000))
      << program.stderrText().toStdString();
  EXPECT_EQ(program.Terminate(), 0) << program.stderrText().toStdString();
  QFile saved(home.configFile());
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  const QByteArray text = saved.readAll();
  EXPECT_TRUE(text.contains("\"Reminder Count\"=dword:00000000")) << text.constData();

  // Started again, the alarm already shown stays quiet.
  ProgramRun again(display, home);
  ASSERT_TRUE(again.Start());
  QThread::sleep(8);
  EXPECT_FALSE(WindowViewable(display.display(), kPopupTitle));
  EXPECT_EQ(again.Terminate(), 0) << again.stderrText().toStdString();
}

int BluePixels(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y);
      n += qBlue(p) > 200 && qRed(p) < 60 && qGreen(p) < 60;
    }
  return n;
}

TEST(AgendaE2E, RenderCarriesTheMarks) {
  TempHome home;
  const QDate today = QDate::currentDate();
  const QByteArray ics =
      "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nBEGIN:VEVENT\r\nUID:today\r\n"
      "DTSTART;VALUE=DATE:" +
      today.toString(QStringLiteral("yyyyMMdd")).toLatin1() +
      "\r\nSUMMARY:Marked\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
  const QString file = home.write("calendars/home.ics", ics);
  auto render = [&](bool withAgenda) {
    QByteArray settings = AgendaSettings(withAgenda ? file : QString(), true);
    home.write(".config/Quillatorne/settings.reg", settings);
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + "/.config");
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + "/.local/share");
    run.setProcessEnvironment(env);
    const QString out = home.path() + (withAgenda ? "/with.png" : "/without.png");
    run.start(QUILLATORNE_BINARY, {"--render", out, "--size", "1280x800"});
    EXPECT_TRUE(run.waitForFinished(60000));
    EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().constData();
    return QImage(out);
  };
  const QImage without = render(false);
  const QImage with = render(true);
  ASSERT_FALSE(with.isNull());
  EXPECT_EQ(BluePixels(without), 0);
  EXPECT_GT(BluePixels(with), 10);
}

}  // namespace
