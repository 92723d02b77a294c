#include "calendar/Marks.h"

#include <QFontDatabase>
#include <algorithm>

#include "platform/DateTime.h"

const Color DotColors[kDotColorCount] = {0x141AE7, 0x21E1E7, 0x55CA61};

namespace {
// The dot is the filled circle of the Wingdings symbol font, which few Linux systems
// have; without it the circle is painted directly, so a stand-in font's "l" never shows.
bool HaveWingdings() {
  static const bool have =
      QFontDatabase::families().contains(QStringLiteral("Wingdings"), Qt::CaseInsensitive);
  return have;
}

}  // namespace

void DrawMark(GdiCanvas& dc, const Box& box, int fontHeight, Color color, const DotStyle& how) {
  if (HaveWingdings()) {
    const QFont previous = dc.font();
    dc.SetFont(FontForCellHeight(QStringLiteral("Wingdings"), fontHeight));
    DrawShadowedText(dc, QStringLiteral("l"), color, box, how.format, how.shadow);
    dc.SetFont(previous);
    return;
  }
  // The glyph's circle is about three quarters of its box, which leaves a gap between dots.
  const int side = std::min(box.right - box.left, box.bottom - box.top);
  const int diameter = std::max(1, side - side / 4);
  if (how.shadow) dc.FillCircle(box.Moved(-1, -1), diameter, 0);
  dc.FillCircle(box, diameter, color);
}

bool HasColorReminder(const QList<ColorReminder>& marks, int date, DotColor color) {
  for (const ColorReminder& r : marks)
    if (r.date == date && r.style == color) return true;
  return false;
}

void DrawShadowedText(GdiCanvas& dc, const QString& text, Color color, const Box& box,
                      unsigned format, bool shadow) {
  if (shadow) dc.DrawText(text, 0, box.Moved(-1, -1), format);
  dc.DrawText(text, color, box, format);
}

void DrawDotMarks(GdiCanvas& dc, const Box& b, int cellHeight, const QDate& date,
                  const DotStyle& how) {
  const int key = DateToDayNumber(date);
  bool present[kDotColorCount];
  int n = 0;
  for (int s = 0; s < kDotColorCount; ++s)
    n += (present[s] = HasColorReminder(how.marks, key, kDotColorsInOrder[s])) ? 1 : 0;
  const QList<Color> agenda = how.agenda ? how.agenda->marks.value(key) : QList<Color>();
  n += agenda.size();
  if (n == 0) return;
  const int v = cellHeight / 5;
  if (v <= 0) return;
  const int x0 = (b.left + b.right) / 2 - (n * v) / 2;
  int k = 0;
  for (int s = 0; s < kDotColorCount; ++s) {
    if (!present[s]) continue;
    DrawMark(dc, Box{x0 + k * v, b.bottom - v - 3, x0 + (k + 1) * v, b.bottom - 3}, v + 2,
             how.colors[s], how);
    ++k;
  }
  for (Color c : agenda) {
    DrawMark(dc, Box{x0 + k * v, b.bottom - v - 3, x0 + (k + 1) * v, b.bottom - 3}, v + 2, c, how);
    ++k;
  }
}
