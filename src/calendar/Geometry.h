#pragma once
// Where the calendar lies on a canvas, and the month arithmetic every style shares.
#include <QDate>
#include <QPoint>
#include <QRect>
#include <QSize>

struct CalendarConfigT;

// The calendar's rectangle on a canvas (left/top inside, right/bottom outside) and the
// style's cell size. Empty (all zero) when no style applies.
struct CalendarBox {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int cell = 0;
  bool isEmpty() const { return right <= left || bottom <= top; }
};

class IClock;

// Today's local date, as the clock tells it.
QDate CalendarToday(const IClock& clock);
// The weekday as the drawers number it: 1 = Sunday ... 7 = Saturday.
int WeekdayOf(const QDate& date);
// Days in the month of the date, and how many of them fall in week column 7.
int DaysInMonthOf(const QDate& date);
int DaysInLastColumn(const QDate& date, const CalendarConfigT& k);
// The canvas position of the calendar's top-left corner: the position chosen on the
// miniature desktop (of size desktopBox), scaled to the canvas.
QPoint CalendarOrigin(int width, int height, const CalendarConfigT& k, QSize desktopBox);
// The calendar's rectangle on a width x height canvas in the month of `today`, for the
// style, size and position in k.
CalendarBox CalendarRect(int width, int height, const CalendarConfigT& k, QSize desktopBox,
                         const QDate& today);
// Moves the calendar's position (as little as it takes) so that on a screen of that size its
// rectangle lies inside the area panels leave free, where it fits there at all.
void KeepCalendarInside(CalendarConfigT& k, QSize screen, QSize desktopBox, const QRect& area,
                        const QDate& today);
// Float to int, truncating toward zero; values out of int's range saturate, NaN is 0.
int TruncToInt(double v);
