#include "calendar/Render.h"

#include "calendar/AgendaList.h"
#include "calendar/Geometry.h"
#include "calendar/Styles.h"
#include "settings/Config.h"

int FontLarge(int cell) { return static_cast<int>(cell * 0.8); }
int FontMedium(int cell) { return static_cast<int>(cell * 0.8 * 0.9); }
int FontSmall(int cell) { return static_cast<int>(cell * 0.8 * 0.8); }

CalendarBox CalendarRect(int width, int height, const Config& c, const QDate& today) {
  return CalendarRect(width, height, c.CalendarConfig,
                      QSize(c.DynamicConfig.DesktopBoxWidth, c.DynamicConfig.DesktopBoxHeight),
                      today);
}

void DrawCalendar(QImage& canvas, int width, int height, const Config& config, const QDate& today) {
  if (canvas.isNull()) return;
  const CalendarConfigT& k = config.CalendarConfig;
  void (*draw)(const StyleContext&) = nullptr;
  switch (k.Style) {
    case CalendarStyle::Classic:
      draw = DrawClassic;
      break;
    case CalendarStyle::Vertical:
      draw = DrawVertical;
      break;
    case CalendarStyle::Horizontal:
      draw = DrawHorizontal;
      break;
    default:
      return;  // an unknown style draws nothing
  }
  const CalendarBox r = CalendarRect(width, height, config, today);
  if (r.isEmpty()) return;
  GdiCanvas dc(canvas);
  if (!dc.IsActive()) return;
  const AgendaView& agenda = config.DynamicConfig.Agenda;
  draw(StyleContext{dc, r, k, config.ColorRemConfig.ColorReminders, today, &agenda});
  DrawAgendaList(dc, r, k, agenda.lines);
}
