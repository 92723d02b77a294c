#include "calendar/AgendaList.h"

#include <algorithm>

#include "calendar/Marks.h"
#include "calendar/Names.h"
#include "calendar/Styles.h"
#include "settings/Config.h"

void DrawAgendaList(GdiCanvas& dc, const CalendarBox& r, const CalendarConfigT& k,
                    const QList<AgendaListLine>& lines) {
  if (lines.isEmpty() || r.isEmpty()) return;
  const int lineHeight = FontSmall(r.cell) + 2;
  if (lineHeight <= 2) return;
  const int markSide = std::max(2, r.cell / 5);
  static const QList<ColorReminder> kNoDots;
  const DotStyle marks{kNoDots, DotColors, k.DrawTextShadow, kCalendarTextFormat};
  dc.SetFont(FontForCellHeight(k.Font, FontSmall(r.cell)));
  int top = r.bottom + r.cell / 4;
  for (const AgendaListLine& line : lines) {
    if (top + lineHeight > dc.Height()) break;
    const int middle = top + lineHeight / 2;
    DrawMark(
        dc,
        Box{r.left + 2, middle - markSide / 2, r.left + 2 + markSide, middle + markSide / 2 + 1},
        markSide + 2, line.color, marks);
    QString text = DayName(WeekColumn(WeekdayOf(line.day), k), k) + QLatin1Char(' ') +
                   QString::number(line.day.day());
    if (!line.time.isEmpty()) text += QStringLiteral("  ") + line.time;
    text += QStringLiteral("  ") + line.summary;
    DrawShadowedText(dc, text, k.ColorDayNumbers,
                     Box{r.left + 4 + markSide + markSide / 2, top, r.right, top + lineHeight},
                     DT_SINGLELINE | DT_VCENTER, k.DrawTextShadow);
    top += lineHeight;
  }
}
