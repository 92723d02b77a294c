#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "platform/DateTime.h"
#include "reminders/SHLCalendar.h"
#include "settings/Config.h"
#include "support/Fakes.h"

namespace {
// The grid at the colour-dot page's size, today 15 March 2003 (a Saturday).
class SHLCalendarTest : public ::testing::Test {
 protected:
  SHLCalendarTest() {
    fake.clock.now = QDateTime(QDate(2003, 3, 15), QTime(9, 30));
    grid = std::make_unique<SHLCalendar>(config, fake.clock);
    grid->resize(263, 302);
  }
  // The point at the middle of a day's box, as the grid lays it out.
  void Show(const QDate& month) {
    grid->SetToday();
    while (grid->DisplayedDate().year() * 12 + grid->DisplayedDate().month() <
           month.year() * 12 + month.month())
      grid->NextMonth();
  }
  FakeServices fake;
  Config config;
  std::unique_ptr<SHLCalendar> grid;
};

TEST_F(SHLCalendarTest, ASixRowMonthEndsAt296OnTheDesignedSize) {
  // March 2026 starts on a Sunday: with weeks from Monday the 1st is alone in its row and the
  // 30th and 31st fill a sixth; the cell is 263 / 7 = 37, the rows start at 74.
  Show(QDate(2026, 3, 1));
  EXPECT_EQ(grid->LayoutMonth(nullptr, 37 + 18, 295), QDate(2026, 3, 31));
  EXPECT_EQ(grid->LayoutMonth(nullptr, 37 + 18, 296), std::nullopt);
  EXPECT_EQ(grid->LayoutMonth(nullptr, 6 * 37 + 18, 74 + 18), QDate(2026, 3, 1));
  EXPECT_EQ(grid->LayoutMonth(nullptr, 6 * 37 + 18, 74), std::nullopt);  // on the top line
}

TEST_F(SHLCalendarTest, TwelveNextMonthsShowTheSameMonthAYearOnWithTheFirstSelected) {
  for (int i = 0; i < 12; ++i) grid->NextMonth();
  EXPECT_EQ(grid->DisplayedDate(), QDate(2004, 3, 1));
  EXPECT_EQ(grid->SelectedDate(), QDate(2004, 3, 1));
  Show(QDate(2004, 1, 1));
  grid->PrevMonth();
  EXPECT_EQ(grid->DisplayedDate(), QDate(2003, 12, 1));
  EXPECT_EQ(grid->SelectedDay(), DateToDayNumber(QDate(2003, 12, 1)));
}

TEST_F(SHLCalendarTest, AClickOnAGridLineSelectsNothingButStillReports) {
  // March 2003: Saturday the 1st in column 5, so the 3rd (a Monday) opens the second row.
  QSignalSpy down(grid.get(), &SHLCalendar::mouseDown);
  QTest::mouseClick(grid.get(), Qt::LeftButton, {}, QPoint(37, 74 + 37 + 10));
  EXPECT_EQ(grid->SelectedDate(), QDate(2003, 3, 15));
  EXPECT_EQ(down.count(), 1);
  QTest::mouseClick(grid.get(), Qt::LeftButton, {}, QPoint(37 + 1, 74 + 37 + 10));
  EXPECT_EQ(grid->SelectedDate(), QDate(2003, 3, 4));
  EXPECT_EQ(down.count(), 2);
}

TEST_F(SHLCalendarTest, TheKeyboardMovesTheSelectionAcrossMonths) {
  QSignalSpy moved(grid.get(), &SHLCalendar::selectionMoved);
  QTest::keyClick(grid.get(), Qt::Key_Down);
  QTest::keyClick(grid.get(), Qt::Key_Down);
  QTest::keyClick(grid.get(), Qt::Key_Down);
  EXPECT_EQ(grid->SelectedDate(), QDate(2003, 4, 5));
  EXPECT_EQ(grid->DisplayedDate().month(), 4);
  EXPECT_EQ(moved.count(), 3);
}

// Where a colour is painted inside a box of the rendered grid: the mean column, or -1.
double MeanX(const QImage& img, QRgb colour, QRect box) {
  double sum = 0;
  int n = 0;
  for (int y = box.top(); y <= box.bottom(); ++y)
    for (int x = box.left(); x <= box.right(); ++x)
      if ((img.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) sum += x, ++n;
  return n ? sum / n : -1;
}

TEST_F(SHLCalendarTest, PaintsDotsYellowBeforeGreenAndOutlinesTheSelection) {
  const int day = DateToDayNumber(QDate(2003, 3, 20));  // Thursday, column 3, row 3
  config.ColorRemConfig.ColorReminders = {{day, DotColor::Green}, {day, DotColor::Yellow}};
  const QImage img = grid->Render();
  const QRect box(3 * 37, 74 + 3 * 37, 37, 37);
  const double yellow = MeanX(img, qRgb(255, 255, 0), box);
  const double green = MeanX(img, qRgb(0, 128, 0), box);
  ASSERT_GT(yellow, 0);
  ASSERT_GT(green, 0);
  EXPECT_LT(yellow, green);
  EXPECT_EQ(MeanX(img, qRgb(255, 0, 0), box), -1);  // no red set
  // The selection (the 15th, Saturday: column 5, row 2) is outlined in navy.
  EXPECT_EQ(img.pixel(5 * 37, 74 + 2 * 37 + 5) & 0xFFFFFF, 0x000080u);
  EXPECT_EQ(img.pixel(6 * 37 - 1, 74 + 2 * 37 + 5) & 0xFFFFFF, 0x000080u);
}
}  // namespace
