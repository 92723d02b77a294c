#pragma once
// Text with the optional shadow, and the colour dots of marked days.
#include <QDate>
#include <QList>
#include <QString>

#include "agenda/AgendaView.h"
#include "calendar/GdiCanvas.h"
#include "settings/Config.h"

// The format every calendar text uses: centred, top-aligned, word-wrapped, clipped.
constexpr unsigned kCalendarTextFormat = DT_CENTER | DT_VCENTER | DT_WORDBREAK;

// What each DotColor looks like on the wallpaper, by its number.
extern const Color DotColors[kDotColorCount];

// Whether the list holds a colour reminder of that colour on that day number.
bool HasColorReminder(const QList<ColorReminder>& marks, int date, DotColor color);

// The text in its colour, first in black one pixel up and left when shadow is on.
void DrawShadowedText(GdiCanvas& dc, const QString& text, Color color, const Box& box,
                      unsigned format, bool shadow);

// How the dots of a day are drawn: from which list, in which colours (by style), whether
// shadowed, and the text format of the dot glyph; then the agenda's marks, if any.
struct DotStyle {
  const QList<ColorReminder>& marks;
  const Color* colors;  // kDotColorCount, by DotColor
  bool shadow;
  unsigned format;
  const AgendaView* agenda = nullptr;
};

// One dot of the given height in the middle of the box, drawn as every mark is.
void DrawMark(GdiCanvas& dc, const Box& box, int height, Color color, const DotStyle& style);

// The dots of one day in a row centred on its box, 3 pixels above the bottom, red before
// yellow before green, then one per agenda calendar with an event that day.
void DrawDotMarks(GdiCanvas& dc, const Box& dayBox, int cellHeight, const QDate& date,
                  const DotStyle& style);
