// One strip: the title over a cell per day, each with its own day name above its number.
#include <algorithm>
#include <cstdlib>

#include "calendar/Geometry.h"
#include "calendar/Marks.h"
#include "calendar/Names.h"
#include "calendar/Render.h"
#include "calendar/Styles.h"

void DrawHorizontal(const StyleContext& ctx) {
  GdiCanvas& dc = ctx.dc;
  const CalendarBox& r = ctx.r;
  const CalendarConfigT& k = ctx.k;
  const int cell = r.cell;
  const QDate today = ctx.today;
  const QFont large = FontForCellHeight(k.Font, FontLarge(cell));
  const QFont small = FontForCellHeight(k.Font, FontSmall(cell));

  dc.SetFont(large);
  DrawShadowedText(dc, MonthTitle(today, k), k.ColorMonthYear,
                   Box{r.left, r.top, r.right, r.top + cell}, kCalendarTextFormat,
                   k.DrawTextShadow);

  const QDate first(today.year(), today.month(), 1);
  const int days = DaysInMonthOf(today);
  for (int i = 0; i < days; ++i) {
    const QDate d = first.addDays(i);
    const int col = WeekColumn(WeekdayOf(d), k);
    const Box heading{r.left + i * cell, r.top + cell, r.left + (i + 1) * cell, r.top + 2 * cell};
    const Box number = heading.Moved(0, cell);
    const int L = number.left, T = number.top, R = number.right, B = number.bottom;
    dc.SetFont(small);
    DrawShadowedText(dc, DayName(col, k), k.ColorDayNames, heading, kCalendarTextFormat,
                     k.DrawTextShadow);
    dc.SetFont(large);
    DrawShadowedText(dc, QString::number(d.day()), k.ColorDayNumbers, number, kCalendarTextFormat,
                     k.DrawTextShadow);
    if (d.day() == today.day()) {
      dc.SetPenColor(k.ColorWeekMarker);
      dc.SetPenStyle(PenStyle::Solid);
      dc.Rectangle(number);
      dc.SetPenStyle(PenStyle::Dot);
      // Dotted lines along the top and bottom to the rest of the week.
      const int left = std::max(L - (col - 1) * cell, r.left);
      const int right = std::min(R + (7 - col) * cell, r.right);
      if (col != 1 && std::abs(L - left) >= cell) {
        dc.Line(L - 2, T, left, T);
        dc.Line(L - 2, B - 1, left, B - 1);
      }
      if (col != 7 && std::abs(R - right) >= cell) {
        dc.Line(R + 1, T, right, T);
        dc.Line(R + 1, B - 1, right, B - 1);
      }
    }
    DrawDotMarks(dc, number, cell, d, ctx.dots());
  }
}
