// A month grid: title, day-name row, then one row per week, seven columns.
#include "calendar/Geometry.h"
#include "calendar/Marks.h"
#include "calendar/Names.h"
#include "calendar/Render.h"
#include "calendar/Styles.h"

void DrawClassic(const StyleContext& ctx) {
  GdiCanvas& dc = ctx.dc;
  const CalendarBox& r = ctx.r;
  const CalendarConfigT& k = ctx.k;
  const int cell = r.cell;
  const QDate today = ctx.today;
  const QFont large = FontForCellHeight(k.Font, FontLarge(cell));

  dc.SetFont(large);
  DrawShadowedText(dc, MonthTitle(today, k), k.ColorMonthYear,
                   Box{r.left, r.top, r.right, r.top + cell}, kCalendarTextFormat,
                   k.DrawTextShadow);

  dc.SetFont(FontForCellHeight(k.Font, FontMedium(cell)));
  Box heading{r.left, r.top + cell, r.left + cell, r.top + 2 * cell};
  for (int i = 0; i < 7; ++i) {
    DrawShadowedText(dc, DayName(i + 1, k), k.ColorDayNames, heading, kCalendarTextFormat,
                     k.DrawTextShadow);
    heading = heading.Moved(cell, 0);
  }

  dc.SetPenColor(k.ColorWeekMarker);
  dc.SetFont(large);
  int row = 0;
  for (QDate d(today.year(), today.month(), 1); d.month() == today.month(); d = d.addDays(1)) {
    const int col = WeekColumn(WeekdayOf(d), k) - 1;
    const int L = r.left + col * cell, T = r.top + 2 * cell + row * cell;
    const int R = L + cell, B = T + cell;
    if (d.day() == today.day()) {
      // A box one pixel inside the day, then dotted lines along its week's row.
      dc.Line(L + 1, T + 1, R - 1, T + 1);
      dc.Line(L + 1, B - 1, R, B - 1);
      dc.Line(L + 1, T + 1, L + 1, B - 1);
      dc.Line(R - 1, T + 1, R - 1, B - 1);
      dc.SetPenStyle(PenStyle::Dot);
      if (col != 0) {
        dc.Line(L - 3, T + 1, r.left + 4, T + 1);
        dc.Line(L - 3, B - 1, r.left + 4, B - 1);
      }
      if (col != 6) {
        dc.Line(R + 3, T + 1, r.right - 4, T + 1);
        dc.Line(R + 3, B - 1, r.right - 4, B - 1);
      }
    }
    DrawShadowedText(dc, QString::number(d.day()), k.ColorDayNumbers, Box{L, T, R, B},
                     kCalendarTextFormat, k.DrawTextShadow);
    DrawDotMarks(dc, Box{L, T, R, B}, cell, d, ctx.dots());
    if (col == 6) ++row;
  }
}
