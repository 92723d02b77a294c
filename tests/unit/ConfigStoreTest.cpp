#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "platform/RegistryFile.h"
#include "settings/ConfigStore.h"
#include "support/Fakes.h"
#include "support/TempHome.h"

namespace {

const QString kRoot = QStringLiteral("SOFTWARE\\Orbwright\\Quillatorne\\4.0\\");

struct ConfigStoreTest : ::testing::Test {
  FakeServices fakes;
  TempHome home;
  QString programDir = home.path() + "/prog/";

  // A settings file with these lines after the header.
  void WriteFile(const QString& body) {
    home.write(".config/Quillatorne/settings.reg",
               ("Windows Registry Editor Version 5.00\n\n" + body).toUtf8());
  }
  static QString Section(const QString& name) {
    return "[HKEY_CURRENT_USER\\" + kRoot + name + "]\n";
  }
  Config Load() {
    RegistryFile file(home.configFile());
    RegistryStore store(file);
    store.OpenKey(kProductKey);
    Config c(QSize(1024, 768));
    LoadConfig(store, c, programDir);
    return c;
  }
  void Save(const Config& c) {
    RegistryFile file(home.configFile());
    RegistryStore store(file);
    store.OpenKey(kProductKey);
    ASSERT_TRUE(SaveConfig(store, c));
    EXPECT_EQ(file.writes(), 1);  // one save, one write of the file
  }
  std::optional<RegValue> Stored(const QString& section, const QString& name) {
    RegistryFile file(home.configFile());
    return file.QueryValue(kRoot + section, name);
  }
};

TEST_F(ConfigStoreTest, FirstRunKeepsInitialValuesAndOffersTheShippedImages) {
  QDir().mkpath(programDir + "images");
  const Config c = Load();
  EXPECT_EQ(c.CalendarConfig.PosX, 120);
  EXPECT_EQ(c.CalendarConfig.PosY, 5);
  EXPECT_EQ(c.CalendarConfig.ColorMonthYear, 0x00B3FFu);
  EXPECT_TRUE(c.EmailConfig.EnableCheck);
  EXPECT_EQ(c.WallpaperConfig.Paths, QStringList{programDir + "images"});
  EXPECT_FALSE(QFile::exists(home.configFile()));  // loading writes nothing
}

TEST_F(ConfigStoreTest, FirstRunWithoutImagesFolderHasNoPaths) {
  EXPECT_TRUE(Load().WallpaperConfig.Paths.isEmpty());
}

TEST_F(ConfigStoreTest, BaseOkZeroCountsAsFirstRun) {
  QDir().mkpath(programDir + "images");
  WriteFile(Section("Base") + "\"OK\"=dword:00000000\n" + Section("Calendar") +
            "\"PosX\"=dword:00000009\n" + Section("Wallpaper") +
            "\"PathsCount\"=dword:00000001\n\"Path 1\"=\"/pics\"\n");
  const Config c = Load();
  EXPECT_EQ(c.CalendarConfig.PosX, 120);
  EXPECT_EQ(c.WallpaperConfig.Paths, QStringList{programDir + "images"});
}

TEST_F(ConfigStoreTest, SavedStoreWithMissingValuesGetsReadDefaults) {
  QDir().mkpath(programDir + "images");
  WriteFile(Section("Base") + "\"OK\"=dword:00000001\n");
  const Config c = Load();
  EXPECT_EQ(c.CalendarConfig.PosX, 0);
  EXPECT_EQ(c.CalendarConfig.PosY, 0);
  for (Color col : {c.CalendarConfig.ColorMonthYear, c.CalendarConfig.ColorDayNames,
                    c.CalendarConfig.ColorDayNumbers, c.CalendarConfig.ColorWeekMarker})
    EXPECT_EQ(col, 0xFFFFFFu);
  EXPECT_FALSE(c.EmailConfig.EnableCheck);
  EXPECT_EQ(c.EmailConfig.IntervalMinutes, 20);
  EXPECT_EQ(c.WallpaperConfig.ChangeRule, 2);
  EXPECT_TRUE(c.WallpaperConfig.Paths.isEmpty());  // the images folder is a first-run offer only
}

TEST_F(ConfigStoreTest, EverythingSurvivesASaveAndLoad) {
  Config c(QSize(1024, 768));
  c.WallpaperConfig.Paths = {"/a", "/b"};
  c.WallpaperConfig.ChangeRule = 1;
  c.WallpaperConfig.ChangeDelay = 0;
  c.WallpaperConfig.BackgroundColor = 0x123456;
  c.WallpaperConfig.StretchToFit = false;
  c.WallpaperConfig.Recursive = true;
  c.WallpaperConfig.SelFile = "x.jpg";
  c.WallpaperConfig.LastTimeWallpaperChanged = 45000.25;
  c.CalendarConfig.Style = 2;
  c.CalendarConfig.Font = "DejaVu Sans";
  c.CalendarConfig.ColorDayNames = 0xABCDEF;
  PopupReminder r;
  r.Name = "Dentist";
  r.Text = "Line one\nline \"two\"";
  r.DateTime = 37986.5;
  r.Recur = 3;
  c.RemindersConfig.Reminders = {r};
  c.ProgramConfig.ExitAfterSet = true;
  c.ProgramConfig.EnableSounds = false;
  c.ProgramConfig.LastYear = 2026;
  c.ProgramConfig.LastImageFileName = "/pics/ü.jpg";
  c.EmailConfig.Accounts = {EmailAccount{"Home", "pop.example", "me", "p\\w\"d", true}};
  c.EmailConfig.IntervalMinutes = 5;
  c.EmailConfig.OnlyOnce = true;
  c.EmailConfig.Sound = "/s.wav";
  c.ColorRemConfig.ColorReminders = {{46000, 2}, {46001, 0}};
  Save(c);

  const Config d = Load();
  EXPECT_EQ(d.WallpaperConfig.Paths, c.WallpaperConfig.Paths);
  EXPECT_EQ(d.WallpaperConfig.ChangeRule, 1);
  EXPECT_EQ(d.WallpaperConfig.ChangeDelay, 0);
  EXPECT_EQ(d.WallpaperConfig.BackgroundColor, 0x123456u);
  EXPECT_FALSE(d.WallpaperConfig.StretchToFit);
  EXPECT_TRUE(d.WallpaperConfig.Recursive);
  EXPECT_EQ(d.WallpaperConfig.SelFile, "x.jpg");
  EXPECT_DOUBLE_EQ(d.WallpaperConfig.LastTimeWallpaperChanged, 45000.25);
  EXPECT_EQ(d.CalendarConfig.Style, 2);
  EXPECT_EQ(d.CalendarConfig.Font, "DejaVu Sans");
  EXPECT_EQ(d.CalendarConfig.ColorDayNames, 0xABCDEFu);
  ASSERT_EQ(d.RemindersConfig.Reminders.size(), 1);
  EXPECT_EQ(d.RemindersConfig.Reminders[0].Name, "Dentist");
  EXPECT_EQ(d.RemindersConfig.Reminders[0].Text, r.Text);
  EXPECT_DOUBLE_EQ(d.RemindersConfig.Reminders[0].DateTime, 37986.5);
  EXPECT_EQ(d.RemindersConfig.Reminders[0].Recur, 3);
  EXPECT_TRUE(d.ProgramConfig.ExitAfterSet);
  EXPECT_FALSE(d.ProgramConfig.EnableSounds);
  EXPECT_EQ(d.ProgramConfig.LastYear, 2026);
  EXPECT_EQ(d.ProgramConfig.LastImageFileName, "/pics/ü.jpg");
  ASSERT_EQ(d.EmailConfig.Accounts.size(), 1);
  EXPECT_EQ(d.EmailConfig.Accounts[0].Password, "p\\w\"d");
  EXPECT_TRUE(d.EmailConfig.Accounts[0].EnableCheck);
  EXPECT_EQ(d.EmailConfig.IntervalMinutes, 5);
  EXPECT_TRUE(d.EmailConfig.OnlyOnce);
  EXPECT_EQ(d.EmailConfig.Sound, "/s.wav");
  ASSERT_EQ(d.ColorRemConfig.ColorReminders.size(), 2);
  EXPECT_EQ(d.ColorRemConfig.ColorReminders[1].date, 46001);
  EXPECT_EQ(d.ColorRemConfig.ColorReminders[0].style, 2);
}

TEST_F(ConfigStoreTest, StoredLayoutAndEncodings) {
  Config c(QSize(1024, 768));
  PopupReminder r;
  r.DateTime = 37986.5;
  c.RemindersConfig.Reminders = {r};
  c.EmailConfig.Accounts = {EmailAccount{"Work", "s", "u", "p", false}};
  c.ColorRemConfig.ColorReminders = {{37986, 1}};
  Save(c);
  QFile f(home.configFile());
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(f.readAll());
  EXPECT_TRUE(text.startsWith("Windows Registry Editor Version 5.00\n"));
  EXPECT_TRUE(text.contains(Section("Popup Reminder 1") + "\"Name\"=\"New reminder\"\n"
                            "\"Text\"=\"<enter text here>\"\n"
                            "\"DateTime\"=hex:00,00,00,00,50,8c,e2,40\n"
                            "\"Recur\"=dword:00000000\n"));
  EXPECT_TRUE(text.contains("\"name 1\"=\"Work\"\n"));
  EXPECT_TRUE(text.contains(Section("ColorReminders") + "\"ColorRemCount\"=dword:00000001\n"
                            "\"date0\"=dword:00009462\n\"style0\"=dword:00000001\n"));
  EXPECT_TRUE(text.contains(Section("Base") + "\"OK\"=dword:00000001\n"));
}

TEST_F(ConfigStoreTest, PathsCountWithAMissingMiddlePath) {
  WriteFile(Section("Base") + "\"OK\"=dword:00000001\n" + Section("Wallpaper") +
            "\"PathsCount\"=dword:00000003\n\"Path 1\"=\"/one\"\n\"Path 3\"=\"/three\"\n");
  EXPECT_EQ(Load().WallpaperConfig.Paths, (QStringList{"/one", "/three"}));
}

TEST_F(ConfigStoreTest, ReminderCountBeyondTheSectionsGivesEmptyReminders) {
  WriteFile(Section("Base") + "\"OK\"=dword:00000001\n" + Section("Reminders") +
            "\"Reminder Count\"=dword:00000002\n" + Section("Popup Reminder 1") + "\"Name\"=\"A\"\n");
  const Config c = Load();
  ASSERT_EQ(c.RemindersConfig.Reminders.size(), 2);
  EXPECT_EQ(c.RemindersConfig.Reminders[1].Name, "");
  EXPECT_EQ(c.RemindersConfig.Reminders[1].Text, "");
  EXPECT_EQ(c.RemindersConfig.Reminders[1].DateTime, 0.0);
  EXPECT_NE(c.RemindersConfig.Reminders[0].Id, c.RemindersConfig.Reminders[1].Id);
}

TEST_F(ConfigStoreTest, ChangeDelayOutsideTheTableCountsAsTen) {
  for (const char* v : {"ffffffff", "0000000f"}) {
    WriteFile(Section("Base") + "\"OK\"=dword:00000001\n" + Section("Wallpaper") +
              "\"ChangeDelay\"=dword:" + v + "\n");
    EXPECT_EQ(Load().WallpaperConfig.ChangeDelay, 10) << v;
  }
  EXPECT_EQ(ChangeDelaySeconds(10), 10800);
  EXPECT_EQ(ChangeDelaySeconds(0), 5);
  EXPECT_EQ(ChangeDelaySeconds(99), 10800);
}

TEST_F(ConfigStoreTest, MailOptionsFollowTheAccounts) {
  Config c(QSize(1024, 768));
  c.EmailConfig.Accounts = {EmailAccount{"A", "s", "u", "p", true}};
  c.EmailConfig.IntervalMinutes = 7;
  Save(c);
  EXPECT_EQ(*Stored("Email Accounts", "IntervalMinutes"), RegDword(7));
  EXPECT_FALSE(Stored("Email", "IntervalMinutes").has_value());
  EXPECT_EQ(Load().EmailConfig.IntervalMinutes, 7);

  // All accounts deleted: the options move to "Email"; the old copies stay behind unread.
  c.EmailConfig.Accounts.clear();
  c.EmailConfig.IntervalMinutes = 9;
  Save(c);
  EXPECT_EQ(*Stored("Email", "IntervalMinutes"), RegDword(9));
  EXPECT_EQ(*Stored("Email Accounts", "IntervalMinutes"), RegDword(7));
  EXPECT_EQ(*Stored("Email", "AccountsNumber"), RegDword(0));
  EXPECT_EQ(Load().EmailConfig.IntervalMinutes, 9);
}

TEST_F(ConfigStoreTest, ShrunkenListsLeaveTheirOldEntriesBehind) {
  Config c(QSize(1024, 768));
  for (int i = 0; i < 5; ++i) {
    PopupReminder r;
    r.Name = QString("R%1").arg(i + 1);
    c.RemindersConfig.Reminders.append(r);
  }
  c.WallpaperConfig.Paths = {"/1", "/2", "/3"};
  Save(c);
  c.RemindersConfig.Reminders.resize(2);
  c.WallpaperConfig.Paths.resize(1);
  Save(c);
  EXPECT_EQ(Stored("Popup Reminder 5", "Name")->data, QByteArray("R5\0", 3));
  EXPECT_TRUE(Stored("Wallpaper", "Path 3").has_value());
  const Config d = Load();
  ASSERT_EQ(d.RemindersConfig.Reminders.size(), 2);
  EXPECT_EQ(d.RemindersConfig.Reminders[1].Name, "R2");
  EXPECT_EQ(d.WallpaperConfig.Paths, QStringList{"/1"});
}

TEST_F(ConfigStoreTest, TypedReadRulesApplyToFields) {
  WriteFile(Section("Base") + "\"OK\"=dword:00000001\n" + Section("Calendar") +
            "\"PosX\"=\"5\"\n\"Font\"=dword:00000007\n");
  const Config c = Load();
  EXPECT_EQ(c.CalendarConfig.PosX, 0);
  EXPECT_EQ(c.CalendarConfig.Font, "7");
}

TEST(ConfigRecord, MiniatureDesktopFollowsTheScreenShape) {
  struct {
    QSize screen;
    int w, h;
  } cases[] = {{{1024, 768}, 187, 140}, {{768, 1024}, 140, 187}, {{1024, 1024}, 140, 140}};
  for (const auto& c : cases) {
    Config cfg(c.screen);
    EXPECT_EQ(cfg.DynamicConfig.DesktopBoxWidth, c.w);
    EXPECT_EQ(cfg.DynamicConfig.DesktopBoxHeight, c.h);
  }
}

TEST(ConfigRecord, NewItemsTakeTheirInitialValues) {
  FakeServices fakes;
  fakes.clock.now = QDateTime(QDate(2003, 12, 31), QTime(12, 0));
  const PopupReminder r = NewPopupReminder();
  EXPECT_EQ(r.Name, "New reminder");
  EXPECT_EQ(r.Text, "<enter text here>");
  EXPECT_DOUBLE_EQ(r.DateTime, 37986.5);
  EXPECT_EQ(NewColorReminder().date, 37986);
  EXPECT_NE(NewPopupReminder().Id, r.Id);
}

}  // namespace
