#include "CalendarFixture.h"
#include "calendar/Names.h"

namespace {
struct ColumnCase {
  int firstWeekDay, dayOfWeek, column;
};

class WeekColumnTest : public CalendarTest, public ::testing::WithParamInterface<ColumnCase> {};

TEST_P(WeekColumnTest, PlacesTheWeekday) {
  Cal().FirstWeekDay = static_cast<WeekStart>(GetParam().firstWeekDay);
  EXPECT_EQ(WeekColumn(GetParam().dayOfWeek, Cal()), GetParam().column);
}

INSTANTIATE_TEST_SUITE_P(Days, WeekColumnTest,
                         ::testing::Values(ColumnCase{1, 1, 7}, ColumnCase{1, 2, 1},
                                           ColumnCase{1, 7, 6}, ColumnCase{0, 1, 1},
                                           ColumnCase{0, 2, 2}, ColumnCase{0, 7, 7}));

TEST_F(CalendarTest, EnglishDayNamesFollowTheFirstDayOfTheWeek) {
  QStringList monday, sunday;
  for (int c = 1; c <= 7; ++c) monday << DayName(c, Cal());
  Cal().FirstWeekDay = WeekStart::Sunday;
  for (int c = 1; c <= 7; ++c) sunday << DayName(c, Cal());
  EXPECT_EQ(monday.join(' '), "Mo Tu We Th Fr Sa Su");
  EXPECT_EQ(sunday.join(' '), "Su Mo Tu We Th Fr Sa");
  EXPECT_EQ(DayName(0, Cal()), "");
  EXPECT_EQ(DayName(8, Cal()), "");
}

TEST_F(CalendarTest, EnglishTitleHasTwoSpacesBeforeTheYear) {
  EXPECT_EQ(MonthTitle(QDate(2003, 6, 1), Cal()), "June  2003");
  EXPECT_EQ(MonthTitle(QDate(2026, 9, 30), Cal()), "September  2026");
  EXPECT_EQ(MonthName(QDate(2026, 12, 1), Cal()), "December");
}

TEST_F(CalendarTest, LocalNamesComeFromTheLocaleCutToTwoCharacters) {
  Cal().Language = CalendarLanguage::Local;
  const QLocale french(QLocale::French, QLocale::France);
  SetCalendarLocale(french);
  // The French short names ("lun.", "dim.") are longer than two characters.
  ASSERT_GT(french.dayName(1, QLocale::ShortFormat).size(), 2);
  EXPECT_EQ(DayName(1, Cal()), french.dayName(1, QLocale::ShortFormat).left(2));  // Monday
  EXPECT_EQ(DayName(7, Cal()), french.dayName(7, QLocale::ShortFormat).left(2));  // Sunday
  Cal().FirstWeekDay = WeekStart::Sunday;
  EXPECT_EQ(DayName(1, Cal()), french.dayName(7, QLocale::ShortFormat).left(2));
  EXPECT_EQ(MonthTitle(QDate(2003, 6, 1), Cal()), french.standaloneMonthName(6) + "  2003");
  EXPECT_NE(MonthName(QDate(2003, 6, 1), Cal()), "June");
}
}  // namespace
