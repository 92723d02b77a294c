#include "calendar/GdiCanvas.h"

#include <QFontMetrics>
#include <QHash>
#include <algorithm>
#include <cstdint>

namespace {
// A font taller than this shows only fragments of a glyph on any screen; larger sizes come
// from hand-edited settings and only make the font engine struggle.
constexpr int kMaxFontCell = 4096;

int CellHeightAt(const QString& face, int pixelSize) {
  QFont f(face);
  f.setPixelSize(pixelSize);
  return QFontMetrics(f).height();
}
}  // namespace

QColor ToQColor(Color c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

QFont FontForCellHeight(const QString& face, int cellHeight) {
  const int h = std::clamp(cellHeight, 1, kMaxFontCell);
  static QHash<QPair<QString, int>, int> cache;
  const auto key = qMakePair(face, h);
  auto it = cache.constFind(key);
  int size = 0;
  if (it != cache.constEnd()) {
    size = *it;
  } else {
    const int m = std::max(1, CellHeightAt(face, h));
    size = std::max<int64_t>(1, int64_t{h} * h / m);
    while (size > 1 && CellHeightAt(face, size) > h) --size;
    // Bounded: a bitmap face may keep one height whatever size is asked for.
    while (size < 2 * h && CellHeightAt(face, size + 1) <= h) ++size;
    cache.insert(key, size);
  }
  QFont f(face);
  f.setPixelSize(size);
  f.setWeight(QFont::Normal);
  return f;
}

GdiCanvas::GdiCanvas(QImage& canvas) : width_(canvas.width()), height_(canvas.height()) {
  if (!canvas.isNull()) painter_.begin(&canvas);
  font_ = FontForCellHeight(QString(), 16);
}

// Paints n pixels from (x, y) in the direction step (+1 or -1) along one axis, with the
// dot pattern counted from the first of them; only what lies on the canvas is touched.
void GdiCanvas::Span(int64_t x, int64_t y, int64_t n, bool horizontal, int step) {
  if (!painter_.isActive() || n <= 0) return;
  const int64_t fixed = horizontal ? y : x;
  const int64_t limit = horizontal ? width_ : height_;
  if (fixed < 0 || fixed >= (horizontal ? height_ : width_)) return;
  const int64_t start = horizontal ? x : y;
  // Indexes i of the pixels start + i * step that lie in 0..limit-1.
  int64_t first = 0, last = n - 1;
  if (step > 0) {
    first = std::max<int64_t>(first, -start);
    last = std::min<int64_t>(last, limit - 1 - start);
  } else {
    first = std::max<int64_t>(first, start - (limit - 1));
    last = std::min<int64_t>(last, start);
  }
  auto fill = [&](int64_t i0, int64_t i1) {  // inclusive indexes
    const int64_t a = start + i0 * step, b = start + i1 * step;
    const int lo = static_cast<int>(std::min(a, b)), len = static_cast<int>(std::llabs(b - a) + 1);
    const int f = static_cast<int>(fixed);
    painter_.fillRect(horizontal ? QRect(lo, f, len, 1) : QRect(f, lo, 1, len), penColor_);
  };
  if (first > last) return;
  if (penStyle_ == PenStyle::Solid) {
    fill(first, last);
    return;
  }
  for (int64_t i = first - first % 6; i <= last; i += 6) {
    const int64_t a = std::max(i, first), b = std::min(i + 2, last);
    if (a <= b) fill(a, b);
  }
}

void GdiCanvas::Line(int x1, int y1, int x2, int y2) {
  if (y1 == y2 && x1 != x2)
    Span(x1, y1, std::llabs(int64_t{x2} - x1), true, x2 > x1 ? 1 : -1);
  else if (x1 == x2 && y1 != y2)
    Span(x1, y1, std::llabs(int64_t{y2} - y1), false, y2 > y1 ? 1 : -1);
}

void GdiCanvas::Rectangle(const Box& b) {
  if (b.right <= b.left || b.bottom <= b.top) return;
  Line(b.left, b.top, b.right - 1, b.top);
  Line(b.right - 1, b.top, b.right - 1, b.bottom - 1);
  Line(b.right - 1, b.bottom - 1, b.left, b.bottom - 1);
  Line(b.left, b.bottom - 1, b.left, b.top);
  // A one-pixel box: every line above is empty.
  if (b.right - b.left == 1 && b.bottom - b.top == 1) Span(b.left, b.top, 1, true, 1);
}

void GdiCanvas::DrawText(const QString& text, Color color, const Box& box, unsigned format) {
  if (!painter_.isActive() || text.isEmpty()) return;
  const QRect rect(box.left, box.top, box.right - box.left, box.bottom - box.top);
  if (!(format & DT_NOCLIP) && rect.isEmpty()) return;
  int flags = (format & DT_CENTER)  ? Qt::AlignHCenter
              : (format & DT_RIGHT) ? Qt::AlignRight
                                    : Qt::AlignLeft;
  if (format & DT_SINGLELINE) {
    flags |= (format & DT_VCENTER)  ? Qt::AlignVCenter
             : (format & DT_BOTTOM) ? Qt::AlignBottom
                                    : Qt::AlignTop;
  } else {
    // Without a single line GDI ignores the vertical flags: the text starts at the top.
    flags |= Qt::AlignTop;
    if (format & DT_WORDBREAK) flags |= Qt::TextWordWrap;
  }
  painter_.save();
  if (!(format & DT_NOCLIP)) painter_.setClipRect(rect);
  painter_.setFont(font_);
  painter_.setPen(ToQColor(color));
  painter_.drawText(rect, flags, text);
  painter_.restore();
}

void GdiCanvas::TextOut(int x, int y, const QString& text, Color color, int escapement) {
  if (!painter_.isActive() || text.isEmpty()) return;
  painter_.save();
  painter_.setFont(font_);
  painter_.setPen(ToQColor(color));
  painter_.translate(x, y);
  painter_.rotate(-escapement / 10.0);  // GDI turns counter-clockwise, Qt clockwise
  painter_.drawText(QPointF(0, QFontMetrics(font_).ascent()), text);
  painter_.restore();
}

void GdiCanvas::FillCircle(const Box& box, int diameter, Color color) {
  if (!painter_.isActive() || diameter <= 0) return;
  const double cx = (box.left + box.right) / 2.0, cy = (box.top + box.bottom) / 2.0;
  const double r = diameter / 2.0;
  painter_.save();
  painter_.setRenderHint(QPainter::Antialiasing, true);
  painter_.setPen(Qt::NoPen);
  painter_.setBrush(ToQColor(color));
  painter_.drawEllipse(QPointF(cx, cy), r, r);
  painter_.restore();
}
