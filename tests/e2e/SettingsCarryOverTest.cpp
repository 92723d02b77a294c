#include <gtest/gtest.h>

#include <QDate>
#include <QFile>

#include "platform/RegistryFile.h"
#include "support/E2E.h"
#include "support/TempHome.h"

namespace {

const QString kRoot = QStringLiteral("HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\");

// Settings as regedit exports them on Windows, with values this version does not know.
QString WindowsExport() {
  const QDate today = QDate::currentDate();
  QString s = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n");
  auto section = [&](const QString& name) { s += "[" + kRoot + name + "]\r\n"; };
  section("Base");
  s += "\"OK\"=dword:00000001\r\n\r\n";
  section("Wallpaper");
  s += "\"PathsCount\"=dword:00000001\r\n\"Path 1\"=\"/nonexistent/Bilder\"\r\n"
       "\"ChangeRule\"=dword:00000000\r\n\"ChangeDelay\"=dword:00000003\r\n"
       "\"BackgroundColor\"=dword:00203040\r\n\"ShowImage\"=dword:00000000\r\n"
       "\"SelPath\"=\"C:\\\\Users\\\\Ann\\\\Bilder\"\r\n\"SelFile\"=\"see.jpg\"\r\n"
       "\"LastTimeWallpaperChanged\"=hex:00,00,00,00,50,8c,e2,40\r\n"
       "\"Legacy\"=hex(2):25,00,55,00,53,00,45,00,52,00,50,00,52,00,4f,00,46,00,49,00,4c,00,\\\r\n"
       "  45,00,25,00,00,00\r\n\r\n";
  section("Calendar");
  s += "\"Style\"=dword:00000001\r\n\"Size\"=dword:0000003c\r\n\"PosX\"=dword:00000011\r\n"
       "\"Font\"=\"Liberation Serif\"\r\n\"ColorDayNames\"=dword:00abcdef\r\n"
       "\"ShowCalendar\"=dword:00000000\r\n\r\n";
  section("Reminders");
  s += "\"Reminder Count\"=dword:00000001\r\n\r\n";
  // Due in 2099: one long past would be listed in the missed-reminders box at start.
  section("Popup Reminder 1");
  s += QStringLiteral("\"Name\"=\"Zahnarzt – Dr. Müller\"\r\n\"Text\"=\"Bring the \\\"card\\\"\"\r\n"
                      "\"DateTime\"=hex:00,00,00,00,e6,be,f1,40\r\n\"Recur\"=dword:00000000\r\n\r\n");
  section("Program");
  s += QString("\"LastYear\"=dword:%1\r\n\"LastMonth\"=dword:%2\r\n\"LastDay\"=dword:%3\r\n")
           .arg(today.year(), 8, 16, QChar('0'))
           .arg(today.month(), 8, 16, QChar('0'))
           .arg(today.day(), 8, 16, QChar('0'));
  s += "\"LastImageFileName\"=\"\"\r\n\"EnableSounds\"=dword:00000000\r\n\r\n";
  section("Email");
  s += "\"AccountsNumber\"=dword:00000001\r\n\r\n";
  section("Email Accounts");
  s += "\"Name 1\"=\"Home\"\r\n\"Server 1\"=\"127.0.0.1\"\r\n\"User 1\"=\"ann\"\r\n"
       "\"Password 1\"=\"s3cr\\\\et\"\r\n\"EnableCheck 1\"=dword:00000000\r\n"
       "\"EnableCheck\"=dword:00000000\r\n\"IntervalMinutes\"=dword:0000002d\r\n\r\n";
  section("ColorReminders");
  s += "\"ColorRemCount\"=dword:00000001\r\n\"date0\"=dword:00009462\r\n\"style0\"=dword:00000002\r\n\r\n";
  section("Plugins\\Future");
  s += "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n\"Q\"=hex(b):01,02,03,04,05,06,07,08\r\n";
  return s;
}

TEST(SettingsCarryOver, AWindowsExportSurvivesARunAndSigterm) {
  TempHome home;
  const QByteArray original = Utf16LeWithBom(WindowsExport());
  const QString name = home.write(".config/Quillatorne/settings.reg", original);
  QList<RegistryFile::Key> before;
  QString error;
  ASSERT_TRUE(RegistryFile::Parse(original, &before, &error)) << error.toStdString();

  XvfbDisplay display;
  ASSERT_TRUE(display.ok());
  ProgramRun program(display, home);
  ASSERT_TRUE(program.Start());
  // Give it time to start up, hide its window and tick.
  WaitUntil([] { return false; }, 2500);
  ASSERT_TRUE(program.running()) << program.stderrText().toStdString();
  EXPECT_FALSE(WindowViewable(display.display(), "Quillatorne"));
  EXPECT_EQ(program.Terminate(), 0) << program.stderrText().toStdString();

  QFile saved(name);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  const QByteArray bytes = saved.readAll();
  EXPECT_FALSE(bytes.startsWith("\xFF\xFE"));  // written back as UTF-8
  QList<RegistryFile::Key> after;
  ASSERT_TRUE(RegistryFile::Parse(bytes, &after, &error)) << error.toStdString();
  RegistryFile reread(name);
  int compared = 0;
  for (const auto& key : before) {
    for (const auto& [valueName, value, raw] : key.values) {
      const auto got = reread.QueryValue(key.path, valueName);
      ASSERT_TRUE(got.has_value()) << key.path.toStdString() << " / " << valueName.toStdString();
      EXPECT_EQ(got->type, value.type) << valueName.toStdString();
      EXPECT_EQ(got->data, value.data) << valueName.toStdString();
      ++compared;
    }
  }
  EXPECT_EQ(compared, 40);  // every value of the export was looked at
  // Names keep their spelling; the save added the values this file lacked.
  EXPECT_TRUE(bytes.contains("\"Name 1\"=\"Home\""));
  EXPECT_TRUE(reread.QueryValue("SOFTWARE\\Orbwright\\Quillatorne\\4.0\\Calendar", "DrawGlass"));
}

}  // namespace
