#pragma once
// Where the calendar lies on a canvas, and the month arithmetic every style shares.
#include <QDate>
#include <QPoint>

// Today's local date, as the clock seam tells it.
QDate CalendarToday();
// The weekday as the drawers number it: 1 = Sunday ... 7 = Saturday.
int WeekdayOf(const QDate& date);
// Days in the month of the date, and how many of them fall in week column 7.
int DaysInMonthOf(const QDate& date);
int DaysInLastColumn(const QDate& date);
// The canvas position of the calendar's top-left corner: the position chosen on the
// miniature desktop, scaled to the canvas.
QPoint CalendarOrigin(int width, int height);
// Float to int, truncating toward zero; values out of int's range saturate, NaN is 0.
int TruncToInt(double v);
