#pragma once
// The three calendar layouts; DrawCalendar picks one by the Style setting.
#include <QDate>

#include "calendar/GdiCanvas.h"
#include "calendar/Marks.h"
#include "calendar/Render.h"
#include "settings/Config.h"

// What every style draws from: a canvas, its calendar rectangle and cell, the settings, today.
struct StyleContext {
  GdiCanvas& dc;
  const CalendarBox& r;
  const CalendarConfigT& k;
  const QList<ColorReminder>& marks;
  QDate today;
  const AgendaView* agenda = nullptr;
  // The wallpaper's dots: its colours, shadowed with the texts.
  DotStyle dots() const {
    return DotStyle{marks, DotColors, k.DrawTextShadow, kCalendarTextFormat, agenda};
  }
};

void DrawClassic(const StyleContext& ctx);
void DrawVertical(const StyleContext& ctx);
void DrawHorizontal(const StyleContext& ctx);

// Font heights of the styles, as fractions of a cell height, truncated.
int FontLarge(int cell);   // 0.8
int FontMedium(int cell);  // 0.72
int FontSmall(int cell);   // 0.64
