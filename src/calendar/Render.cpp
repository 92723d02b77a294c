#include "calendar/Render.h"

// The calendar renderer fills these in.
CalendarBox CalendarRect(int width, int height) {
  (void)width;
  (void)height;
  return CalendarBox{};
}

void DrawCalendar(QImage& canvas, int width, int height) {
  (void)canvas;
  (void)width;
  (void)height;
}
