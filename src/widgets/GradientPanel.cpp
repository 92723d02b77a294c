#include "widgets/GradientPanel.h"

#include <QFontDatabase>
#include <QLinearGradient>
#include <QPainter>

#include "calendar/GdiCanvas.h"

GradientPanel::GradientPanel(QColor from, QColor to, Qt::Orientation direction, QWidget* parent)
    : QWidget(parent), from_(from), to_(to), direction_(direction) {}

void GradientPanel::setColors(QColor from, QColor to) {
  from_ = from;
  to_ = to;
  update();
}

void GradientPanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QPointF end = direction_ == Qt::Horizontal ? QPointF(width(), 0) : QPointF(0, height());
  QLinearGradient g(QPointF(0, 0), end);
  g.setColorAt(0, from_);
  g.setColorAt(1, to_);
  p.fillRect(rect(), g);
}

QFont CaptionStripFont() {
  // Where Tahoma is missing, its usual stand-in (DejaVu Sans) has no size 27 pixels high;
  // Liberation Sans has.
  const QString face = QFontDatabase::hasFamily(QStringLiteral("Tahoma"))
                           ? QStringLiteral("Tahoma")
                           : QStringLiteral("Liberation Sans");
  return FontForCellHeight(face, 27);
}
