#include "calendar/Render.h"

#include "calendar/Styles.h"
#include "settings/Config.h"

int FontLarge(int cell) { return static_cast<int>(cell * 0.8); }
int FontMedium(int cell) { return static_cast<int>(cell * 0.8 * 0.9); }
int FontSmall(int cell) { return static_cast<int>(cell * 0.8 * 0.8); }

void DrawCalendar(QImage& canvas, int width, int height) {
  if (canvas.isNull()) return;
  switch (Cfg().CalendarConfig.Style) {
    case 0:
      DrawClassic(canvas, width, height);
      break;
    case 1:
      DrawVertical(canvas, width, height);
      break;
    case 2:
      DrawHorizontal(canvas, width, height);
      break;
    default:
      break;  // an unknown style draws nothing
  }
}
