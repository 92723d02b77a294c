#pragma once
// The miniature desktop of the calendar style page and the marker on it that stands for
// the calendar: dragged with the mouse or moved a pixel at a time with the arrow keys, and
// always kept inside the miniature.
#include <QFrame>
#include <QPoint>
#include <QWidget>

// The top-left that keeps a marker of that size inside the desktop: never past the right
// or bottom edge, never negative.
QPoint ClampMarker(QPoint topLeft, QSize marker, QSize desktop);

class PositionMarker : public QFrame {
  Q_OBJECT

 public:
  explicit PositionMarker(QWidget* desktop);

 signals:
  // The user moved the marker; it is already clamped into the desktop.
  void moved(QPoint topLeft);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void MoveBy(QPoint delta);

  QPoint grab_;  // where in the marker the drag took hold
  bool dragging_ = false;
};

class MiniatureDesktop : public QWidget {
  Q_OBJECT

 public:
  explicit MiniatureDesktop(QWidget* parent = nullptr);
  PositionMarker* marker() const { return marker_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  PositionMarker* marker_;
};
