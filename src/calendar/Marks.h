#pragma once
// Text with the optional shadow, and the colour dots of marked days.
#include <QDate>
#include <QList>
#include <QString>

#include "calendar/GdiCanvas.h"
#include "settings/Config.h"

// The format every calendar text uses: centred, top-aligned, word-wrapped, clipped.
constexpr unsigned kCalendarTextFormat = DT_CENTER | DT_VCENTER | DT_WORDBREAK;

extern const Color DotColors[3];  // red, yellow, green, indexed by a colour reminder's style

// Whether the list holds a colour reminder of that style on that day number.
bool HasColorReminder(const QList<ColorReminder>& marks, int date, int style);

// The text in its colour, first in black one pixel up and left when shadow is on.
void DrawShadowedText(GdiCanvas& dc, const QString& text, Color color, const Box& box,
                      unsigned format, bool shadow);

// How the dots of a day are drawn: from which list, in which colours (by style), whether
// shadowed, and the text format of the dot glyph.
struct DotStyle {
  const QList<ColorReminder>& marks;
  const Color* colors;  // three
  bool shadow;
  unsigned format;
};

// The dots of one day in a row centred on its box, 3 pixels above the bottom, red before
// yellow before green.
void DrawDotMarks(GdiCanvas& dc, const Box& dayBox, int cellHeight, const QDate& date,
                  const DotStyle& style);
