#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <optional>

#include "app/Scheduler.h"
#include "platform/DateTime.h"
#include "platform/RegistryFile.h"
#include "reminders/PopupScheduler.h"
#include "reminders/ReminderPopup.h"
#include "settings/Config.h"
#include "settings/ConfigStore.h"
#include "settings/RegistryStore.h"
#include "support/Fakes.h"

namespace {

QDateTime At(int h, int mi, int s = 0, int day = 15) {
  return QDateTime(QDate(2026, 3, day), QTime(h, mi, s));
}

QStringList Names(const QList<PopupReminder>& list) {
  QStringList names;
  for (const auto& r : list) names << r.Name;
  return names;
}

ReminderResult Close() { return {ReminderResult::Close, 0}; }
ReminderResult Edit() { return {ReminderResult::Edit, 0}; }
ReminderResult Snooze(int minutes) { return {ReminderResult::Snooze, minutes}; }

// Answers as the test says; while "open" it may run anything, a nested tick included.
class ScriptedPopup : public IReminderPopup {
 public:
  QList<PopupReminder> shown;
  std::function<std::optional<ReminderResult>(const PopupReminder&)> answer;
  std::optional<ReminderResult> Show(const PopupReminder& r, INotifications*) override {
    shown << r;
    if (!answer) return Close();
    return answer(r);
  }
};

class PopupReminders : public ::testing::Test {
 protected:
  void SetUp() override {
    fakes.config = Config(QSize(1024, 768));
    fakes.config.DynamicConfig.WindowVisible = false;
    scheduler.steps.CheckPopupReminders = [this] {
      CheckPopupReminders(fakes.config, popup, fakes.clock);
    };
    // Records which reminder the edit request points at, when it is made.
    scheduler.steps.EditReminder = [this](int index) { edits << Reminders().value(index).Name; };
  }

  QList<PopupReminder>& Reminders() { return fakes.config.RemindersConfig.Reminders; }
  QList<PopupReminder>& Snoozed() { return fakes.config.DynamicConfig.SnoozedReminders; }

  void Add(const QString& name, const QDateTime& when, int recur = 0) {
    PopupReminder r = NewPopupReminder(NowDays(fakes.clock));
    r.Name = name;
    r.DateTime = DateTimeToDays(when);
    r.Recur = static_cast<Recurrence>(recur);
    Reminders() << r;
  }
  void Tick(const QDateTime& now) {
    fakes.clock.now = now;
    scheduler.TimerIDLETimer();
  }
  QStringList ShownNames() const { return Names(popup.shown); }
  static QDateTime When(const PopupReminder& r) { return DaysToDateTime(r.DateTime); }

  FakeServices fakes;
  ScriptedPopup popup;
  Scheduler scheduler{fakes.config.DynamicConfig};
  QStringList edits;
};

struct DueCase {
  QDateTime reminder;
  QDateTime now;
  bool showing;
  bool due;
};
void PrintTo(const DueCase& c, std::ostream* os) {
  *os << c.reminder.toString(Qt::ISODate).toStdString() << " at "
      << c.now.toString(Qt::ISODateWithMs).toStdString() << (c.showing ? " showing" : "");
}

class DueSlots : public ::testing::TestWithParam<DueCase> {};

TEST_P(DueSlots, DueOnlyInItsFourMinuteSlot) {
  const DueCase& c = GetParam();
  PopupReminder r;
  r.DateTime = DateTimeToDays(c.reminder);
  r.Showing = c.showing;
  EXPECT_EQ(IsReminderDue(r, DateTimeToDays(c.now)), c.due)
      << c.reminder.toString().toStdString() << " at " << c.now.toString().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Slots, DueSlots,
    ::testing::Values(DueCase{At(10, 7), At(10, 3, 59), false, false},
                      DueCase{At(10, 7), At(10, 4, 0), false, true},
                      DueCase{At(10, 7), QDateTime(QDate(2026, 3, 15), QTime(10, 7, 59, 999)),
                              false, true},
                      DueCase{At(10, 7), At(10, 8, 0), false, false},
                      DueCase{At(10, 4), At(10, 7, 59), false, true},
                      DueCase{At(10, 7), At(10, 5), true, false},          // popup open
                      DueCase{At(10, 7), At(11, 5), false, false},         // other hour
                      DueCase{At(10, 7, 0, 14), At(10, 5), false, false},  // yesterday
                      DueCase{At(10, 7, 0, 16), At(10, 5), false, false},  // tomorrow
                      DueCase{At(23, 58), At(0, 1, 0, 16), false, false}));

TEST_F(PopupReminders, CloseRemovesTheReminderThatPoppedUp) {
  Add("Dentist", At(10, 7));
  Add("Later", At(18, 0));
  Tick(At(10, 3, 59));
  EXPECT_TRUE(popup.shown.isEmpty());
  Tick(At(10, 4));
  ASSERT_EQ(ShownNames(), QStringList{"Dentist"});
  EXPECT_FALSE(popup.shown[0].IsSnoozed);
  EXPECT_EQ(popup.shown[0].ListIndex, 0);
  EXPECT_EQ(Names(Reminders()), QStringList{"Later"});
  EXPECT_FALSE(Reminders()[0].Showing);
}

TEST_F(PopupReminders, AReminderMissedMoreThanADayAgoNeverPopsUpAndStays) {
  Add("Missed", At(10, 7, 0, 13));
  for (const QDateTime& now : {At(10, 5), At(10, 7), At(0, 0, 0, 16), At(10, 5, 0, 14 + 7)})
    Tick(now);
  EXPECT_TRUE(popup.shown.isEmpty());
  EXPECT_EQ(Names(Reminders()), QStringList{"Missed"});
}

TEST_F(PopupReminders, OnePopupPerTickListBeforeSnoozed) {
  Add("First", At(10, 6));
  Add("Second", At(10, 7));
  PopupReminder copy = NewPopupReminder(NowDays(fakes.clock));
  copy.Name = "Snoozed";
  copy.IsSnoozed = true;
  copy.DateTime = DateTimeToDays(At(10, 4));
  Snoozed() << copy;

  Tick(At(10, 5));
  EXPECT_EQ(ShownNames(), QStringList{"First"});
  Tick(At(10, 5, 1));
  EXPECT_EQ(ShownNames(), (QStringList{"First", "Second"}));
  Tick(At(10, 5, 2));
  EXPECT_EQ(ShownNames(), (QStringList{"First", "Second", "Snoozed"}));
  EXPECT_TRUE(popup.shown[2].IsSnoozed);
  EXPECT_EQ(popup.shown[2].ListIndex, -1);
  EXPECT_TRUE(Reminders().isEmpty());
  EXPECT_TRUE(Snoozed().isEmpty());
}

TEST_F(PopupReminders, EditLeavesTheReminderAndAsksForItsPage) {
  Add("Other", At(18, 0));
  Add("Weekly", At(10, 7), 2);
  popup.answer = [](const PopupReminder&) { return Edit(); };
  Tick(At(10, 5));
  EXPECT_EQ(edits, QStringList{"Weekly"});
  EXPECT_EQ(fakes.config.DynamicConfig.EditReminderIndex, -1);  // consumed at the end of the tick
  ASSERT_EQ(Names(Reminders()), (QStringList{"Other", "Weekly"}));
  EXPECT_EQ(When(Reminders()[1]), At(10, 7));
  // Still in its slot once the window is hidden again: it pops up again.
  popup.answer = nullptr;
  Tick(At(10, 6));
  EXPECT_EQ(ShownNames(), (QStringList{"Weekly", "Weekly"}));
}

TEST_F(PopupReminders, SnoozeCountsFromTheRemindersOwnTime) {
  Add("Dentist", At(10, 7));
  popup.answer = [](const PopupReminder&) { return Snooze(5); };
  Tick(At(10, 5));
  EXPECT_TRUE(Reminders().isEmpty());
  ASSERT_EQ(Names(Snoozed()), QStringList{"Dentist"});
  EXPECT_EQ(When(Snoozed()[0]), At(10, 12));
  EXPECT_EQ(Snoozed()[0].Recur, Recurrence::None);

  popup.answer = nullptr;  // Close
  Tick(At(10, 11, 59));
  EXPECT_EQ(popup.shown.size(), 1);
  Tick(At(10, 12));
  ASSERT_EQ(popup.shown.size(), 2);
  EXPECT_TRUE(popup.shown[1].IsSnoozed);
  EXPECT_TRUE(Snoozed().isEmpty());
}

TEST_F(PopupReminders, AShownReminderDoesNotPopUpAgainInANestedTick) {
  Add("Once", At(10, 7));
  int nested = 0;
  popup.answer = [&](const PopupReminder&) {
    if (nested++ == 0) Tick(At(10, 6));
    return Close();
  };
  Tick(At(10, 5));
  EXPECT_EQ(ShownNames(), QStringList{"Once"});
  EXPECT_TRUE(Reminders().isEmpty());
}

// Two popups open at once: the outer one pops up at 10:05, the inner one inside it at
// 10:12; the inner is answered first. Each answer must reach its own reminder.
struct NestedCase {
  const char* name;
  bool outerFirstInList;
  ReminderResult outer;
  ReminderResult inner;
};
void PrintTo(const NestedCase& c, std::ostream* os) { *os << c.name; }

class NestedPopups : public PopupReminders, public ::testing::WithParamInterface<NestedCase> {
 protected:
  // Where each answer leaves its reminder: in the list, in the snoozed list, or gone. A
  // snooze counts from the reminder's `time`, or from when it was answered where that time
  // plus the snooze has passed already (it would come straight back).
  void ExpectFate(const QString& name, const ReminderResult& answer, const QDateTime& time,
                  const QDateTime& answeredAt) {
    const bool listed = Names(Reminders()).contains(name);
    const int s = static_cast<int>(Names(Snoozed()).indexOf(name));
    switch (answer.answer) {
      case ReminderResult::Close:
        EXPECT_FALSE(listed) << name.toStdString();
        EXPECT_EQ(s, -1) << name.toStdString();
        break;
      case ReminderResult::Edit:
        EXPECT_TRUE(listed) << name.toStdString();
        EXPECT_TRUE(edits.contains(name)) << name.toStdString();
        break;
      case ReminderResult::Snooze:
        EXPECT_FALSE(listed) << name.toStdString();
        ASSERT_GE(s, 0) << name.toStdString();
        const QDateTime from = time.addSecs(60 * answer.minutes) <= answeredAt ? answeredAt : time;
        EXPECT_EQ(When(Snoozed()[s]), from.addSecs(60 * answer.minutes)) << name.toStdString();
        break;
    }
  }
};

TEST_P(NestedPopups, EachAnswerReachesItsOwnReminder) {
  const NestedCase& c = GetParam();
  if (c.outerFirstInList) {
    Add("Outer", At(10, 7));
    Add("Inner", At(10, 12));
  } else {
    Add("Inner", At(10, 12));
    Add("Outer", At(10, 7));
  }
  Add("Bystander", At(18, 0));

  popup.answer = [&](const PopupReminder& r) -> std::optional<ReminderResult> {
    if (r.Name == "Inner") return c.inner;
    Tick(At(10, 12));  // the inner popup opens on top and is answered
    return c.outer;
  };
  Tick(At(10, 5));
  EXPECT_EQ(ShownNames(), (QStringList{"Outer", "Inner"}));
  ExpectFate("Outer", c.outer, At(10, 7), At(10, 12));
  ExpectFate("Inner", c.inner, At(10, 12), At(10, 12));
  EXPECT_TRUE(Names(Reminders()).contains("Bystander"));
  for (const auto& r : Reminders()) EXPECT_FALSE(r.Showing);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, NestedPopups,
    ::testing::Values(NestedCase{"CloseClose", true, Close(), Close()},
                      NestedCase{"CloseCloseLaterInList", false, Close(), Close()},
                      NestedCase{"SnoozeClose", false, Snooze(10), Close()},
                      NestedCase{"CloseSnooze", false, Close(), Snooze(3)},
                      NestedCase{"EditClose", false, Edit(), Close()},
                      NestedCase{"CloseEdit", true, Close(), Edit()},
                      NestedCase{"SnoozeSnooze", true, Snooze(1), Snooze(120)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PopupReminders, NestedSnoozedCopiesAreAnsweredByIdentity) {
  for (const char* name : {"A", "B", "C"}) {
    PopupReminder copy = NewPopupReminder(NowDays(fakes.clock));
    copy.Name = name;
    copy.DateTime = DateTimeToDays(At(10, 4));
    Snoozed() << copy;
  }
  // A opens, B opens inside it and is closed, then A is snoozed; C follows.
  popup.answer = [&](const PopupReminder& r) -> std::optional<ReminderResult> {
    if (r.Name == "A") {
      Tick(At(10, 5));
      return Snooze(7);
    }
    return Close();
  };
  Tick(At(10, 4));
  EXPECT_EQ(ShownNames(), (QStringList{"A", "B"}));
  EXPECT_EQ(Names(Snoozed()), (QStringList{"C", "A"}));
  EXPECT_EQ(When(Snoozed()[1]), At(10, 11));
}

TEST_F(PopupReminders, AReminderChangedOnThePageWhileOpenKeepsTheUsersChange) {
  Add("Deleted", At(10, 7));
  Add("Moved", At(10, 7));
  // The page (opened by another popup's Edit) deletes one and reschedules the other.
  popup.answer = [&](const PopupReminder& r) -> std::optional<ReminderResult> {
    if (r.Name == "Deleted") {
      Reminders().removeFirst();
      return Snooze(5);
    }
    Reminders()[0].DateTime = DateTimeToDays(At(9, 0, 0, 20));
    return Close();
  };
  Tick(At(10, 5));
  Tick(At(10, 6));
  ASSERT_EQ(Names(Reminders()), QStringList{"Moved"});
  EXPECT_EQ(When(Reminders()[0]), At(9, 0, 0, 20));
  // The snooze asked for still comes.
  ASSERT_EQ(Names(Snoozed()), QStringList{"Deleted"});
  EXPECT_EQ(When(Snoozed()[0]), At(10, 12));
}

TEST_F(PopupReminders, APopupGoneWithoutAnAnswerLeavesItsReminder) {
  Add("Dentist", At(10, 7));
  popup.answer = [](const PopupReminder&) { return std::nullopt; };
  Tick(At(10, 5));
  ASSERT_EQ(Names(Reminders()), QStringList{"Dentist"});
  EXPECT_FALSE(Reminders()[0].Showing);
  EXPECT_TRUE(Snoozed().isEmpty());
}

TEST_F(PopupReminders, ClosingARecurringReminderMovesItOn) {
  Add("Standup", At(10, 7), 1);
  Tick(At(10, 5));
  ASSERT_EQ(Names(Reminders()), QStringList{"Standup"});
  EXPECT_EQ(When(Reminders()[0]), At(10, 7, 0, 16));
  Tick(At(10, 4, 0, 16));
  EXPECT_EQ(ShownNames(), (QStringList{"Standup", "Standup"}));
}

TEST_F(PopupReminders, ClosingAfterTheNextOccurrencePassedSkipsToOneAhead) {
  Add("Standup", At(10, 7), 1);
  // The popup stayed open for two days.
  popup.answer = [&](const PopupReminder&) {
    fakes.clock.now = At(12, 0, 0, 17);
    return Close();
  };
  Tick(At(10, 5));
  EXPECT_EQ(When(Reminders()[0]), At(10, 7, 0, 18));
}

TEST_F(PopupReminders, SnoozingARecurringReminderSnoozesThisOccurrence) {
  Add("Pills", At(10, 7), 3);
  popup.answer = [](const PopupReminder&) { return Snooze(15); };
  Tick(At(10, 5));
  ASSERT_EQ(Names(Reminders()), QStringList{"Pills"});
  EXPECT_EQ(When(Reminders()[0]), QDateTime(QDate(2026, 4, 15), QTime(10, 7)));
  EXPECT_EQ(Reminders()[0].Recur, Recurrence::Monthly);
  ASSERT_EQ(Names(Snoozed()), QStringList{"Pills"});
  EXPECT_EQ(When(Snoozed()[0]), At(10, 22));
  EXPECT_EQ(Snoozed()[0].Recur, Recurrence::None);
}

struct CatchUpCase {
  const char* name;
  QDateTime stored;
  int recur;
  QDateTime now;
  QDateTime expected;
  bool popsUp;
};
void PrintTo(const CatchUpCase& c, std::ostream* os) { *os << c.name; }

class CatchUp : public PopupReminders, public ::testing::WithParamInterface<CatchUpCase> {};

// Its latest occurrence pops up late when it was missed less than a day ago; older ones
// move on quietly (they are told about at start).
TEST_P(CatchUp, ARecurringReminderLeftBehindPopsUpOnceOrMovesOn) {
  const CatchUpCase& c = GetParam();
  Add("R", c.stored, c.recur);
  popup.answer = [](const PopupReminder&) { return Edit(); };  // keep it where it is
  Tick(c.now);
  EXPECT_EQ(popup.shown.size(), c.popsUp ? 1 : 0);
  ASSERT_EQ(Reminders().size(), 1);
  EXPECT_EQ(When(Reminders()[0]), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    AfterTheProgramWasOff, CatchUp,
    ::testing::Values(
        CatchUpCase{"DailyMissedDays", At(10, 7, 0, 10), 1, At(12, 0), At(10, 7), true},
        CatchUpCase{"DailyStillInTodaysSlot", At(10, 7, 0, 10), 1, At(10, 5), At(10, 7), true},
        CatchUpCase{"DailyJustAfterTheSlot", At(10, 7, 0, 14), 1, At(10, 8), At(10, 7), true},
        CatchUpCase{"WeeklyDueAgainNow", At(9, 0, 0, 1), 2, At(9, 0, 0, 8), At(9, 0, 0, 8), true},
        CatchUpCase{"MonthlyKeepsItsDay", QDateTime(QDate(2025, 10, 31), QTime(8, 0)), 3, At(12, 0),
                    QDateTime(QDate(2026, 3, 31), QTime(8, 0)), false},
        CatchUpCase{"YearlyFrom29February", QDateTime(QDate(2024, 2, 29), QTime(8, 0)), 4,
                    At(12, 0), QDateTime(QDate(2027, 2, 28), QTime(8, 0)), false},
        CatchUpCase{"DailyFromTheEpoch", QDateTime(QDate(1899, 12, 30), QTime(0, 0)), 1, At(12, 0),
                    At(0, 0), true},
        CatchUpCase{"OneOffStays", At(10, 7, 0, 10), 0, At(12, 0), At(10, 7, 0, 10), false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PopupReminders, NoCatchUpWhileTheMainWindowIsShown) {
  Add("Standup", At(10, 7, 0, 14), 1);
  fakes.config.DynamicConfig.WindowVisible = true;
  Tick(At(12, 0));
  EXPECT_EQ(When(Reminders()[0]), At(10, 7, 0, 14));
  fakes.config.DynamicConfig.WindowVisible = false;
  Tick(At(12, 0, 1));
  EXPECT_EQ(When(Reminders()[0]), At(10, 7, 0, 16));
}

TEST_F(PopupReminders, ASnoozedCopyWhoseTimePassedPopsUpLateRatherThanNever) {
  PopupReminder copy = NewPopupReminder(NowDays(fakes.clock));
  copy.Name = "Call back";
  copy.IsSnoozed = true;
  copy.DateTime = DateTimeToDays(At(10, 12, 0, 14));
  Snoozed() << copy;
  Tick(At(9, 0));
  EXPECT_EQ(ShownNames(), QStringList{"Call back"});
  EXPECT_TRUE(Snoozed().isEmpty());
}

class SnoozedStore : public ::testing::Test {
 protected:
  void SetUp() override { fakes.config = Config(QSize(1024, 768)); }
  QString File() const { return dir.filePath("settings.reg"); }
  void Save(const Config& c) {
    RegistryFile file(File());
    RegistryStore store(file);
    store.OpenKey(QString::fromLatin1(kProductKey));
    ASSERT_TRUE(SaveConfig(store, c));
  }
  Config Load() {
    RegistryFile file(File());
    RegistryStore store(file);
    store.OpenKey(QString::fromLatin1(kProductKey));
    Config c;
    LoadConfig(store, c, dir.path() + "/");
    return c;
  }
  QTemporaryDir dir;
  FakeServices fakes;
};

TEST_F(SnoozedStore, SnoozedCopiesSurviveASaveAndLoad) {
  Config c;
  PopupReminder listed = NewPopupReminder(NowDays(fakes.clock));
  listed.Name = "Listed";
  c.RemindersConfig.Reminders << listed;
  for (int i = 0; i < 2; ++i) {
    PopupReminder copy = NewPopupReminder(NowDays(fakes.clock));
    copy.Name = QStringLiteral("Copy %1").arg(i);
    copy.Text = QStringLiteral("text \"%1\"\nline two").arg(i);
    copy.DateTime = 46096.5 + i;
    copy.IsSnoozed = true;
    copy.Showing = i == 0;  // a save while its popup is open keeps it too
    c.DynamicConfig.SnoozedReminders << copy;
  }
  Save(c);
  const Config loaded = Load();
  ASSERT_EQ(loaded.RemindersConfig.Reminders.size(), 1);
  EXPECT_EQ(loaded.RemindersConfig.Reminders[0].Name, "Listed");
  const auto& snoozed = loaded.DynamicConfig.SnoozedReminders;
  ASSERT_EQ(snoozed.size(), 2);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(snoozed[i].Name, c.DynamicConfig.SnoozedReminders[i].Name);
    EXPECT_EQ(snoozed[i].Text, c.DynamicConfig.SnoozedReminders[i].Text);
    EXPECT_EQ(snoozed[i].DateTime, c.DynamicConfig.SnoozedReminders[i].DateTime);
    EXPECT_TRUE(snoozed[i].IsSnoozed);
    EXPECT_FALSE(snoozed[i].Showing);
    EXPECT_NE(snoozed[i].Id, 0u);
    EXPECT_NE(snoozed[i].Id, loaded.RemindersConfig.Reminders[0].Id);
  }
  EXPECT_NE(snoozed[0].Id, snoozed[1].Id);

  // Fewer copies on the next save: the count decides, old sections are not read.
  Config fewer = loaded;
  fewer.DynamicConfig.SnoozedReminders.removeFirst();
  Save(fewer);
  EXPECT_EQ(Names(Load().DynamicConfig.SnoozedReminders), QStringList{"Copy 1"});
}

TEST_F(SnoozedStore, AStoreWithoutSnoozedValuesLoadsNone) {
  Config c;
  c.RemindersConfig.Reminders << NewPopupReminder(NowDays(fakes.clock));
  Save(c);
  // As written by a version that knew nothing of snoozed copies.
  QFile f(File());
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  QByteArray text = f.readAll();
  f.close();
  text.replace("\"Snoozed Count\"=dword:00000000\r\n", "");
  text.replace("\"Snoozed Count\"=dword:00000000\n", "");
  ASSERT_FALSE(text.contains("Snoozed Count"));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(text);
  f.close();
  const Config loaded = Load();
  EXPECT_EQ(loaded.RemindersConfig.Reminders.size(), 1);
  EXPECT_TRUE(loaded.DynamicConfig.SnoozedReminders.isEmpty());
}

}  // namespace
