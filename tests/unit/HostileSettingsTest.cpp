// Settings files a user, a crash or an attacker may leave behind, each run as a session
// would run it: load, a few ticks of the reminder check, save. Nothing may hang, crash,
// trip a sanitizer, or change what the file held without being asked to.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cstring>
#include <functional>
#include <optional>

#include "app/Scheduler.h"
#include "platform/DateTime.h"
#include "platform/RegistryFile.h"
#include "reminders/PopupScheduler.h"
#include "reminders/Recurrence.h"
#include "reminders/ReminderPopup.h"
#include "settings/Config.h"
#include "settings/ConfigStore.h"
#include "settings/RegistryStore.h"
#include "support/Fakes.h"
#include "support/TempHome.h"

namespace {

const QByteArray kRoot = "[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\";

QByteArray Section(const QByteArray& name) { return kRoot + name + "]\n"; }

// "DateTime"=hex:... for a day count, as the file stores it.
QByteArray DateLine(double days) {
  char bytes[8];
  std::memcpy(bytes, &days, 8);
  QByteArray hex;
  for (int i = 0; i < 8; ++i) hex += (i ? "," : "") + QByteArray(bytes + i, 1).toHex();
  return "\"DateTime\"=hex:" + hex;
}

QByteArray Reminder(int n, const QByteArray& dateLine, int recur, const QByteArray& extra = {}) {
  return Section("Popup Reminder " + QByteArray::number(n)) + "\"Name\"=\"R" +
         QByteArray::number(n) + "\"\n" + dateLine + "\n\"Recur\"=dword:0000000" +
         QByteArray::number(recur) + "\n" + extra;
}

class CountingPopup : public IReminderPopup {
 public:
  QStringList shown;
  std::optional<ReminderResult> Show(const PopupReminder& r, INotifications*) override {
    shown << r.Name;
    return ReminderResult{ReminderResult::Close, 0};
  }
};

// One run of the program over a settings file: load, ticks over two days, save.
class Session {
 public:
  explicit Session(const TempHome& home) : home_(home) {
    SetReminderPopup(&popup);
    scheduler_.steps.CheckPopupReminders = [] { CheckPopupReminders(); };
  }
  ~Session() { SetReminderPopup(nullptr); }

  void Run() {
    ResetConfig(QSize(1024, 768));
    RegistryFile file(home_.configFile());
    RegistryStore store(file);
    store.OpenKey(QString::fromLatin1(kProductKey));
    LoadConfig(store, Cfg(), home_.path() + "/prog/");
    Cfg().DynamicConfig.WindowVisible = false;
    for (int tick = 0; tick < 3; ++tick) {
      scheduler_.TimerIDLETimer();
      fakes_.clock.Advance(86400 / 2 + 60);
    }
    saved = SaveConfig(store, Cfg());
    movedAside = file.movedAsideTo();
    originalKept = file.originalKeptAs();
  }
  QByteArray File() const {
    QFile f(home_.configFile());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  CountingPopup popup;
  bool saved = false;
  QString movedAside;
  QString originalKept;

 private:
  const TempHome& home_;
  FakeServices fakes_;
  Scheduler scheduler_;
};

struct HostileCase {
  const char* name;
  QByteArray body;         // after the header and Base/OK
  QList<QByteArray> kept;  // lines the saved file must hold, byte for byte
  std::function<void(const Session&)> check;
};
void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

class HostileFiles : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileFiles, LoadTickAndSaveKeepWhatTheFileHeld) {
  const HostileCase& c = GetParam();
  TempHome home;
  home.write(".config/Quillatorne/settings.reg", "Windows Registry Editor Version 5.00\n\n" +
                                                     Section("Base") + "\"OK\"=dword:00000001\n" +
                                                     c.body);
  Session session(home);
  session.Run();
  EXPECT_TRUE(session.saved);
  EXPECT_TRUE(session.movedAside.isEmpty()) << "a readable file was taken for a bad one";
  const QByteArray after = session.File();
  for (const QByteArray& line : c.kept)
    EXPECT_TRUE(after.contains("\n" + line + "\n")) << "lost: " << line.toStdString() << "\n"
                                                    << after.toStdString();
  if (c.check) c.check(session);
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const double kYear50 = -673000;  // about the year 57
const double kYear100 = DateToDayNumber(QDate(100, 1, 31)) + 0.42;

QList<QByteArray> Lines(std::initializer_list<QByteArray> lines) { return lines; }

void NothingShown(const Session& s) { EXPECT_EQ(s.popup.shown, QStringList()); }

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileFiles,
    ::testing::Values(
        // Dates that are not dates: never due, never moved on, kept as stored.
        HostileCase{"NaNDaily",
                    Section("Reminders") + "\"Reminder Count\"=dword:00000001\n" +
                        Reminder(1, "\"DateTime\"=hex:00,00,00,00,00,00,f8,7f", 1),
                    Lines({"\"DateTime\"=hex:00,00,00,00,00,00,f8,7f"}), NothingShown},
        HostileCase{"InfinitiesAndHugeDates",
                    Section("Reminders") + "\"Reminder Count\"=dword:00000005\n" +
                        Reminder(1, DateLine(kInf), 2) + Reminder(2, DateLine(-kInf), 3) +
                        Reminder(3, DateLine(1e300), 4) + Reminder(4, DateLine(-1e300), 1) +
                        Reminder(5, DateLine(kYear50), 3),
                    Lines({DateLine(kInf), DateLine(-kInf), DateLine(1e300), DateLine(-1e300),
                           DateLine(kYear50)}),
                    NothingShown},
        HostileCase{"SnoozedCopyThatIsNotADate",
                    Section("Reminders") + "\"Snoozed Count\"=dword:00000001\n" +
                        Section("Snoozed Reminder 1") + "\"Name\"=\"S\"\n" + DateLine(kNaN) + "\n",
                    Lines({DateLine(kNaN)}), NothingShown},
        HostileCase{"MonthlyReminderCenturiesBehind",
                    Section("Reminders") + "\"Reminder Count\"=dword:00000001\n" +
                        Reminder(1, DateLine(kYear100), 3),
                    {},
                    [](const Session&) {
                      // Moved on to the first occurrence from now on, keeping the 31st.
                      const QDateTime when =
                          DaysToDateTime(Cfg().RemindersConfig.Reminders.value(0).DateTime);
                      EXPECT_EQ(when.date(), QDate(2026, 3, 31));
                    }},
        HostileCase{"RecurDayOutOfRange",
                    Section("Reminders") + "\"Reminder Count\"=dword:00000002\n" +
                        Reminder(1, DateLine(46081.5), 3, "\"RecurDay\"=dword:7fffffff\n") +
                        Reminder(2, DateLine(46081.5), 3, "\"RecurDay\"=dword:ffffffff\n"),
                    {},
                    [](const Session&) {
                      // 28 February 2026, behind now: moved on, to the 31st at most.
                      const auto& list = Cfg().RemindersConfig.Reminders;
                      ASSERT_EQ(list.size(), 2);
                      EXPECT_EQ(DaysToDateTime(list[0].DateTime).date(), QDate(2026, 3, 31));
                      EXPECT_EQ(DaysToDateTime(list[1].DateTime).date(), QDate(2026, 3, 28));
                    }},
        // Values the program cannot hold as text stay as the file had them.
        HostileCase{"TextThatIsNotText",
                    Section("Wallpaper") +
                        "\"PathsCount\"=dword:00000001\n\"Path 1\"=\"/tmp/caf\xe9\"\n"
                        "\"SelPath\"=hex(1):3d,d8,00,00\n\"SelFile\"=hex(1):61,00,62\n" +
                        Section("Calendar") + "\"Mystery\"=\"\xff\xfe\"\n\"Odd\"=hex(1):41\n" +
                        Section("Future") + "\"Later\"=\"caf\xc3\"\n\"Lone\"=hex(1):00,dc\n",
                    Lines({"\"Path 1\"=\"/tmp/caf\xe9\"", "\"SelPath\"=hex(1):3d,d8,00,00",
                           "\"SelFile\"=hex(1):61,00,62", "\"Mystery\"=\"\xff\xfe\"",
                           "\"Odd\"=hex(1):41", "\"Later\"=\"caf\xc3\"", "\"Lone\"=hex(1):00,dc"}),
                    [](const Session&) {
                      EXPECT_EQ(Cfg().WallpaperConfig.Paths.size(), 1);
                      EXPECT_EQ(Cfg().WallpaperConfig.SelFile, "a");
                    }},
        HostileCase{"EveryCountAtItsLargest",
                    Section("Wallpaper") + "\"PathsCount\"=dword:7fffffff\n" +
                        Section("Reminders") +
                        "\"Reminder Count\"=dword:7fffffff\n\"Snoozed Count\"=dword:7fffffff\n" +
                        Section("Email") + "\"AccountsNumber\"=dword:7fffffff\n" +
                        Section("ColorReminders") + "\"ColorRemCount\"=dword:7fffffff\n",
                    Lines({"\"PathsCount\"=dword:00000000", "\"Reminder Count\"=dword:00000000"}),
                    NothingShown}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HostileFileEncodings, AUtf16FileThatCannotBeKeptExactlyIsCopiedAsideBeforeTheFirstSave) {
  TempHome home;
  // An unpaired surrogate in a quoted value: UTF-8 has no way to write it.
  QByteArray utf16 = "\xff\xfe";
  const QString text = "Windows Registry Editor Version 5.00\r\n\r\n" +
                       QString::fromLatin1(Section("Base")) + "\"OK\"=dword:00000001\r\n" +
                       QString::fromLatin1(Section("Calendar")) + "\"Font\"=\"A";
  utf16 += QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
  utf16 += QByteArray("\x00\xd8", 2) + QByteArray("\"\x00\r\x00\n\x00", 6);
  home.write(".config/Quillatorne/settings.reg", utf16);

  Session session(home);
  session.Run();
  ASSERT_FALSE(session.originalKept.isEmpty());
  EXPECT_TRUE(session.originalKept.startsWith(home.configFile() + ".orig-"));
  QFile kept(session.originalKept);
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), utf16);
  EXPECT_TRUE(session.saved);

  // Once only: the file now written is exact.
  Session again(home);
  again.Run();
  EXPECT_TRUE(again.originalKept.isEmpty());
}

// The corpus under tests/fuzz/settings (tools/make_settings_corpus.py wrote it): every
// file through a session, then a second load of what was saved must give back the
// record the session ended with.
TEST(SettingsFuzzCorpus, EveryFileSurvivesASessionAndReloadsAsSaved) {
  const QString corpus = QStringLiteral(QUILLATORNE_SOURCE_DIR "/tests/fuzz/settings");
  QStringList files = QDir(corpus).entryList({"*.reg"}, QDir::Files, QDir::Name);
  ASSERT_GE(files.size(), 10) << qPrintable(corpus);
  QRandomGenerator random(20261210);
  for (const QString& name : files) {
    QFile f(corpus + "/" + name);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray original = f.readAll();
    // The file as committed, and a few more flips of it made here.
    QList<QByteArray> inputs{original};
    for (int n = 0; n < 3 && !original.isEmpty(); ++n) {
      QByteArray m = original;
      for (int flips = 0; flips < 4; ++flips)
        m[random.bounded(int(m.size()))] ^= char(1 << random.bounded(8));
      inputs << m;
    }
    for (int i = 0; i < inputs.size(); ++i) {
      SCOPED_TRACE(QString("%1 #%2").arg(name).arg(i).toStdString());
      TempHome home;
      home.write(".config/Quillatorne/settings.reg", inputs[i]);
      Session session(home);
      session.Run();
      ASSERT_TRUE(session.saved);
      const Config ended = Cfg();
      const QByteArray written = session.File();

      QList<RegistryFile::Key> keys;
      QString error;
      ASSERT_TRUE(RegistryFile::Parse(written, &keys, &error)) << error.toStdString();
      // What was saved loads back as the session left it, and saves to the same bytes.
      ResetConfig(QSize(1024, 768));
      RegistryFile file(home.configFile());
      RegistryStore store(file);
      store.OpenKey(QString::fromLatin1(kProductKey));
      LoadConfig(store, Cfg(), home.path() + "/prog/");
      EXPECT_EQ(Cfg().WallpaperConfig.Paths, ended.WallpaperConfig.Paths);
      EXPECT_EQ(Cfg().RemindersConfig.Reminders.size(), ended.RemindersConfig.Reminders.size());
      for (int r = 0;
           r < qMin(Cfg().RemindersConfig.Reminders.size(), ended.RemindersConfig.Reminders.size());
           ++r) {
        const auto& a = Cfg().RemindersConfig.Reminders[r];
        const auto& b = ended.RemindersConfig.Reminders[r];
        EXPECT_EQ(a.Name, b.Name);
        EXPECT_EQ(std::memcmp(&a.DateTime, &b.DateTime, 8), 0) << a.DateTime << " " << b.DateTime;
        EXPECT_EQ(a.Recur, b.Recur);
      }
      EXPECT_EQ(Cfg().EmailConfig.Accounts.size(), ended.EmailConfig.Accounts.size());
      EXPECT_EQ(Cfg().ColorRemConfig.ColorReminders.size(),
                ended.ColorRemConfig.ColorReminders.size());
      ASSERT_TRUE(SaveConfig(store, Cfg()));
      EXPECT_EQ(session.File(), written);
    }
  }
}

}  // namespace
