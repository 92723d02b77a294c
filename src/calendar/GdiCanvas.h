#pragma once
// A small drawing context over a QImage that keeps the Win32 GDI semantics the calendar
// was designed with: lines without their end point, hollow rectangles, a dotted pen of
// 3 pixels on and 3 off, fonts by cell height, boxed text, rotated text.
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>

#include "settings/Config.h"

// left/top inside, right/bottom outside, as GDI rectangles.
struct Box {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  Box Moved(int dx, int dy) const { return Box{left + dx, top + dy, right + dx, bottom + dy}; }
};

// DrawTextA format flags.
enum : unsigned {
  DT_LEFT = 0x00,
  DT_CENTER = 0x01,
  DT_RIGHT = 0x02,
  DT_VCENTER = 0x04,
  DT_BOTTOM = 0x08,
  DT_WORDBREAK = 0x10,
  DT_SINGLELINE = 0x20,
  DT_NOCLIP = 0x100,
};

enum class PenStyle { Solid, Dot };

QColor ToQColor(Color c);

// The font of that face whose cell height (ascent plus descent) is the largest not above
// cellHeight pixels, as GDI picks for a positive height. An empty face is the default font.
QFont FontForCellHeight(const QString& face, int cellHeight);

class GdiCanvas {
 public:
  explicit GdiCanvas(QImage& canvas);
  GdiCanvas(const GdiCanvas&) = delete;
  GdiCanvas& operator=(const GdiCanvas&) = delete;

  bool IsActive() const { return painter_.isActive(); }
  int Width() const { return width_; }
  int Height() const { return height_; }

  void SetPenColor(Color c) { penColor_ = ToQColor(c); }
  void SetPenStyle(PenStyle s) { penStyle_ = s; }
  PenStyle penStyle() const { return penStyle_; }

  // A one-pixel line from (x1, y1) up to, not including, (x2, y2). The calendar draws only
  // horizontal and vertical lines; any other line is ignored.
  void Line(int x1, int y1, int x2, int y2);
  // The outline of a rectangle with a hollow brush: columns left..right-1, rows top..bottom-1.
  void Rectangle(const Box& box);

  void SetFont(const QFont& font) { font_ = font; }
  const QFont& font() const { return font_; }
  // DrawTextA in transparent mode with the current font.
  void DrawText(const QString& text, Color color, const Box& box, unsigned format);
  // TextOutA with a font turned by escapement tenths of a degree counter-clockwise; (x, y) is
  // the top-left of the text's cell before turning, as with the default text alignment.
  void TextOut(int x, int y, const QString& text, Color color, int escapement);
  // A filled, smoothed circle inscribed in a square of the given diameter centred in the box.
  void FillCircle(const Box& box, int diameter, Color color);

 private:
  void Span(int64_t x, int64_t y, int64_t n, bool horizontal, int step);

  QPainter painter_;
  int width_ = 0;
  int height_ = 0;
  QColor penColor_ = Qt::black;
  PenStyle penStyle_ = PenStyle::Solid;
  QFont font_;
};
