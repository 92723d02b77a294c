#include <QImage>
#include <QPainter>
#include <QPixmap>

#include "mail/MailNotify.h"

namespace {
// A 16 x 16 envelope; `glow` (0..3) lights the flap brighter, for the animation.
QImage Envelope(int glow) {
  QImage img(16, 16, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, false);
  const QColor paper = glow < 0 ? QColor(250, 250, 240) : QColor(255, 255, 160 + 30 * glow);
  p.setPen(QColor(40, 60, 120));
  p.setBrush(paper);
  p.drawRect(1, 3, 13, 10);
  const QPoint flap[] = {QPoint(1, 3), QPoint(8, 9), QPoint(14, 3)};
  p.drawPolyline(flap, 3);
  if (glow >= 0) {
    // A spark that walks round the corner of the envelope.
    static const QPoint spark[] = {QPoint(13, 1), QPoint(15, 2), QPoint(14, 4), QPoint(12, 2)};
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(230, 40, 30));
    p.drawEllipse(spark[glow], 2, 2);
  }
  return img;
}
}  // namespace

QIcon MailIcon() { return QIcon(QPixmap::fromImage(Envelope(-1))); }

QList<QIcon> MailAnimationFrames() {
  QList<QIcon> frames;
  for (int i = 0; i < 4; ++i) frames << QIcon(QPixmap::fromImage(Envelope(i)));
  return frames;
}
