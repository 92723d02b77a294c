#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QRadioButton>
#include <QTest>

#include "pages/TFrameCalendarStyle.h"
#include "settings/Config.h"
#include "support/Fakes.h"
#include "widgets/MiniatureDesktop.h"

namespace {
// A 1024 x 768 screen (a 187 x 140 miniature) in March 2026, whose five Sundays fill the
// last column of weeks that start on Monday.
class CalendarStylePageTest : public ::testing::Test {
 protected:
  CalendarStylePageTest() : config(QSize(1024, 768)) {
    fake.clock.now = QDateTime(QDate(2026, 3, 18), QTime(12, 0));
    page = std::make_unique<TFrameCalendarStyle>(config, fake.services);
    page->LoadFromConfig();
  }
  QSize Marker() const { return page->Panel_Position->size(); }
  QPoint At() const { return page->Panel_Position->pos(); }
  void Drag(QPoint from, QPoint to) {
    QWidget* m = page->Panel_Position;
    QMouseEvent press(QEvent::MouseButtonPress, from, m->mapToGlobal(from), Qt::LeftButton,
                      Qt::LeftButton, {});
    QApplication::sendEvent(m, &press);
    QMouseEvent move(QEvent::MouseMove, to, m->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(m, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, to, m->mapToGlobal(to), Qt::LeftButton,
                        Qt::NoButton, {});
    QApplication::sendEvent(m, &release);
  }
  FakeServices fake;
  Config config;
  std::unique_ptr<TFrameCalendarStyle> page;
};

TEST_F(CalendarStylePageTest, TheMarkerIsTheCalendarAtTheMiniaturesScale) {
  // 230 x 256 on the screen, times 187 / 1024.
  EXPECT_EQ(page->ui.Panel_Desktop->size(), QSize(187, 140));
  EXPECT_EQ(Marker(), QSize(42, 46));
  EXPECT_EQ(At(), QPoint(120, 5));
  // One week row fewer, one cell lower: February 2026 has four Sundays.
  fake.clock.now = QDateTime(QDate(2026, 2, 3), QTime(12, 0));
  page->FitPositionMarker();
  EXPECT_EQ(Marker(), QSize(42, 40));
}

TEST_F(CalendarStylePageTest, StyleAndSizeWriteAtOnceAndRefitTheMarker) {
  page->ui.RG_Style->findChildren<QRadioButton*>().at(2)->click();
  EXPECT_EQ(config.CalendarConfig.Style, CalendarStyle::Horizontal);
  // Horizontal: a 31-day strip 16 pixels a cell, 496 x 48 on the screen.
  EXPECT_EQ(Marker(), QSize(90, 8));
  EXPECT_EQ(config.CalendarConfig.PosX, 187 - 90);  // pulled back from past the right edge
  page->ui.Track_Size->setValue(100);
  EXPECT_EQ(config.CalendarConfig.Size, 100);
  EXPECT_EQ(Marker().width(), 186);  // 31 cells of 33
  EXPECT_EQ(config.CalendarConfig.PosX, 1);
  EXPECT_EQ(At().x(), 1);
}

struct EdgeCase {
  const char* name;
  QPoint drag;  // how far the marker is dragged
  int key;      // then this arrow key, at the edge
  QPoint expected;
};

class MarkerEdgeTest : public CalendarStylePageTest,
                       public ::testing::WithParamInterface<EdgeCase> {};

TEST_P(MarkerEdgeTest, StaysInsideTheMiniature) {
  const EdgeCase& c = GetParam();
  Drag(QPoint(5, 5), QPoint(5, 5) + c.drag);
  QTest::keyClick(page->Panel_Position, static_cast<Qt::Key>(c.key));
  EXPECT_EQ(At(), c.expected);
  EXPECT_EQ(QPoint(config.CalendarConfig.PosX, config.CalendarConfig.PosY), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, MarkerEdgeTest,
    ::testing::Values(EdgeCase{"Left", QPoint(-500, 0), Qt::Key_Left, QPoint(0, 5)},
                      EdgeCase{"Top", QPoint(0, -500), Qt::Key_Up, QPoint(120, 0)},
                      EdgeCase{"Right", QPoint(500, 0), Qt::Key_Right, QPoint(187 - 42, 5)},
                      EdgeCase{"Bottom", QPoint(0, 500), Qt::Key_Down, QPoint(120, 140 - 46)},
                      EdgeCase{"Inside", QPoint(-20, 30), Qt::Key_Right, QPoint(101, 35)}),
    [](const auto& info) { return std::string(info.param.name); });

// A calendar placed against the bottom or right edge in a month that fits it, then a start in
// a month whose calendar is larger: the marker is pulled inside, the stored place stays.
struct StartCase {
  const char* name;
  int style;
  QDate placed, started;
  QPoint stored;  // against the edge in the month it was placed in
  QPoint shown;   // in the month of the start
};
void PrintTo(const StartCase& c, std::ostream* os) { *os << c.name; }

class StartInALargerMonth : public CalendarStylePageTest,
                            public ::testing::WithParamInterface<StartCase> {};

TEST_P(StartInALargerMonth, KeepsTheStoredPosition) {
  const StartCase& c = GetParam();
  config.CalendarConfig.Style = static_cast<CalendarStyle>(c.style);
  config.CalendarConfig.PosX = c.stored.x();
  config.CalendarConfig.PosY = c.stored.y();
  fake.clock.now = QDateTime(c.placed, QTime(12, 0));
  page->LoadFromConfig();
  ASSERT_EQ(At(), c.stored) << "placed against the edge, inside";
  fake.clock.now = QDateTime(c.started, QTime(12, 0));
  page->LoadFromConfig();
  EXPECT_EQ(At(), c.shown);
  EXPECT_EQ(QPoint(config.CalendarConfig.PosX, config.CalendarConfig.PosY), c.stored);
  // The next start in a month that fits it finds it where the user put it.
  fake.clock.now = QDateTime(c.placed, QTime(12, 0));
  page->LoadFromConfig();
  EXPECT_EQ(At(), c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, StartInALargerMonth,
    ::testing::Values(
        // Four Sundays in April 2026, 42 x 40; five in March, 42 x 46.
        StartCase{"ClassicBottomRight", 0, QDate(2026, 4, 8), QDate(2026, 3, 18),
                  QPoint(145, 100), QPoint(145, 94)},
        // 31 cells of 16 pixels in March, 90 wide; 30 of 17 in April, 93 wide.
        StartCase{"HorizontalRight", 2, QDate(2026, 3, 18), QDate(2026, 4, 8), QPoint(97, 60),
                  QPoint(94, 60)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ClampMarkerTest, AMarkerLargerThanTheDesktopSitsAtItsCorner) {
  EXPECT_EQ(ClampMarker(QPoint(30, 40), QSize(200, 150), QSize(187, 140)), QPoint(0, 0));
  EXPECT_EQ(ClampMarker(QPoint(-3, -4), QSize(10, 10), QSize(187, 140)), QPoint(0, 0));
}
}  // namespace
