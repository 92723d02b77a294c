#pragma once
#include <QImage>

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

CalendarBox CalendarRect(int width, int height);
// Draws this month's calendar onto the canvas (width x height) in the configured style.
void DrawCalendar(QImage& canvas, int width, int height);
