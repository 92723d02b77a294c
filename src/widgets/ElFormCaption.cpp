#include "widgets/ElFormCaption.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

ElFormCaption::ElFormCaption(QWidget* parent) : QWidget(parent) {
  setFixedHeight(kHeight);
  setCursor(Qt::ArrowCursor);
}

void ElFormCaption::setTexts(const QString& left, const QString& right) {
  left_ = left;
  right_ = right;
  update();
}

void ElFormCaption::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const bool active = window()->isActiveWindow();
  QLinearGradient g(0, 0, 0, height());
  if (active) {
    g.setColorAt(0, QColor(0x3a, 0x5f, 0xb0));
    g.setColorAt(1, QColor(0x00, 0x00, 0x80));
  } else {
    g.setColorAt(0, QColor(0xe0, 0xe0, 0xe0));
    g.setColorAt(1, QColor(0x90, 0x90, 0x90));
  }
  p.fillRect(rect(), g);
  p.setPen(active ? Qt::white : QColor(0x30, 0x30, 0x30));
  QFont f(QStringLiteral("Tahoma"));
  f.setPixelSize(12);
  const QRect box = rect().adjusted(8, 0, -8, 0);
  p.setFont(f);
  p.drawText(box, Qt::AlignRight | Qt::AlignVCenter, right_);
  f.setBold(true);
  p.setFont(f);
  p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, left_);
}

void ElFormCaption::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  // Let the window manager move the window where it can; otherwise move it ourselves.
  if (QWindow* w = window()->windowHandle(); w && w->startSystemMove()) return;
  dragging_ = true;
  dragOffset_ = event->globalPosition().toPoint() - window()->frameGeometry().topLeft();
}

void ElFormCaption::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ && (event->buttons() & Qt::LeftButton)) {
    window()->move(event->globalPosition().toPoint() - dragOffset_);
  } else {
    dragging_ = false;
  }
}

void ElFormCaption::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange) update();
  QWidget::changeEvent(event);
}
