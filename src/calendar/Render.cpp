#include "calendar/Render.h"

#include "calendar/AgendaList.h"
#include "calendar/Geometry.h"
#include "calendar/Styles.h"
#include "settings/Config.h"

int FontLarge(int cell) { return static_cast<int>(cell * 0.8); }
int FontMedium(int cell) { return static_cast<int>(cell * 0.8 * 0.9); }
int FontSmall(int cell) { return static_cast<int>(cell * 0.8 * 0.8); }

CalendarBox CalendarRect(int width, int height) {
  const Config& c = Cfg();
  return CalendarRect(width, height, c.CalendarConfig,
                      QSize(c.DynamicConfig.DesktopBoxWidth, c.DynamicConfig.DesktopBoxHeight),
                      CalendarToday());
}

void DrawCalendar(QImage& canvas, int width, int height) {
  if (canvas.isNull()) return;
  const CalendarConfigT& k = Cfg().CalendarConfig;
  void (*draw)(const StyleContext&) = nullptr;
  switch (k.Style) {
    case 0:
      draw = DrawClassic;
      break;
    case 1:
      draw = DrawVertical;
      break;
    case 2:
      draw = DrawHorizontal;
      break;
    default:
      return;  // an unknown style draws nothing
  }
  const CalendarBox r = CalendarRect(width, height);
  if (r.isEmpty()) return;
  GdiCanvas dc(canvas);
  if (!dc.IsActive()) return;
  const AgendaView& agenda = Cfg().DynamicConfig.Agenda;
  draw(StyleContext{dc, r, k, Cfg().ColorRemConfig.ColorReminders, CalendarToday(), &agenda});
  DrawAgendaList(dc, r, k, agenda.lines);
}
