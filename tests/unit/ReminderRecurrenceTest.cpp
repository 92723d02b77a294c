#include <gtest/gtest.h>

#include <QList>
#include <cstring>
#include <limits>

#include "platform/DateTime.h"
#include "reminders/Recurrence.h"
#include "settings/Config.h"

namespace {
QDateTime At(int y, int m, int d, int h = 10, int mi = 7) {
  return QDateTime(QDate(y, m, d), QTime(h, mi));
}

struct StepCase {
  const char* name;
  QDateTime start;
  int recur;
  QList<QDateTime> next;  // the occurrences that follow, in order
};
void PrintTo(const StepCase& c, std::ostream* os) { *os << c.name; }

class RecurrenceSteps : public ::testing::TestWithParam<StepCase> {};

TEST_P(RecurrenceSteps, MovesOnOneOccurrenceAtATime) {
  const StepCase& c = GetParam();
  PopupReminder r;
  r.Recur = static_cast<Recurrence>(c.recur);
  r.DateTime = DateTimeToDays(c.start);
  for (const QDateTime& expected : c.next) {
    // "Now" is the occurrence itself, as when its popup is closed in its slot.
    MoveToNextOccurrence(r, r.DateTime);
    EXPECT_EQ(DaysToDateTime(r.DateTime), expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, RecurrenceSteps,
    ::testing::Values(
        StepCase{"Daily", At(2026, 3, 15), 1, {At(2026, 3, 16), At(2026, 3, 17)}},
        StepCase{"DailyOverMonthEnd", At(2026, 2, 28, 23, 58), 1, {At(2026, 3, 1, 23, 58)}},
        StepCase{"Weekly", At(2026, 3, 25), 2, {At(2026, 4, 1), At(2026, 4, 8)}},
        StepCase{
            "MonthlyKeepsThe31st",
            At(2026, 1, 31),
            3,
            {At(2026, 2, 28), At(2026, 3, 31), At(2026, 4, 30), At(2026, 5, 31), At(2026, 6, 30)}},
        StepCase{"MonthlyInALeapYear", At(2024, 1, 30), 3, {At(2024, 2, 29), At(2024, 3, 30)}},
        StepCase{"MonthlyOverTheYearEnd", At(2026, 12, 15, 8, 0), 3, {At(2027, 1, 15, 8, 0)}},
        StepCase{"YearlyFrom29February",
                 At(2024, 2, 29),
                 4,
                 {At(2025, 2, 28), At(2026, 2, 28), At(2027, 2, 28), At(2028, 2, 29)}},
        StepCase{"Yearly", At(2026, 3, 15, 0, 0), 4, {At(2027, 3, 15, 0, 0)}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Recurrence, ADateSetAnewOnAMonthEndBringsItsOwnDay) {
  // Cut short to 30 April, then moved by the user to 15 May: the 31st no longer counts.
  PopupReminder r;
  r.Recur = Recurrence::Monthly;
  r.DateTime = DateTimeToDays(At(2026, 3, 31));
  MoveToNextOccurrence(r, r.DateTime);
  ASSERT_EQ(DaysToDateTime(r.DateTime), At(2026, 4, 30));
  r.DateTime = DateTimeToDays(At(2026, 5, 15));
  MoveToNextOccurrence(r, r.DateTime);
  EXPECT_EQ(DaysToDateTime(r.DateTime), At(2026, 6, 15));
}

TEST(Recurrence, NonRecurringReminderNeverMoves) {
  for (int recur : {0, 5, -1}) {
    PopupReminder r;
    r.Recur = static_cast<Recurrence>(recur);
    r.DateTime = DateTimeToDays(At(2026, 3, 1));
    MoveToNextOccurrence(r, DateTimeToDays(At(2026, 3, 15)));
    EXPECT_EQ(DaysToDateTime(r.DateTime), At(2026, 3, 1)) << recur;
  }
}

TEST(Recurrence, SlotsAreFourMinutesOfOneHour) {
  EXPECT_EQ(ReminderSlot(DateTimeToDays(At(2026, 3, 15, 10, 4))),
            ReminderSlot(DateTimeToDays(QDateTime(QDate(2026, 3, 15), QTime(10, 7, 59, 999)))));
  EXPECT_EQ(ReminderSlot(DateTimeToDays(At(2026, 3, 15, 10, 3))) + 1,
            ReminderSlot(DateTimeToDays(At(2026, 3, 15, 10, 4))));
  // Before the epoch the slots keep their shape.
  EXPECT_EQ(ReminderSlot(-0.5) + 1, ReminderSlot(DateTimeToDays(At(1899, 12, 29, 12, 4))));
}
}  // namespace

namespace {
// Dates a damaged or hand-made file can hold: never moved on, left bit for bit as they were.
class UnusableDates : public ::testing::TestWithParam<double> {};

TEST_P(UnusableDates, NeverMoveOnAndComeBeforeEverySlot) {
  const double stored = GetParam();
  EXPECT_FALSE(IsUsableDate(stored));
  for (int recur = 1; recur <= 4; ++recur) {
    PopupReminder r;
    r.Recur = static_cast<Recurrence>(recur);
    r.DateTime = stored;
    MoveToNextOccurrence(r, DateTimeToDays(At(2026, 3, 15)));
    EXPECT_EQ(std::memcmp(&r.DateTime, &stored, sizeof stored), 0) << recur;
  }
  EXPECT_LT(ReminderSlot(stored), ReminderSlot(DateTimeToDays(At(100, 1, 1, 0, 0))));
}

INSTANTIATE_TEST_SUITE_P(Values, UnusableDates,
                         ::testing::Values(std::numeric_limits<double>::quiet_NaN(),
                                           std::numeric_limits<double>::infinity(),
                                           -std::numeric_limits<double>::infinity(), 1e300,
                                           -1e300, DateTimeToDays(At(99, 12, 31, 23, 59)),
                                           DateTimeToDays(At(10000, 1, 1, 0, 0))));

TEST(Recurrence, TheFirstAndLastUsableYearsAreDates) {
  EXPECT_TRUE(IsUsableDate(DateTimeToDays(At(100, 1, 1, 0, 0))));
  EXPECT_TRUE(IsUsableDate(DateTimeToDays(At(9999, 12, 31, 23, 59))));
}

TEST(Recurrence, AReminderLeftBehindForCenturiesLandsOnItsNextOccurrence) {
  struct {
    int recur;
    QDateTime start, expected;
  } cases[] = {{3, At(150, 1, 31), At(2026, 3, 31)},
               {4, At(1904, 2, 29), At(2027, 2, 28)},
               {1, At(200, 6, 1), At(2026, 3, 15)},
               {2, At(1900, 1, 1), At(2026, 3, 16)}};
  for (const auto& c : cases) {
    PopupReminder r;
    r.Recur = static_cast<Recurrence>(c.recur);
    r.DateTime = DateTimeToDays(c.start);
    MoveToNextOccurrence(r, DateTimeToDays(At(2026, 3, 15, 10, 0)));
    EXPECT_EQ(DaysToDateTime(r.DateTime), c.expected) << c.recur;
  }
}
}  // namespace
