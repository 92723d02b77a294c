// Reminders against the wall clock in Europe/Berlin: daylight saving, a new time zone, a
// clock set by hand, a suspend, and times that passed while the program was not looking.
#include <gtest/gtest.h>

#include <QTimeZone>
#include <ctime>
#include <functional>
#include <optional>

#include "app/Scheduler.h"
#include "platform/DateTime.h"
#include "reminders/PopupScheduler.h"
#include "reminders/Recurrence.h"
#include "reminders/ReminderPopup.h"
#include "reminders/ReminderTiming.h"
#include "settings/Config.h"
#include "support/Fakes.h"

namespace {
const QTimeZone kBerlin("Europe/Berlin");

// A wall-clock time in Berlin; the first of the two when the hour repeats.
QDateTime Berlin(int y, int m, int d, int h, int mi, int s = 0) {
  return QDateTime(QDate(y, m, d), QTime(h, mi, s), kBerlin);
}
double Wall(int y, int m, int d, int h, int mi) {
  return DateToDayNumber(QDate(y, m, d)) + (h * 60 + mi) / kMinutesPerDay;
}

struct Popped {
  QString name;
  double due;    // the reminder's date-time as it popped up
  QString wall;  // the wall clock then, "HH:mm:ss"
  QString zone;  // "CET", "CEST", ...
  bool missed;
};

// Records every popup and answers Close.
class RecordingPopup : public IReminderPopup {
 public:
  explicit RecordingPopup(const FakeClock& clock) : clock_(clock) {}
  QList<Popped> popped;
  std::function<ReminderResult(const PopupReminder&)> answer;
  std::optional<ReminderResult> Show(const PopupReminder& r, INotifications*) override {
    popped.append({r.Name, r.DateTime, clock_.now.time().toString("HH:mm:ss"),
                   clock_.now.timeZoneAbbreviation(), r.Missed});
    return answer ? answer(r) : ReminderResult{};
  }

 private:
  const FakeClock& clock_;
};

class ReminderClock : public ::testing::Test {
 public:
  void SetUp() override {
    savedTz_ = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    tzset();
    fakes.config = Config(QSize(1024, 768));
    fakes.config.DynamicConfig.WindowVisible = false;
    scheduler.steps.CheckPopupReminders = [this] {
      CheckPopupReminders(fakes.config, popup, fakes.clock);
    };
  }
  void TearDown() override {
    if (savedTz_.isNull())
      qunsetenv("TZ");
    else
      qputenv("TZ", savedTz_);
    tzset();
  }
  PopupReminder& Add(const QString& name, double wall, int recur = 0) {
    PopupReminder r = NewPopupReminder(NowDays(fakes.clock));
    r.Name = name;
    r.DateTime = wall;
    r.Recur = static_cast<Recurrence>(recur);
    fakes.config.RemindersConfig.Reminders << r;
    return fakes.config.RemindersConfig.Reminders.last();
  }
  // Ticks every `step` seconds of real time from `from` until `to` (instants).
  void TickThrough(const QDateTime& from, const QDateTime& to, int step = 1) {
    fakes.clock.now = from;
    while (fakes.clock.now <= to) {
      scheduler.TimerIDLETimer();
      fakes.clock.Advance(step);
    }
  }
  void Tick() { scheduler.TimerIDLETimer(); }

  FakeServices fakes;
  RecordingPopup popup{fakes.clock};
  Scheduler scheduler{fakes.config.DynamicConfig};

 private:
  QByteArray savedTz_;
};

// On 29 March 2026 the clocks go from 02:00 to 03:00: 02:30 never happens.
TEST_F(ReminderClock, SpringForwardShowsTheSkippedHourAtThree) {
  Add("One-off", Wall(2026, 3, 29, 2, 30));
  Add("Daily", Wall(2026, 3, 29, 2, 30), 1);
  TickThrough(Berlin(2026, 3, 29, 1, 50), Berlin(2026, 3, 29, 3, 20));
  ASSERT_EQ(popup.popped.size(), 2);
  for (const Popped& p : popup.popped) {
    SCOPED_TRACE(p.name.toStdString());
    EXPECT_TRUE(p.wall.startsWith("03:00:0")) << p.wall.toStdString();  // just after the jump
    EXPECT_FALSE(p.missed);  // the program was looking: not late
  }
  EXPECT_EQ(popup.popped[0].name, "One-off");
  EXPECT_EQ(popup.popped[1].name, "Daily");
  // The daily one goes on to the next day, same wall-clock time.
  ASSERT_EQ(fakes.config.RemindersConfig.Reminders.size(), 1);
  EXPECT_EQ(fakes.config.RemindersConfig.Reminders[0].DateTime, Wall(2026, 3, 30, 2, 30));
}

// On 25 October 2026 the hour from 02:00 to 03:00 comes twice.
TEST_F(ReminderClock, RepeatedAutumnHourShowsOnce) {
  Add("One-off", Wall(2026, 10, 25, 2, 30));
  Add("Daily", Wall(2026, 10, 25, 2, 30), 1);
  TickThrough(Berlin(2026, 10, 25, 1, 50), Berlin(2026, 10, 25, 1, 50).addSecs(3 * 3600));
  ASSERT_EQ(popup.popped.size(), 2);
  for (const Popped& p : popup.popped) {
    SCOPED_TRACE(p.name.toStdString());
    EXPECT_EQ(p.zone, "CEST");  // the first time round
    EXPECT_FALSE(p.missed);
  }
  ASSERT_EQ(fakes.config.RemindersConfig.Reminders.size(), 1);
  EXPECT_EQ(fakes.config.RemindersConfig.Reminders[0].DateTime, Wall(2026, 10, 26, 2, 30));
}

// A daily reminder at 09:00 from the week before to the week after each change.
struct DailyCase {
  const char* name;
  QDate first;
};
class DailyAcrossChanges : public ReminderClock, public ::testing::WithParamInterface<DailyCase> {};

TEST_P(DailyAcrossChanges, StaysAtNine) {
  const QDate first = GetParam().first;
  Add("Daily", DateToDayNumber(first) + 9 / 24.0, 1);
  // Every half minute: the program looks without a break.
  TickThrough(QDateTime(first, QTime(8, 0), kBerlin),
              QDateTime(first.addDays(3), QTime(10, 0), kBerlin), 30);
  ASSERT_EQ(popup.popped.size(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(DaysToDateTime(popup.popped[i].due), QDateTime(first.addDays(i), QTime(9, 0)));
    EXPECT_EQ(popup.popped[i].wall, "09:00:00");
  }
}

INSTANTIATE_TEST_SUITE_P(Berlin, DailyAcrossChanges,
                         ::testing::Values(DailyCase{"Spring", QDate(2026, 3, 28)},
                                           DailyCase{"Autumn", QDate(2026, 10, 24)}),
                         [](const auto& info) { return std::string(info.param.name); });

// The wall clock jumps while the program looks (one second of real time passes): what the
// jump stepped over is due at once, and nothing that was answered comes back.
struct JumpCase {
  const char* name;
  std::function<void(FakeClock&)> jump;
  int popped;  // of the reminder at 12:00, due after the jump
};
class WallClockJumps : public ReminderClock, public ::testing::WithParamInterface<JumpCase> {};

TEST_P(WallClockJumps, DueByTheNewWallClockOnly) {
  const JumpCase& c = GetParam();
  Add("Answered at ten", Wall(2026, 6, 10, 10, 0), 1);
  Add("Noon", Wall(2026, 6, 10, 12, 0));
  TickThrough(Berlin(2026, 6, 10, 9, 55), Berlin(2026, 6, 10, 10, 5));
  ASSERT_EQ(popup.popped.size(), 1);
  c.jump(fakes.clock);
  fakes.clock.elapsedMs += 1000;
  Tick();
  fakes.clock.Advance(1);
  Tick();
  ASSERT_EQ(popup.popped.size(), 1 + c.popped);
  if (c.popped) {
    EXPECT_EQ(popup.popped[1].name, "Noon");
    EXPECT_FALSE(popup.popped[1].missed);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Jumps, WallClockJumps,
    ::testing::Values(
        // Berlin 10:05 is Tokyo 17:05: noon has come by the new zone's clock.
        JumpCase{"ZoneChangedEast",
                 [](FakeClock& c) { c.now = c.now.toTimeZone(QTimeZone("Asia/Tokyo")); }, 1},
        // Berlin 10:05 is London 09:05: ten comes round again, and is not shown again.
        JumpCase{"ZoneChangedWest",
                 [](FakeClock& c) { c.now = c.now.toTimeZone(QTimeZone("Europe/London")); }, 0},
        JumpCase{"ClockSetForwardByHand", [](FakeClock& c) { c.now = c.now.addSecs(3 * 3600); }, 1},
        JumpCase{"ClockSetBackByHand", [](FakeClock& c) { c.now = c.now.addSecs(-3600); }, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// Not looking: the time passed while the program could not show anything.
struct UnseenCase {
  const char* name;
  std::function<void(ReminderClock&)> away;  // from 09:55 to about 10:30
};
class MissedWhileAway : public ReminderClock, public ::testing::WithParamInterface<UnseenCase> {};

TEST_P(MissedWhileAway, PopsUpLateSayingSo) {
  Add("Dentist", Wall(2026, 6, 10, 10, 0));
  TickThrough(Berlin(2026, 6, 10, 9, 50), Berlin(2026, 6, 10, 9, 55));
  ASSERT_TRUE(popup.popped.isEmpty());
  GetParam().away(*this);
  Tick();
  ASSERT_EQ(popup.popped.size(), 1);
  EXPECT_TRUE(popup.popped[0].missed);
  EXPECT_EQ(DaysToDateTime(popup.popped[0].due).time(), QTime(10, 0));
  EXPECT_TRUE(fakes.config.RemindersConfig.Reminders.isEmpty());  // answered Close
  fakes.clock.Advance(1);
  Tick();
  EXPECT_EQ(popup.popped.size(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Away, MissedWhileAway,
    ::testing::Values(UnseenCase{"WindowOpen",
                                 [](ReminderClock& t) {
                                   t.fakes.config.DynamicConfig.WindowVisible = true;
                                   t.TickThrough(t.fakes.clock.now, Berlin(2026, 6, 10, 10, 30));
                                   t.fakes.config.DynamicConfig.WindowVisible = false;
                                 }},
                      UnseenCase{"PreviewOpen",
                                 [](ReminderClock& t) {
                                   t.fakes.config.DynamicConfig.PreviewOpen = true;
                                   t.TickThrough(t.fakes.clock.now, Berlin(2026, 6, 10, 10, 30));
                                   t.fakes.config.DynamicConfig.PreviewOpen = false;
                                 }},
                      // Suspended: the wall clock and the elapsed time both jump, no tick between.
                      UnseenCase{"Suspend",
                                 [](ReminderClock& t) { t.fakes.clock.Advance(35 * 60); }},
                      // The program ended and starts again.
                      UnseenCase{"Restarted",
                                 [](ReminderClock& t) {
                                   t.fakes.config.DynamicConfig.ReminderLookOut = LookOut{};
                                   t.fakes.clock.now = Berlin(2026, 6, 10, 10, 40);
                                   t.fakes.clock.elapsedMs = 5000;
                                 }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReminderClock, RecurringMissedForAWeekPopsUpOnceThenMovesOn) {
  Add("Daily stand-up", Wall(2026, 6, 3, 9, 0), 1);
  fakes.clock.now = Berlin(2026, 6, 10, 11, 0);  // started a week later
  for (int i = 0; i < 120; ++i) {
    Tick();
    fakes.clock.Advance(30);
  }
  ASSERT_EQ(popup.popped.size(), 1);
  EXPECT_TRUE(popup.popped[0].missed);
  EXPECT_EQ(popup.popped[0].due, Wall(2026, 6, 10, 9, 0));  // the latest it missed
  EXPECT_EQ(fakes.config.RemindersConfig.Reminders[0].DateTime, Wall(2026, 6, 11, 9, 0));
}

TEST_F(ReminderClock, MissedAndAnsweredWithEditIsNotShownAgain) {
  popup.answer = [](const PopupReminder&) { return ReminderResult{ReminderResult::Edit, 0}; };
  Add("Dentist", Wall(2026, 6, 10, 10, 0));
  fakes.clock.now = Berlin(2026, 6, 10, 10, 30);
  Tick();
  ASSERT_EQ(popup.popped.size(), 1);
  EXPECT_TRUE(popup.popped[0].missed);
  // The window was shown for the edit and hidden unchanged again.
  fakes.clock.Advance(600);
  Tick();
  EXPECT_EQ(popup.popped.size(), 1);
  EXPECT_EQ(fakes.config.RemindersConfig.Reminders.size(), 1);
  // A new time set on the page is a new reminder to see.
  fakes.config.RemindersConfig.Reminders[0].DateTime = Wall(2026, 6, 10, 10, 20);
  fakes.clock.Advance(600);
  Tick();
  EXPECT_EQ(popup.popped.size(), 2);
}

TEST_F(ReminderClock, LongMissedAreListedAtStartAndStay) {
  for (int i = 1; i <= 12; ++i) Add(QString("Old %1").arg(i), Wall(2026, 5, i, 8, 0));
  Add("Weekly", Wall(2026, 5, 1, 8, 0), 2);
  Add("Within a day", Wall(2026, 6, 9, 12, 0));
  const double now = Wall(2026, 6, 10, 11, 0);
  const QList<LongMissedEntry> missed =
      TakeLongMissedReminders(fakes.config.RemindersConfig.Reminders, now);
  ASSERT_EQ(missed.size(), 13);
  EXPECT_EQ(missed[12].name, "Weekly");
  EXPECT_EQ(missed[12].dueAt, Wall(2026, 6, 5, 8, 0));  // its latest occurrence
  // The weekly one goes on to its next date; the one-off ones stay as they were.
  EXPECT_EQ(fakes.config.RemindersConfig.Reminders[12].DateTime, Wall(2026, 6, 12, 8, 0));
  EXPECT_EQ(fakes.config.RemindersConfig.Reminders[0].DateTime, Wall(2026, 5, 1, 8, 0));

  const QLocale c(QLocale::C);
  const QStringList lines = LongMissedReport(missed, c).split('\n');
  const QString when = c.toString(QDateTime(QDate(2026, 5, 1), QTime(8, 0)), QLocale::ShortFormat);
  EXPECT_TRUE(lines.contains("Old 1 (" + when + ")")) << lines.join('\n').toStdString();
  EXPECT_TRUE(lines.contains(
      "Old 10 (" + c.toString(QDateTime(QDate(2026, 5, 10), QTime(8, 0)), QLocale::ShortFormat) +
      ")"));
  EXPECT_FALSE(lines.join('\n').contains("Old 11"));
  EXPECT_TRUE(lines.contains("and 3 more"));
  EXPECT_TRUE(LongMissedReport({}, c).isEmpty());

  // The tick leaves them alone; the one within a day pops up, late.
  fakes.clock.now = Berlin(2026, 6, 10, 11, 0);
  for (int i = 0; i < 5; ++i) {
    Tick();
    fakes.clock.Advance(1);
  }
  ASSERT_EQ(popup.popped.size(), 1);
  EXPECT_EQ(popup.popped[0].name, "Within a day");
  EXPECT_EQ(fakes.config.RemindersConfig.Reminders.size(), 13);
}

TEST(MissedCaption, UsesTheShortDateAndTime) {
  const QLocale de(QLocale::German, QLocale::Germany);
  EXPECT_EQ(MissedCaption(Wall(2026, 6, 10, 9, 5), de), "Missed: 10.06.26 09:05");
  const QLocale us(QLocale::English, QLocale::UnitedStates);
  EXPECT_EQ(
      MissedCaption(Wall(2026, 6, 10, 21, 5), us),
      "Missed: " + us.toString(QDateTime(QDate(2026, 6, 10), QTime(21, 5)), QLocale::ShortFormat));
}

TEST(LookingSince, OnlyAnUnbrokenRunCounts) {
  EXPECT_FALSE(LookingSince(LookOut{}, 5000));  // never looked
  EXPECT_EQ(LookingSince(LookOut{100.5, 1000, 100.25}, 2000), std::optional<double>(100.25));
  EXPECT_FALSE(LookingSince(LookOut{100.5, 1000, 100.25}, 1000 + kUnbrokenLookMs + 1));  // a pause
  EXPECT_FALSE(LookingSince(LookOut{100.5, 5000, 100.25}, 1000));  // from before a restart
  // The run begins at a break and reaches back as far as the clock is set back.
  EXPECT_EQ(NextLookOut(LookOut{}, 100.5, 1000).since, 100.5);
  EXPECT_EQ(NextLookOut(LookOut{100.5, 1000, 100.25}, 100.6, 2000).since, 100.25);
  EXPECT_EQ(NextLookOut(LookOut{100.5, 1000, 100.25}, 100.1, 2000).since, 100.1);
  EXPECT_EQ(NextLookOut(LookOut{100.5, 1000, 100.25}, 100.9, 1000 + kUnbrokenLookMs + 1).since,
            100.9);
}
}  // namespace
