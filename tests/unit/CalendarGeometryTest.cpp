#include <climits>

#include "CalendarFixture.h"
#include "calendar/Geometry.h"
#include "calendar/Marks.h"
#include "calendar/Render.h"

namespace {
struct OriginCase {
  const char* name;
  int posX, posY, boxW, boxH, width, height;
  QPoint expected;
};

class CalendarOriginTest : public CalendarTest, public ::testing::WithParamInterface<OriginCase> {};

TEST_P(CalendarOriginTest, ScalesTheMiniaturePositionToTheCanvas) {
  const OriginCase& c = GetParam();
  Cal().PosX = c.posX;
  Cal().PosY = c.posY;
  EXPECT_EQ(CalendarOrigin(c.width, c.height, Cal(), QSize(c.boxW, c.boxH)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Positions, CalendarOriginTest,
    ::testing::Values(OriginCase{"Landscape", 120, 5, 187, 140, 1024, 768, QPoint(657, 27)},
                      OriginCase{"Preview", 120, 5, 187, 140, 640, 480, QPoint(410, 17)},
                      OriginCase{"Portrait", 120, 5, 140, 187, 768, 1024, QPoint(658, 27)},
                      OriginCase{"Corner", 0, 0, 187, 140, 1024, 768, QPoint(0, 0)},
                      OriginCase{"NoMiniature", 120, 5, 0, 0, 1024, 768, QPoint(0, 0)},
                      OriginCase{"NoCanvas", 120, 5, 187, 140, 0, 0, QPoint(0, 0)}),
    [](const auto& info) { return std::string(info.param.name); });

// The first-run place keeps the calendar off the panels: as little moved as it takes, not at
// all where nothing is in the way.
struct InsideCase {
  const char* name;
  QSize screen;
  QRect area;
  int style;
  bool moves;
};

class KeepInsideTest : public CalendarTest, public ::testing::WithParamInterface<InsideCase> {};

TEST_P(KeepInsideTest, TheFirstPlaceLiesInsideTheFreeArea) {
  const InsideCase& c = GetParam();
  fakes.config = Config(c.screen);
  Cal().Style = static_cast<CalendarStyle>(c.style);
  const QSize box(fakes.config.DynamicConfig.DesktopBoxWidth,
                  fakes.config.DynamicConfig.DesktopBoxHeight);
  const QDate today(2026, 3, 15);
  const CalendarBox before = CalendarRect(c.screen.width(), c.screen.height(), Cal(), box, today);
  KeepCalendarInside(Cal(), c.screen, box, c.area, today);
  const CalendarBox after = CalendarRect(c.screen.width(), c.screen.height(), Cal(), box, today);
  EXPECT_GE(after.left, c.area.left());
  EXPECT_GE(after.top, c.area.top());
  EXPECT_LE(after.right, c.area.left() + c.area.width());
  EXPECT_LE(after.bottom, c.area.top() + c.area.height());
  EXPECT_EQ(after.right - after.left, before.right - before.left);
  EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
  EXPECT_EQ(after.left != before.left || after.top != before.top, c.moves);
  if (!c.moves) return;
  // As little as it takes: one step of the miniature back would be in the way again.
  const float scale = static_cast<float>(c.screen.height()) / static_cast<float>(box.height());
  if (before.top < c.area.top()) EXPECT_LT(after.top - c.area.top(), scale + 1);
  if (before.right > c.area.right() + 1)
    EXPECT_LT(c.area.right() + 1 - after.right, static_cast<int>(scale) + 2);
}

INSTANTIATE_TEST_SUITE_P(
    Panels, KeepInsideTest,
    ::testing::Values(
        InsideCase{"NoPanel", QSize(1280, 720), QRect(0, 0, 1280, 720), 0, false},
        InsideCase{"BottomPanel", QSize(1280, 720), QRect(0, 0, 1280, 690), 0, false},
        InsideCase{"TopBar", QSize(1280, 720), QRect(0, 34, 1280, 686), 0, true},
        InsideCase{"TopBarVertical", QSize(1280, 720), QRect(0, 34, 1280, 686), 1, true},
        InsideCase{"TopBarScaled", QSize(2560, 1440), QRect(0, 68, 2560, 1372), 2, true},
        InsideCase{"RightDock", QSize(1024, 768), QRect(0, 0, 850, 768), 0, true},
        InsideCase{"PortraitTopBar", QSize(768, 1024), QRect(0, 40, 768, 984), 0, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct RectCase {
  const char* name;
  int style, size, firstWeekDay;
  QDate today;
  int width, height;
  CalendarBox expected;  // all zero: empty
};

class CalendarRectTest : public CalendarTest, public ::testing::WithParamInterface<RectCase> {};

TEST_P(CalendarRectTest, FollowsTheStyleRule) {
  const RectCase& c = GetParam();
  Cal().Style = static_cast<CalendarStyle>(c.style);
  Cal().Size = c.size;
  Cal().FirstWeekDay = static_cast<WeekStart>(c.firstWeekDay);
  SetToday(c.today);
  const CalendarBox r = CalendarRect(c.width, c.height, fakes.config, CalendarToday(fakes.clock));
  EXPECT_EQ(r.left, c.expected.left);
  EXPECT_EQ(r.top, c.expected.top);
  EXPECT_EQ(r.right, c.expected.right);
  EXPECT_EQ(r.bottom, c.expected.bottom);
  EXPECT_EQ(r.cell, c.expected.cell);
}

// Origin (657, 27) on 1024 x 768 with the first-run position 120, 5.
INSTANTIATE_TEST_SUITE_P(
    Styles, CalendarRectTest,
    ::testing::Values(
        // March 2026 starts on a Sunday: with Monday first, five Sundays in column 7.
        RectCase{"ClassicFiveInLastColumn",
                 0,
                 50,
                 1,
                 QDate(2026, 3, 18),
                 1024,
                 768,
                 {657, 27, 887, 283, 32}},
        // With Sunday first the same month has four Saturdays in column 7.
        RectCase{
            "ClassicSundayFirst", 0, 50, 0, QDate(2026, 3, 18), 1024, 768, {657, 27, 887, 251, 32}},
        // February 2021: 28 days from a Monday, four full weeks and an empty last row.
        RectCase{"ClassicCommonFebruary",
                 0,
                 50,
                 1,
                 QDate(2021, 2, 10),
                 1024,
                 768,
                 {657, 27, 887, 251, 32}},
        RectCase{
            "ClassicFullSize", 0, 100, 1, QDate(2026, 3, 1), 1024, 768, {657, 27, 1117, 547, 65}},
        RectCase{"ClassicTinyCells", 0, 5, 1, QDate(2026, 3, 1), 1024, 768, {657, 27, 680, 51, 3}},
        RectCase{"Vertical", 1, 50, 1, QDate(2026, 3, 18), 1024, 768, {657, 27, 792, 405, 27}},
        RectCase{
            "VerticalPreview", 1, 50, 1, QDate(2026, 3, 18), 640, 480, {410, 17, 495, 255, 17}},
        RectCase{"HorizontalThirtyDays",
                 2,
                 50,
                 1,
                 QDate(2026, 4, 9),
                 1024,
                 768,
                 {657, 27, 1167, 78, 17}},
        RectCase{"HorizontalLeapFebruary",
                 2,
                 50,
                 1,
                 QDate(2024, 2, 29),
                 1024,
                 768,
                 {657, 27, 1150, 78, 17}},
        RectCase{"HorizontalCommonFebruary",
                 2,
                 50,
                 1,
                 QDate(2023, 2, 1),
                 1024,
                 768,
                 {657, 27, 1161, 81, 18}},
        RectCase{"UnknownStyle", 3, 50, 1, QDate(2026, 3, 18), 1024, 768, {}},
        RectCase{"NegativeStyle", -1, 50, 1, QDate(2026, 3, 18), 1024, 768, {}},
        RectCase{"ZeroSize", 0, 0, 1, QDate(2026, 3, 18), 1024, 768, {}},
        RectCase{"NegativeSize", 1, -50, 1, QDate(2026, 3, 18), 1024, 768, {}},
        RectCase{"AbsurdSize", 2, INT_MAX, 1, QDate(2026, 3, 18), 1024, 768, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CalendarTest, RectangleIsEmptyExactlyWhenNoStyleApplies) {
  Cal().Style = static_cast<CalendarStyle>(3);
  EXPECT_TRUE(CalendarRect(1024, 768, fakes.config, CalendarToday(fakes.clock)).isEmpty());
  Cal().Style = CalendarStyle::Classic;
  EXPECT_FALSE(CalendarRect(1024, 768, fakes.config, CalendarToday(fakes.clock)).isEmpty());
}

TEST_F(CalendarTest, ClassicHeightFollowsTheWeekRowsOfTodaysMonth) {
  // Same settings, different months: May 2026 ends on a Sunday (one spare row), February
  // 2021 fills exactly four weeks.
  SetToday(QDate(2026, 5, 20));
  const int may = CalendarRect(1024, 768, fakes.config, CalendarToday(fakes.clock)).bottom -
                  CalendarRect(1024, 768, fakes.config, CalendarToday(fakes.clock)).top;
  SetToday(QDate(2021, 2, 20));
  const int february = CalendarRect(1024, 768, fakes.config, CalendarToday(fakes.clock)).bottom -
                       CalendarRect(1024, 768, fakes.config, CalendarToday(fakes.clock)).top;
  EXPECT_EQ(may, 8 * 32);
  EXPECT_EQ(february, 7 * 32);
}

TEST_F(CalendarTest, MonthArithmetic) {
  EXPECT_EQ(DaysInMonthOf(QDate(2024, 2, 10)), 29);
  EXPECT_EQ(DaysInMonthOf(QDate(2100, 2, 10)), 28);
  EXPECT_EQ(DaysInMonthOf(QDate(2026, 12, 31)), 31);
  EXPECT_EQ(WeekdayOf(QDate(2026, 3, 1)), 1);  // a Sunday
  EXPECT_EQ(WeekdayOf(QDate(2026, 3, 7)), 7);  // a Saturday
}

TEST_F(CalendarTest, OperationsReadTheSettingsTheyAreGivenNotTheGlobalRecord) {
  // The global record says Horizontal on Sundays; the page's own copy says Classic on Mondays.
  Cal().Style = CalendarStyle::Horizontal;
  Cal().FirstWeekDay = WeekStart::Sunday;
  CalendarConfigT mine;
  mine.Style = CalendarStyle::Classic;
  mine.FirstWeekDay = WeekStart::Monday;
  mine.PosX = 0;
  mine.PosY = 0;
  // August 2026 has five Sundays, the last column of weeks that start on Monday.
  const CalendarBox r = CalendarRect(1024, 768, mine, QSize(187, 140), QDate(2026, 8, 10));
  EXPECT_EQ(r.cell, 32);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.bottom - r.top, (5 + 3) * 32);
  EXPECT_EQ(WeekColumn(1, mine), 7);
  EXPECT_EQ(DayName(1, mine), "Mo");
  QList<ColorReminder> marks{{37987, DotColor::Green}};
  EXPECT_TRUE(HasColorReminder(marks, 37987, DotColor::Green));
  EXPECT_FALSE(HasColorReminder(marks, 37987, DotColor::Red));
  EXPECT_FALSE(
      HasColorReminder(fakes.config.ColorRemConfig.ColorReminders, 37987, DotColor::Green));
}
}  // namespace
