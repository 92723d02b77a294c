#include <gtest/gtest.h>

#include "platform/DateTime.h"

struct DateCase {
  QDateTime when;
  double days;
};

class DateTimeConversion : public ::testing::TestWithParam<DateCase> {};

TEST_P(DateTimeConversion, RoundTrips) {
  const DateCase& c = GetParam();
  EXPECT_DOUBLE_EQ(DateTimeToDays(c.when), c.days);
  EXPECT_EQ(DaysToDateTime(c.days), c.when);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, DateTimeConversion,
    ::testing::Values(DateCase{QDateTime(QDate(1899, 12, 30), QTime(0, 0)), 0.0},
                      DateCase{QDateTime(QDate(2003, 12, 31), QTime(12, 0)), 37986.5},
                      DateCase{QDateTime(QDate(1900, 1, 1), QTime(18, 0)), 2.75},
                      DateCase{QDateTime(QDate(2026, 12, 9), QTime(6, 0)), 46365.25}));

TEST(DateTime, DayNumberDropsTheTime) {
  EXPECT_EQ(DayNumber(37986.99), 37986);
  EXPECT_EQ(DateToDayNumber(QDate(2003, 12, 31)), 37986);
  EXPECT_EQ(DayNumberToDate(37986), QDate(2003, 12, 31));
}
