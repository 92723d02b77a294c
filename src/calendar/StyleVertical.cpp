// Two weeks per column: the title written upward, a column of day names, three of days.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "calendar/Geometry.h"
#include "calendar/Marks.h"
#include "calendar/Names.h"
#include "calendar/Render.h"
#include "calendar/Styles.h"

void DrawVertical(const StyleContext& ctx) {
  GdiCanvas& dc = ctx.dc;
  const CalendarBox& r = ctx.r;
  const CalendarConfigT& k = ctx.k;
  const int cell = r.cell;
  const QDate today = ctx.today;
  const int h = FontLarge(cell);
  const QFont large = FontForCellHeight(k.Font, h);

  // The title has no shadow.
  dc.SetFont(large);
  dc.TextOut(r.left + 4, r.bottom - h / 2, MonthTitle(today, k), k.ColorMonthYear, 900);

  const int s = static_cast<int>(int64_t{k.Size} * 5 / 100);
  dc.SetFont(FontForCellHeight(k.Font, FontSmall(cell)));
  Box heading{r.left + cell, r.top + s, r.left + 2 * cell, r.top + s + cell};
  for (int i = 0; i < 14; ++i) {
    DrawShadowedText(dc, DayName(i % 7 + 1, k), k.ColorDayNames, heading, kCalendarTextFormat,
                     k.DrawTextShadow);
    heading = heading.Moved(0, cell);
  }

  dc.SetFont(large);
  const QDate first(today.year(), today.month(), 1);
  int row = WeekColumn(WeekdayOf(first), k) - 1, col = 0;
  for (QDate d = first; d.month() == today.month(); d = d.addDays(1)) {
    const int L = r.left + (col + 2) * cell, T = r.top + row * cell;
    const int R = L + cell, B = T + cell;
    DrawShadowedText(dc, QString::number(d.day()), k.ColorDayNumbers, Box{L, T, R, B},
                     kCalendarTextFormat, k.DrawTextShadow);
    if (d.day() == today.day()) {
      dc.SetPenColor(k.ColorWeekMarker);
      dc.SetPenStyle(PenStyle::Solid);
      dc.Rectangle(Box{L, T, R, B});
      dc.SetPenStyle(PenStyle::Dot);
      // Dotted lines up and down the day's edges to the rest of its week in this column.
      const int m = WeekColumn(WeekdayOf(d), k);
      const int up = std::max(T - (m - 1) * cell, r.top);
      const int down = std::min(B + (7 - m) * cell, r.bottom - 3);
      if (m != 1 && std::abs(T - up) >= cell) {
        dc.Line(L, T - 2, L, up);
        dc.Line(R - 1, T - 2, R - 1, up);
      }
      if (m != 7 && std::abs(T - down) >= cell) {
        dc.Line(L, B + 2, L, down);
        dc.Line(R - 1, B + 2, R - 1, down);
      }
    }
    DrawDotMarks(dc, Box{L, T, R, B}, B - T, d, ctx.dots());
    if (++row == 14) {
      ++col;
      row = 0;
    }
  }
}
