#include "widgets/MiniatureDesktop.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

QPoint ClampMarker(QPoint p, QSize marker, QSize desktop) {
  const int x = std::max(0, std::min(p.x(), desktop.width() - marker.width()));
  const int y = std::max(0, std::min(p.y(), desktop.height() - marker.height()));
  return QPoint(x, y);
}

PositionMarker::PositionMarker(QWidget* desktop) : QFrame(desktop) {
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(1);
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, QColor(0x00, 0xFF, 0xFF));  // aqua
  p.setColor(QPalette::Light, QColor(0xFF, 0xFB, 0xF0));   // cream bevel
  p.setColor(QPalette::Dark, QColor(0xC8, 0xC0, 0xA8));
  setPalette(p);
  setCursor(Qt::SizeAllCursor);
  setFocusPolicy(Qt::StrongFocus);
  setAccessibleName(QStringLiteral("Calendar position"));
  setAccessibleDescription(QStringLiteral("Drag, or move with the arrow keys"));
  setToolTip(QStringLiteral("Drag the calendar, or move it with the arrow keys"));
}

void PositionMarker::MoveBy(QPoint delta) {
  const QPoint to = ClampMarker(pos() + delta, size(), parentWidget()->size());
  move(to);
  emit moved(to);
}

void PositionMarker::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QFrame::mousePressEvent(event);
  setFocus(Qt::MouseFocusReason);
  grab_ = event->position().toPoint();
  dragging_ = true;
}

void PositionMarker::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return;
  MoveBy(event->position().toPoint() - grab_);
}

void PositionMarker::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dragging_ = false;
}

void PositionMarker::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Left:
      return MoveBy(QPoint(-1, 0));
    case Qt::Key_Right:
      return MoveBy(QPoint(1, 0));
    case Qt::Key_Up:
      return MoveBy(QPoint(0, -1));
    case Qt::Key_Down:
      return MoveBy(QPoint(0, 1));
    default:
      QFrame::keyPressEvent(event);
  }
}

void PositionMarker::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  if (!hasFocus()) return;
  // The keyboard is here: a dotted line inside the bevel.
  QPainter p(this);
  p.setPen(QPen(Qt::black, 1, Qt::DotLine));
  p.drawRect(rect().adjusted(2, 2, -3, -3));
}

MiniatureDesktop::MiniatureDesktop(QWidget* parent)
    : QWidget(parent), marker_(new PositionMarker(this)) {
  setAccessibleName(QStringLiteral("Desktop"));
}

void MiniatureDesktop::paintEvent(QPaintEvent*) {
  // A desktop blue with a faint 15 x 20 pattern over it, as a wallpaper would tile.
  static const QPixmap tile = [] {
    QPixmap t(15, 20);
    t.fill(QColor(0x3A, 0x6E, 0xA5));
    QPainter p(&t);
    p.setPen(QColor(0x46, 0x7B, 0xB2));
    p.drawLine(0, 19, 14, 19);
    p.drawLine(14, 0, 14, 19);
    p.drawPoint(7, 9);
    return t;
  }();
  QPainter p(this);
  p.drawTiledPixmap(rect(), tile);
  p.setPen(QColor(0x20, 0x20, 0x20));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}
