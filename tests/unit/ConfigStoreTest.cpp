#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMap>
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "platform/DateTime.h"
#include "platform/RegistryFile.h"
#include "reminders/Recurrence.h"
#include "settings/ConfigFields.h"
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
  EXPECT_EQ(c.WallpaperConfig.ChangeRule, WallpaperChangeRule::RandomByTime);
  EXPECT_TRUE(c.WallpaperConfig.Paths.isEmpty());  // the images folder is a first-run offer only
}

TEST_F(ConfigStoreTest, EverythingSurvivesASaveAndLoad) {
  Config c(QSize(1024, 768));
  c.WallpaperConfig.Paths = {"/a", "/b"};
  c.WallpaperConfig.ChangeRule = WallpaperChangeRule::RandomOnStartup;
  c.WallpaperConfig.ChangeDelay = 0;
  c.WallpaperConfig.BackgroundColor = 0x123456;
  c.WallpaperConfig.StretchToFit = false;
  c.WallpaperConfig.Recursive = true;
  c.WallpaperConfig.SelFile = "x.jpg";
  c.WallpaperConfig.LastTimeWallpaperChanged = 45000.25;
  c.CalendarConfig.Style = CalendarStyle::Horizontal;
  c.CalendarConfig.Font = "DejaVu Sans";
  c.CalendarConfig.ColorDayNames = 0xABCDEF;
  PopupReminder r;
  r.Name = "Dentist";
  r.Text = "Line one\nline \"two\"";
  r.DateTime = 37986.5;
  r.Recur = Recurrence::Monthly;
  c.RemindersConfig.Reminders = {r};
  c.ProgramConfig.ExitAfterSet = true;
  c.ProgramConfig.EnableSounds = false;
  c.ProgramConfig.LastYear = 2026;
  c.ProgramConfig.LastImageFileName = "/pics/ü.jpg";
  c.EmailConfig.Accounts = {EmailAccount{"Home", "pop.example", "me", "p\\w\"d", true}};
  c.EmailConfig.IntervalMinutes = 5;
  c.EmailConfig.OnlyOnce = true;
  c.EmailConfig.Sound = "/s.wav";
  c.ColorRemConfig.ColorReminders = {{46000, DotColor::Green}, {46001, DotColor::Red}};
  Save(c);

  const Config d = Load();
  EXPECT_EQ(d.WallpaperConfig.Paths, c.WallpaperConfig.Paths);
  EXPECT_EQ(d.WallpaperConfig.ChangeRule, WallpaperChangeRule::RandomOnStartup);
  EXPECT_EQ(d.WallpaperConfig.ChangeDelay, 0);
  EXPECT_EQ(d.WallpaperConfig.BackgroundColor, 0x123456u);
  EXPECT_FALSE(d.WallpaperConfig.StretchToFit);
  EXPECT_TRUE(d.WallpaperConfig.Recursive);
  EXPECT_EQ(d.WallpaperConfig.SelFile, "x.jpg");
  EXPECT_DOUBLE_EQ(d.WallpaperConfig.LastTimeWallpaperChanged, 45000.25);
  EXPECT_EQ(d.CalendarConfig.Style, CalendarStyle::Horizontal);
  EXPECT_EQ(d.CalendarConfig.Font, "DejaVu Sans");
  EXPECT_EQ(d.CalendarConfig.ColorDayNames, 0xABCDEFu);
  ASSERT_EQ(d.RemindersConfig.Reminders.size(), 1);
  EXPECT_EQ(d.RemindersConfig.Reminders[0].Name, "Dentist");
  EXPECT_EQ(d.RemindersConfig.Reminders[0].Text, r.Text);
  EXPECT_DOUBLE_EQ(d.RemindersConfig.Reminders[0].DateTime, 37986.5);
  EXPECT_EQ(d.RemindersConfig.Reminders[0].Recur, Recurrence::Monthly);
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
  EXPECT_EQ(d.ColorRemConfig.ColorReminders[0].style, DotColor::Green);
}

// The fields of a record, walked through its table.
template <class R>
void ToReadDefaults(R& record, ConfigFields<R> fields) {
  for (const auto& f : fields)
    std::visit(
        [&](auto m) {
          record.*m = std::get<std::remove_cvref_t<decltype(record.*m)>>(f.readDefault);
        },
        f.member);
}

// A value of the field's type that a read falling back to the default cannot give.
template <class R>
void AwayFromDefault(R& record, const ConfigField<R>& f) {
  std::visit(
      [&](auto m) {
        using T = std::remove_cvref_t<decltype(record.*m)>;
        const T def = std::get<T>(f.readDefault);
        if constexpr (std::is_same_v<T, bool>) record.*m = !def;
        if constexpr (std::is_same_v<T, int>) record.*m = def != 0 ? def - 1 : 3;
        if constexpr (std::is_same_v<T, Color>) record.*m = def ^ 0x123456u;
        if constexpr (std::is_same_v<T, double>) record.*m = def + 40000.75;
        if constexpr (std::is_same_v<T, QString>) record.*m = def + "ü \"x\" \\ " + f.name;
        if constexpr (std::is_same_v<T, MailSecurity>)
          record.*m = def == MailSecurity::StartTls ? MailSecurity::SslTls : MailSecurity::StartTls;
        if constexpr (std::is_same_v<T, MailProtocol>)
          record.*m = def == MailProtocol::Imap ? MailProtocol::Pop3 : MailProtocol::Imap;
        if constexpr (std::is_enum_v<T> && !std::is_same_v<T, MailSecurity> &&
                      !std::is_same_v<T, MailProtocol>)
          record.*m = static_cast<T>(static_cast<int>(def) != 0 ? 0 : 1);
      },
      f.member);
}

template <class R>
void Differences(const R& saved, const R& loaded, ConfigFields<R> fields, const std::string& where,
                 std::vector<std::string>& out) {
  for (const auto& f : fields)
    std::visit(
        [&](auto m) {
          if (!(saved.*m == loaded.*m)) out.push_back(where + f.name);
        },
        f.member);
}
template <class R>
void Differences(const QList<R>& saved, const QList<R>& loaded, ConfigFields<R> fields,
                 const std::string& where, std::vector<std::string>& out) {
  if (saved.size() != loaded.size()) out.push_back(where + " count");
  for (int i = 0; i < qMin(saved.size(), loaded.size()); ++i)
    Differences(saved[i], loaded[i], fields, where + std::to_string(i) + ".", out);
}

std::vector<std::string> Differences(const Config& a, const Config& b) {
  std::vector<std::string> out;
  if (a.WallpaperConfig.Paths != b.WallpaperConfig.Paths) out.push_back("Paths");
  Differences(a.WallpaperConfig, b.WallpaperConfig, WallpaperFields(), "Wallpaper.", out);
  Differences(a.CalendarConfig, b.CalendarConfig, CalendarFields(), "Calendar.", out);
  Differences(a.RemindersConfig.Reminders, b.RemindersConfig.Reminders, ReminderFields(),
              "Reminder", out);
  Differences(a.DynamicConfig.SnoozedReminders, b.DynamicConfig.SnoozedReminders, ReminderFields(),
              "Snoozed", out);
  Differences(a.RemindersConfig, b.RemindersConfig, ReminderOptionFields(), "Reminders.", out);
  Differences(a.ProgramConfig, b.ProgramConfig, ProgramFields(), "Program.", out);
  Differences(a.EmailConfig.Accounts, b.EmailConfig.Accounts, AccountFields(), "Account", out);
  Differences(a.EmailConfig, b.EmailConfig, MailOptionFields(), "Mail.", out);
  Differences(a.ColorRemConfig.ColorReminders, b.ColorRemConfig.ColorReminders, ColorDotFields(),
              "Dot", out);
  Differences(a.AgendaConfig.Calendars, b.AgendaConfig.Calendars, AgendaCalendarFields(),
              "Agenda calendar", out);
  Differences(a.AgendaConfig, b.AgendaConfig, AgendaOptionFields(), "Agenda.", out);
  return out;
}

// Every table field at its read default, with two items in every list.
Config AtReadDefaults(int accounts) {
  Config c(QSize(1024, 768));
  c.WallpaperConfig.Paths = {"/pictures"};
  ToReadDefaults(c.WallpaperConfig, WallpaperFields());
  ToReadDefaults(c.CalendarConfig, CalendarFields());
  ToReadDefaults(c.ProgramConfig, ProgramFields());
  ToReadDefaults(c.RemindersConfig, ReminderOptionFields());
  ToReadDefaults(c.EmailConfig, MailOptionFields());
  auto twoOf = [](auto& list, auto fields) {
    list.resize(2);
    for (auto& item : list) ToReadDefaults(item, fields);
  };
  twoOf(c.RemindersConfig.Reminders, ReminderFields());
  twoOf(c.DynamicConfig.SnoozedReminders, ReminderFields());
  twoOf(c.ColorRemConfig.ColorReminders, ColorDotFields());
  twoOf(c.EmailConfig.Accounts, AccountFields());
  twoOf(c.AgendaConfig.Calendars, AgendaCalendarFields());
  ToReadDefaults(c.AgendaConfig, AgendaOptionFields());
  c.EmailConfig.Accounts.resize(accounts);
  return c;
}

// Each persisted field on its own away from its read default: it must come back, and no
// other field may change with it (two fields sharing a name, a field read from the wrong
// section or item).
TEST_F(ConfigStoreTest, EveryFieldSurvivesASaveAndLoadOnItsOwn) {
  struct Case {
    std::string name;
    std::function<void(Config&)> change;
    int accounts = 2;
  };
  std::vector<Case> cases;
  auto add = [&](const std::string& where, auto fields, auto pick, int accounts = 2) {
    for (const auto& f : fields)
      cases.push_back({where + f.name, [=](Config& c) { AwayFromDefault(pick(c), f); }, accounts});
  };
  add(
      "Wallpaper.", WallpaperFields(), [](Config & c) -> auto& { return c.WallpaperConfig; });
  add(
      "Calendar.", CalendarFields(), [](Config & c) -> auto& { return c.CalendarConfig; });
  add(
      "Program.", ProgramFields(), [](Config & c) -> auto& { return c.ProgramConfig; });
  add(
      "Mail.", MailOptionFields(), [](Config & c) -> auto& { return c.EmailConfig; });
  add(
      "Mail without accounts.", MailOptionFields(),
      [](Config & c) -> auto& { return c.EmailConfig; }, 0);
  add(
      "Reminders.", ReminderOptionFields(), [](Config & c) -> auto& { return c.RemindersConfig; });
  add(
      "Reminder 2.", ReminderFields(),
      [](Config & c) -> auto& { return c.RemindersConfig.Reminders[1]; });
  add(
      "Snoozed 2.", ReminderFields(),
      [](Config & c) -> auto& { return c.DynamicConfig.SnoozedReminders[1]; });
  add(
      "Account 2.", AccountFields(), [](Config & c) -> auto& { return c.EmailConfig.Accounts[1]; });
  add(
      "Dot 1.", ColorDotFields(),
      [](Config & c) -> auto& { return c.ColorRemConfig.ColorReminders[1]; });
  add(
      "Agenda calendar 2.", AgendaCalendarFields(),
      [](Config & c) -> auto& { return c.AgendaConfig.Calendars[1]; });
  add(
      "Agenda.", AgendaOptionFields(), [](Config & c) -> auto& { return c.AgendaConfig; });

  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    QFile::remove(home.configFile());
    Config c = AtReadDefaults(k.accounts);
    const Config untouched = c;
    k.change(c);
    ASSERT_FALSE(Differences(c, untouched).empty()) << "the change changed nothing";
    Save(c);
    EXPECT_EQ(Differences(c, Load()), std::vector<std::string>{});
  }
}

// Aggregate member counting: a member added to a record but not to its table (or to the
// list of run-time members below) fails here rather than silently not being saved.
struct AnyMember {
  template <class T>
  operator T() const;
};
template <class T, class... Members>
constexpr std::size_t MemberCount() {
  if constexpr (requires { T{Members{}..., AnyMember{}}; })
    return MemberCount<T, Members..., AnyMember>();
  else
    return sizeof...(Members);
}

TEST(ConfigFieldTables, DeclareEveryPersistedMember) {
  EXPECT_EQ(MemberCount<WallpaperConfigT>(), WallpaperFields().size() + 1);  // + Paths
  EXPECT_EQ(MemberCount<CalendarConfigT>(), CalendarFields().size());
  EXPECT_EQ(MemberCount<ProgramConfigT>(), ProgramFields().size() + 2);   // + the version
  EXPECT_EQ(MemberCount<EmailConfigT>(), MailOptionFields().size() + 1);  // + Accounts
  EXPECT_EQ(MemberCount<EmailAccount>(), AccountFields().size());
  EXPECT_EQ(MemberCount<ColorReminder>(), ColorDotFields().size());
  EXPECT_EQ(MemberCount<AgendaCalendar>(), AgendaCalendarFields().size());
  EXPECT_EQ(MemberCount<AgendaConfigT>(), AgendaOptionFields().size() + 1);  // + Calendars
  EXPECT_EQ(MemberCount<RemindersConfigT>(), ReminderOptionFields().size() + 1);  // + the list
  // + Showing, IsSnoozed, ListIndex, Missed and Id, which live for the run only.
  EXPECT_EQ(MemberCount<PopupReminder>(), ReminderFields().size() + 5);
}

TEST_F(ConfigStoreTest, StoredLayoutAndEncodings) {
  Config c(QSize(1024, 768));
  PopupReminder r;
  r.DateTime = 37986.5;
  c.RemindersConfig.Reminders = {r};
  c.EmailConfig.Accounts = {EmailAccount{"Work", "s", "u", "p", false}};
  c.ColorRemConfig.ColorReminders = {{37986, DotColor::Yellow}};
  Save(c);
  QFile f(home.configFile());
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(f.readAll());
  EXPECT_TRUE(text.startsWith("Windows Registry Editor Version 5.00\n"));
  EXPECT_TRUE(text.contains(Section("Popup Reminder 1") +
                            "\"Name\"=\"New reminder\"\n"
                            "\"Text\"=\"<enter text here>\"\n"
                            "\"DateTime\"=hex:00,00,00,00,50,8c,e2,40\n"
                            "\"Recur\"=dword:00000000\n"));
  EXPECT_TRUE(text.contains("\"name 1\"=\"Work\"\n"));
  EXPECT_TRUE(text.contains(Section("ColorReminders") +
                            "\"ColorRemCount\"=dword:00000001\n"
                            "\"date0\"=dword:00009462\n\"style0\"=dword:00000001\n"));
  EXPECT_TRUE(text.contains(Section("Base") + "\"OK\"=dword:00000001\n"));
}

TEST_F(ConfigStoreTest, PathsCountWithAMissingMiddlePath) {
  WriteFile(Section("Base") + "\"OK\"=dword:00000001\n" + Section("Wallpaper") +
            "\"PathsCount\"=dword:00000003\n\"Path 1\"=\"/one\"\n\"Path 3\"=\"/three\"\n");
  EXPECT_EQ(Load().WallpaperConfig.Paths, (QStringList{"/one", "/three"}));
}

TEST_F(ConfigStoreTest, AMissingMiddleReminderReadsAsItsDefaults) {
  WriteFile(Section("Base") + "\"OK\"=dword:00000001\n" + Section("Reminders") +
            "\"Reminder Count\"=dword:00000004\n" + Section("Popup Reminder 1") +
            "\"Name\"=\"A\"\n" + Section("Popup Reminder 3") + "\"Name\"=\"C\"\n");
  const Config c = Load();
  // Nothing beyond the last section: the count is trusted only as far as entries exist.
  ASSERT_EQ(c.RemindersConfig.Reminders.size(), 3);
  EXPECT_EQ(c.RemindersConfig.Reminders[1].Name, "");
  EXPECT_EQ(c.RemindersConfig.Reminders[1].Text, "");
  EXPECT_EQ(c.RemindersConfig.Reminders[1].DateTime, 0.0);
  EXPECT_EQ(c.RemindersConfig.Reminders[2].Name, "C");
  EXPECT_NE(c.RemindersConfig.Reminders[0].Id, c.RemindersConfig.Reminders[1].Id);
}

// A count of 0x7fffffff used to make start-up invent items for minutes on end.
struct CountCase {
  const char* name;
  QString body;
  std::function<QStringList(const Config&)> loaded;  // what the list holds after loading
  QStringList expected;
};
void PrintTo(const CountCase& c, std::ostream* os) { *os << c.name; }

class HugeCounts : public ConfigStoreTest, public ::testing::WithParamInterface<CountCase> {};

TEST_P(HugeCounts, AreTrustedOnlyAsFarAsEntriesExist) {
  WriteFile(Section("Base") + "\"OK\"=dword:00000001\n" + GetParam().body);
  EXPECT_EQ(GetParam().loaded(Load()), GetParam().expected);
}

QStringList ReminderNames(const QList<PopupReminder>& list) {
  QStringList names;
  for (const auto& r : list) names << r.Name;
  return names;
}

const QString kHuge = "dword:7fffffff";
INSTANTIATE_TEST_SUITE_P(
    Lists, HugeCounts,
    ::testing::Values(
        CountCase{"Paths",
                  ConfigStoreTest::Section("Wallpaper") + "\"PathsCount\"=" + kHuge +
                      "\n\"Path 1\"=\"/a\"\n\"Path 3\"=\"/c\"\n\"Path 2147483647\"=\"/far\"\n"
                      "\"Path 04\"=\"/not a number\"\n",
                  [](const Config& c) { return c.WallpaperConfig.Paths; },
                  {"/a", "/c", "/far"}},
        CountCase{"Reminders",
                  ConfigStoreTest::Section("Reminders") + "\"Reminder Count\"=" + kHuge + "\n" +
                      ConfigStoreTest::Section("Popup Reminder 1") + "\"Name\"=\"A\"\n" +
                      ConfigStoreTest::Section("Popup Reminder 3") + "\"Name\"=\"C\"\n" +
                      // A hole this long is closed up rather than filled with empty reminders.
                      ConfigStoreTest::Section("Popup Reminder 100000") + "\"Name\"=\"Far\"\n",
                  [](const Config& c) { return ReminderNames(c.RemindersConfig.Reminders); },
                  {"A", "", "C", "Far"}},
        CountCase{"Snoozed",
                  ConfigStoreTest::Section("Reminders") + "\"Snoozed Count\"=" + kHuge + "\n" +
                      ConfigStoreTest::Section("Snoozed Reminder 2") + "\"Name\"=\"B\"\n",
                  [](const Config& c) { return ReminderNames(c.DynamicConfig.SnoozedReminders); },
                  {"", "B"}},
        CountCase{"Accounts",
                  ConfigStoreTest::Section("Email") + "\"AccountsNumber\"=" + kHuge + "\n" +
                      ConfigStoreTest::Section("Email Accounts") +
                      "\"Name 1\"=\"One\"\n\"Server 2\"=\"s2\"\n\"EnableCheck\"=dword:00000001\n",
                  [](const Config& c) {
                    QStringList out;
                    for (const auto& a : c.EmailConfig.Accounts) out << a.Name + "@" + a.Server;
                    return out;
                  },
                  {"One@", "@s2"}},
        CountCase{"ColorDots",
                  ConfigStoreTest::Section("ColorReminders") + "\"ColorRemCount\"=" + kHuge +
                      "\n\"date0\"=dword:00000005\n\"style1\"=dword:00000002\n",
                  [](const Config& c) {
                    QStringList out;
                    for (const auto& d : c.ColorRemConfig.ColorReminders)
                      out << QString("%1/%2").arg(d.date).arg(static_cast<int>(d.style));
                    return out;
                  },
                  {"5/0", "0/2"}},
        CountCase{"NegativeCount",
                  ConfigStoreTest::Section("Reminders") + "\"Reminder Count\"=dword:80000000\n" +
                      ConfigStoreTest::Section("Popup Reminder 1") + "\"Name\"=\"A\"\n",
                  [](const Config& c) { return ReminderNames(c.RemindersConfig.Reminders); },
                  {}}),
    [](const auto& info) { return std::string(info.param.name); });

// A monthly reminder on the 31st cut to 28 February, or a yearly one of 29 February cut
// to the 28th, must find its own day again after the program restarted in between.
struct RestartCase {
  const char* name;
  int recur;
  QDate start;
  QList<QDate> next;  // each occurrence after the one before, with a save and load between
};
void PrintTo(const RestartCase& c, std::ostream* os) { *os << c.name; }

class RecurDayAcrossARestart : public ConfigStoreTest,
                               public ::testing::WithParamInterface<RestartCase> {};

TEST_P(RecurDayAcrossARestart, KeepsTheDayOfTheMonth) {
  const RestartCase& k = GetParam();
  Config c(QSize(1024, 768));
  PopupReminder r;
  r.Recur = static_cast<Recurrence>(k.recur);
  r.DateTime = DateTimeToDays(QDateTime(k.start, QTime(10, 7)));
  c.RemindersConfig.Reminders = {r};
  for (const QDate& expected : k.next) {
    PopupReminder& current = c.RemindersConfig.Reminders[0];
    MoveToNextOccurrence(current, current.DateTime);  // its popup closed in its slot
    Save(c);
    c = Load();
    ASSERT_EQ(c.RemindersConfig.Reminders.size(), 1);
    EXPECT_EQ(DaysToDateTime(c.RemindersConfig.Reminders[0].DateTime),
              QDateTime(expected, QTime(10, 7)));
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, RecurDayAcrossARestart,
                         ::testing::Values(RestartCase{"MonthlyOnThe31st",
                                                       3,
                                                       QDate(2026, 1, 31),
                                                       {QDate(2026, 2, 28), QDate(2026, 3, 31),
                                                        QDate(2026, 4, 30), QDate(2026, 5, 31)}},
                                           RestartCase{"YearlyOn29February",
                                                       4,
                                                       QDate(2024, 2, 29),
                                                       {QDate(2025, 2, 28), QDate(2026, 2, 28),
                                                        QDate(2027, 2, 28), QDate(2028, 2, 29)}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConfigStoreTest, AReminderStoredWithoutRecurDayKeepsTheDayItIsOn) {
  WriteFile(Section("Base") + "\"OK\"=dword:00000001\n" + Section("Reminders") +
            "\"Reminder Count\"=dword:00000001\n" + Section("Popup Reminder 1") +
            "\"DateTime\"=hex:00,00,00,00,20,80,e6,40\n\"Recur\"=dword:00000003\n");
  Config c = Load();
  PopupReminder& r = c.RemindersConfig.Reminders[0];
  ASSERT_EQ(DaysToDateTime(r.DateTime).date(), QDate(2026, 2, 28));
  MoveToNextOccurrence(r, r.DateTime);
  EXPECT_EQ(DaysToDateTime(r.DateTime).date(), QDate(2026, 3, 28));
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

// The choices are stored as numbers, as files of every earlier version hold them. Each number
// reads as its choice; a number that names none (a later version's, or a hand edit) is kept as
// it is, never drawn or acted on as a choice, and written back unchanged.
TEST_F(ConfigStoreTest, ChoicesReadFromTheirStoredNumbersAndAreWrittenBackAsTheyWere) {
  struct Case {
    QString section, value;
    int stored;
    std::function<int(const Config&)> read;
    int expected;  // the choice's number, as the record holds it
  };
  const auto rule = [](const Config& c) { return static_cast<int>(c.WallpaperConfig.ChangeRule); };
  const auto style = [](const Config& c) { return static_cast<int>(c.CalendarConfig.Style); };
  const auto week = [](const Config& c) { return static_cast<int>(c.CalendarConfig.FirstWeekDay); };
  const auto language = [](const Config& c) { return static_cast<int>(c.CalendarConfig.Language); };
  const auto recur = [](const Config& c) {
    return static_cast<int>(c.RemindersConfig.Reminders.value(0).Recur);
  };
  const auto dot = [](const Config& c) {
    return static_cast<int>(c.ColorRemConfig.ColorReminders.value(0).style);
  };
  const Case cases[] = {
      {"Wallpaper", "ChangeRule", 0, rule, static_cast<int>(WallpaperChangeRule::Never)},
      {"Wallpaper", "ChangeRule", 1, rule, static_cast<int>(WallpaperChangeRule::RandomOnStartup)},
      {"Wallpaper", "ChangeRule", 2, rule, static_cast<int>(WallpaperChangeRule::RandomByTime)},
      {"Wallpaper", "ChangeRule", 7, rule, 7},
      {"Calendar", "Style", 1, style, static_cast<int>(CalendarStyle::Vertical)},
      {"Calendar", "Style", 2, style, static_cast<int>(CalendarStyle::Horizontal)},
      {"Calendar", "Style", 9, style, 9},
      {"Calendar", "FirstWeekDay", 0, week, static_cast<int>(WeekStart::Sunday)},
      {"Calendar", "FirstWeekDay", 5, week, 5},
      {"Calendar", "Language", 0, language, static_cast<int>(CalendarLanguage::Local)},
      {"Calendar", "Language", -1, language, -1},
      {"Popup Reminder 1", "Recur", 4, recur, static_cast<int>(Recurrence::Yearly)},
      {"Popup Reminder 1", "Recur", 6, recur, 6},
      {"ColorReminders", "style0", 1, dot, static_cast<int>(DotColor::Yellow)},
      {"ColorReminders", "style0", 3, dot, 3},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE((k.value + " " + QString::number(k.stored)).toStdString());
    // One reminder and one dot, each with the value under test when it is theirs.
    QMap<QString, QString> sections{
        {"Base", "\"OK\"=dword:00000001\n"},
        {"Reminders", "\"Reminder Count\"=dword:00000001\n"},
        {"Popup Reminder 1", "\"Name\"=\"Dentist\"\n"},
        {"ColorReminders", "\"ColorRemCount\"=dword:00000001\n\"date0\"=dword:00009462\n"}};
    sections[k.section] +=
        "\"" + k.value + "\"=" + QString::asprintf("dword:%08x\n", static_cast<unsigned>(k.stored));
    QString body;
    for (auto it = sections.cbegin(); it != sections.cend(); ++it)
      body += Section(it.key()) + it.value() + "\n";
    WriteFile(body);
    const Config loaded = Load();
    EXPECT_EQ(k.read(loaded), k.expected);
    Save(loaded);
    const std::optional<RegValue> stored = Stored(k.section, k.value);
    EXPECT_EQ(stored, RegDword(static_cast<uint32_t>(k.stored)));
    EXPECT_EQ(k.read(Load()), k.expected);
  }
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
  const PopupReminder r = NewPopupReminder(NowDays(fakes.clock));
  EXPECT_EQ(r.Name, "New reminder");
  EXPECT_EQ(r.Text, "<enter text here>");
  EXPECT_DOUBLE_EQ(r.DateTime, 37986.5);
  EXPECT_EQ(NewColorReminder(NowDays(fakes.clock)).date, 37986);
  EXPECT_NE(NewPopupReminder(NowDays(fakes.clock)).Id, r.Id);
}

}  // namespace
