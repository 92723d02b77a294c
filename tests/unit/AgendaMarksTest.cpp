// The agenda on the calendar: which days get a mark in which colours, the list under the
// month, and the marks drawn after the colour dots in every style.
#include <gtest/gtest.h>

#include <algorithm>

#include "agenda/AgendaViewBuilder.h"
#include "calendar/Marks.h"
#include "calendar/Render.h"
#include "platform/DateTime.h"
#include "unit/CalendarFixture.h"

namespace {

const QTimeZone kZone("Europe/Berlin");

AgendaEvent Timed(const char* summary, QDateTime start, int minutes) {
  AgendaEvent e;
  e.summary = QString::fromLatin1(summary);
  e.start = start;
  e.end = start.addSecs(minutes * 60);
  e.firstDay = start.date();
  e.lastDay = (minutes > 0 ? e.end.addSecs(-1) : e.end).date();
  return e;
}

AgendaEvent AllDay(const char* summary, QDate first, QDate last) {
  AgendaEvent e;
  e.summary = QString::fromLatin1(summary);
  e.allDay = true;
  e.firstDay = first;
  e.lastDay = last;
  e.start = QDateTime(first, QTime(0, 0), kZone);
  e.end = QDateTime(last.addDays(1), QTime(0, 0), kZone);
  return e;
}

QList<uint32_t> MarksOn(const AgendaView& v, QDate d) { return v.marks.value(DateToDayNumber(d)); }

TEST(AgendaView, OneMarkPerCalendarPerDayInCalendarOrderWithinTheMonth) {
  const QDateTime now(QDate(2026, 3, 5), QTime(12, 0), kZone);
  const QList<CalendarEvents> calendars = {
      {0x0000FF,
       {Timed("a", QDateTime(QDate(2026, 3, 10), QTime(9, 0), kZone), 30),
        Timed("b", QDateTime(QDate(2026, 3, 10), QTime(15, 0), kZone), 30),
        AllDay("trip", QDate(2026, 2, 27), QDate(2026, 3, 2))}},
      {0x00FF00,
       {Timed("c", QDateTime(QDate(2026, 3, 10), QTime(11, 0), kZone), 30),
        AllDay("next month", QDate(2026, 3, 31), QDate(2026, 4, 2))}},
  };
  const AgendaView v = BuildAgendaView(calendars, now, false, 7);
  EXPECT_EQ(MarksOn(v, QDate(2026, 3, 10)), (QList<uint32_t>{0x0000FF, 0x00FF00}));
  EXPECT_EQ(MarksOn(v, QDate(2026, 3, 1)), QList<uint32_t>{0x0000FF});
  EXPECT_EQ(MarksOn(v, QDate(2026, 3, 2)), QList<uint32_t>{0x0000FF});
  EXPECT_EQ(MarksOn(v, QDate(2026, 3, 31)), QList<uint32_t>{0x00FF00});
  EXPECT_TRUE(MarksOn(v, QDate(2026, 2, 28)).isEmpty());  // another month is not shown
  EXPECT_TRUE(MarksOn(v, QDate(2026, 4, 1)).isEmpty());
  EXPECT_EQ(v.marks.size(), 4);
  EXPECT_TRUE(v.lines.isEmpty());  // no list asked for
}

TEST(AgendaView, ListHoldsEventsNotOverWithinTheComingDays) {
  const QDateTime now(QDate(2026, 3, 10), QTime(12, 0), kZone);
  const QList<CalendarEvents> calendars = {
      {0x0000FF,
       {Timed("over", QDateTime(QDate(2026, 3, 10), QTime(9, 0), kZone), 60),
        Timed("running", QDateTime(QDate(2026, 3, 9), QTime(20, 0), kZone), 24 * 60),
        Timed("later today", QDateTime(QDate(2026, 3, 10), QTime(15, 30), kZone), 60),
        Timed("too far", QDateTime(QDate(2026, 3, 13), QTime(9, 0), kZone), 60)}},
      {0x00FF00, {AllDay("holiday", QDate(2026, 3, 12), QDate(2026, 3, 12))}},
  };
  const AgendaView v = BuildAgendaView(calendars, now, true, 3);
  ASSERT_EQ(v.lines.size(), 3);
  EXPECT_EQ(v.lines[0], (AgendaListLine{QDate(2026, 3, 10), QString(), "running", 0x0000FF}));
  EXPECT_EQ(v.lines[1], (AgendaListLine{QDate(2026, 3, 10), "15:30", "later today", 0x0000FF}));
  EXPECT_EQ(v.lines[2], (AgendaListLine{QDate(2026, 3, 12), QString(), "holiday", 0x00FF00}));
}

// Every style draws a day's agenda marks after its colour dots, the same size, one per
// calendar, side by side.
class AgendaMarksDrawn : public CalendarTest, public testing::WithParamInterface<int> {};

TEST_P(AgendaMarksDrawn, AfterTheDotsSideBySide) {
  SetToday(QDate(2026, 3, 5));
  Cal().Style = static_cast<CalendarStyle>(GetParam());
  Cal().DrawTextShadow = false;
  Cal().ColorDayNumbers = 0xFFFFFF;
  const QDate day(2026, 3, 18);
  fakes.config.ColorRemConfig.ColorReminders = {
      ColorReminder{DateToDayNumber(day), DotColor::Green}};
  constexpr Color kFirst = 0xFF0000, kSecond = 0xFF00FF;                           // blue, magenta
  fakes.config.DynamicConfig.Agenda.marks[DateToDayNumber(day)] = {kFirst, kSecond};
  QImage canvas = GreyCanvas();
  DrawCalendar(canvas, 1024, 768, fakes.config, CalendarToday(fakes.clock));

  const auto centreX = [&](QRgb colour) {
    const QList<QPoint> pts = PixelsOf(canvas, colour);
    if (pts.isEmpty()) return -1.0;
    double sum = 0;
    for (const QPoint& p : pts) sum += p.x();
    return sum / pts.size();
  };
  const double green = centreX(RgbOf(DotColors[2]));
  const double first = centreX(RgbOf(kFirst));
  const double second = centreX(RgbOf(kSecond));
  ASSERT_GT(green, 0);
  ASSERT_GT(first, 0);
  ASSERT_GT(second, 0);
  EXPECT_LT(green, first);
  EXPECT_LT(first, second);
  // The same size as a dot.
  const qsizetype dot = PixelsOf(canvas, RgbOf(DotColors[2])).size();
  EXPECT_NEAR(double(PixelsOf(canvas, RgbOf(kFirst)).size()), double(dot), dot * 0.25);
}

INSTANTIATE_TEST_SUITE_P(Styles, AgendaMarksDrawn, testing::Values(0, 1, 2), [](const auto& info) {
  return std::string(info.param == 0 ? "Classic" : info.param == 1 ? "Vertical" : "Horizontal");
});

TEST_F(CalendarTest, AgendaListIsDrawnUnderTheMonthInItsColours) {
  SetToday(QDate(2026, 3, 5));
  Cal().DrawTextShadow = false;
  constexpr Color kMark = 0xFF00FF;
  fakes.config.DynamicConfig.Agenda.lines = {AgendaListLine{QDate(2026, 3, 5), "09:00", "Dentist", kMark}};
  QImage canvas = GreyCanvas();
  DrawCalendar(canvas, 1024, 768, fakes.config, CalendarToday(fakes.clock));
  const CalendarBox box = CalendarRect(1024, 768, fakes.config, CalendarToday(fakes.clock));
  const QList<QPoint> mark = PixelsOf(canvas, RgbOf(kMark));
  ASSERT_FALSE(mark.isEmpty());
  for (const QPoint& p : mark) EXPECT_GE(p.y(), box.bottom);
  // Text in the day numbers' colour beside the mark.
  int text = 0;
  for (const QPoint& p : PixelsOf(canvas, RgbOf(Cal().ColorDayNumbers)))
    text += p.y() >= box.bottom;
  EXPECT_GT(text, 20);
}

}  // namespace
