#include "widgets/Pictures.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace {
// A small calendar sheet: white page, red band on top, a grid of days.
void DrawCalendar(QPainter& p, const QRectF& r) {
  p.setPen(QPen(QColor(0x40, 0x40, 0x40), r.width() / 24.0));
  p.setBrush(Qt::white);
  p.drawRoundedRect(r, r.width() / 10, r.width() / 10);
  const QRectF band(r.left(), r.top(), r.width(), r.height() * 0.28);
  p.setBrush(QColor(0xd0, 0x30, 0x30));
  p.drawRect(band);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x50, 0x60, 0x80));
  const double cw = r.width() / 4.5, ch = (r.height() * 0.66) / 3.6;
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 4; ++col)
      p.drawRect(QRectF(r.left() + cw * 0.35 + col * cw, band.bottom() + ch * 0.4 + row * ch,
                        cw * 0.55, ch * 0.5));
}

void DrawEnvelope(QPainter& p, const QRectF& r) {
  p.setPen(QPen(QColor(0x30, 0x40, 0x60), 1.2));
  p.setBrush(QColor(0xf4, 0xf1, 0xe4));
  p.drawRect(r);
  QPainterPath flap;
  flap.moveTo(r.topLeft());
  flap.lineTo(r.center().x(), r.top() + r.height() * 0.6);
  flap.lineTo(r.topRight());
  p.setBrush(Qt::NoBrush);
  p.drawPath(flap);
}

void DrawGear(QPainter& p, QPointF c, double radius, QColor colour) {
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  for (int i = 0; i < 8; ++i) {
    p.save();
    p.translate(c);
    p.rotate(i * 45.0);
    p.drawRect(QRectF(-radius * 0.2, -radius * 1.15, radius * 0.4, radius * 0.5));
    p.restore();
  }
  p.drawEllipse(c, radius * 0.8, radius * 0.8);
  p.setBrush(Qt::white);
  p.drawEllipse(c, radius * 0.3, radius * 0.3);
}

void DrawClock(QPainter& p, QPointF c, double radius) {
  p.setPen(QPen(QColor(0x30, 0x40, 0x60), 1.5));
  p.setBrush(Qt::white);
  p.drawEllipse(c, radius, radius);
  p.drawLine(c, c + QPointF(0, -radius * 0.7));
  p.drawLine(c, c + QPointF(radius * 0.5, 0));
}

// A 24 x 24 side-bar picture.
QIcon Drawn(void (*draw)(QPainter&)) {
  QPixmap pm(24, 24);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  draw(p);
  p.end();
  return QIcon(pm);
}
}  // namespace

QImage ApplicationIconImage(int size) {
  QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  const double s = size;
  // A landscape picture with a calendar sheet in its corner: a wallpaper with a month on it.
  QLinearGradient sky(0, 0, 0, s);
  sky.setColorAt(0, QColor(0x2b, 0x3a, 0x67));
  sky.setColorAt(1, QColor(0xf4, 0xa2, 0x59));
  p.setPen(Qt::NoPen);
  p.setBrush(sky);
  p.drawRoundedRect(QRectF(0, s * 0.06, s, s * 0.88), s * 0.12, s * 0.12);
  QPainterPath hill;
  hill.moveTo(0, s * 0.8);
  hill.cubicTo(s * 0.3, s * 0.55, s * 0.5, s * 0.75, s, s * 0.6);
  hill.lineTo(s, s * 0.82);
  hill.quadTo(s, s * 0.94, s * 0.88, s * 0.94);
  hill.lineTo(s * 0.12, s * 0.94);
  hill.quadTo(0, s * 0.94, 0, s * 0.82);
  hill.closeSubpath();
  p.setBrush(QColor(0x44, 0x35, 0x5b));
  p.drawPath(hill);
  p.setBrush(QColor(0xf9, 0xd2, 0x7a));
  p.drawEllipse(QPointF(s * 0.25, s * 0.35), s * 0.1, s * 0.1);
  DrawCalendar(p, QRectF(s * 0.48, s * 0.14, s * 0.44, s * 0.42));
  return img;
}

QIcon ApplicationIcon() {
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64, 128})
    icon.addPixmap(QPixmap::fromImage(ApplicationIconImage(size)));
  return icon;
}

QIcon AttentionIcon() {
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64, 128}) {
    QImage img = ApplicationIconImage(size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    // A red disc over the top right corner, a white bell in it: seen at 16 pixels too.
    const QPointF c(s * 0.7, s * 0.3);
    const double r = s * 0.3;
    p.setPen(QPen(Qt::white, qMax(1.0, s / 16.0)));
    p.setBrush(QColor(0xd8, 0x1e, 0x1e));
    p.drawEllipse(c, r, r);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    QPainterPath bell;
    bell.moveTo(c.x() - r * 0.55, c.y() + r * 0.35);
    bell.cubicTo(c.x() - r * 0.45, c.y() - r * 0.1, c.x() - r * 0.45, c.y() - r * 0.6, c.x(),
                 c.y() - r * 0.6);
    bell.cubicTo(c.x() + r * 0.45, c.y() - r * 0.6, c.x() + r * 0.45, c.y() - r * 0.1,
                 c.x() + r * 0.55, c.y() + r * 0.35);
    bell.closeSubpath();
    p.drawPath(bell);
    p.drawEllipse(QPointF(c.x(), c.y() + r * 0.5), r * 0.15, r * 0.15);
    p.end();
    icon.addPixmap(QPixmap::fromImage(img));
  }
  return icon;
}

// Folder of pictures.
QIcon SourcePicture() {
  return Drawn([](QPainter& p) {
    p.setPen(QPen(QColor(0x8a, 0x6a, 0x10), 1));
    p.setBrush(QColor(0xf0, 0xc0, 0x40));
    p.drawRect(QRectF(2.5, 6.5, 19, 14));
    p.drawRect(QRectF(2.5, 4.5, 8, 3));
    p.setBrush(QColor(0x60, 0xa0, 0xe0));
    p.drawRect(QRectF(6.5, 9.5, 11, 8));
  });
}

QIcon RulesPicture() {
  return Drawn([](QPainter& p) { DrawClock(p, QPointF(12, 12), 9.5); });
}

QIcon CalendarStylePicture() {
  return Drawn([](QPainter& p) { DrawCalendar(p, QRectF(2.5, 3.5, 19, 17)); });
}

QIcon CalendarOptionsPicture() {
  return Drawn([](QPainter& p) {
    DrawCalendar(p, QRectF(1.5, 2.5, 16, 14));
    DrawGear(p, QPointF(17, 17), 5, QColor(0x50, 0x60, 0x80));
  });
}

// A calendar with events marked in the calendars' colours.
QIcon AgendaPicture() {
  return Drawn([](QPainter& p) {
    DrawCalendar(p, QRectF(2.5, 3.5, 19, 17));
    p.setPen(Qt::NoPen);
    const QColor colours[] = {QColor(0x30, 0x80, 0xe0), QColor(0xe0, 0x60, 0x30),
                              QColor(0x30, 0xa0, 0x50)};
    for (int i = 0; i < 3; ++i) {
      p.setBrush(colours[i]);
      p.drawEllipse(QPointF(7.5 + i * 4.5, 16.5), 1.8, 1.8);
    }
  });
}

// Bell.
QIcon PopupRemindersPicture() {
  return Drawn([](QPainter& p) {
    QPainterPath bell;
    bell.moveTo(5, 18);
    bell.cubicTo(7, 15, 6, 4, 12, 4);
    bell.cubicTo(18, 4, 17, 15, 19, 18);
    bell.closeSubpath();
    p.setPen(QPen(QColor(0x8a, 0x6a, 0x10), 1));
    p.setBrush(QColor(0xf0, 0xc0, 0x40));
    p.drawPath(bell);
    p.drawEllipse(QPointF(12, 20), 2, 2);
  });
}

QIcon ColorDotsPicture() {
  return Drawn([](QPainter& p) {
    const QColor dots[] = {QColor(0xe0, 0x30, 0x30), QColor(0xf0, 0xd0, 0x20),
                           QColor(0x30, 0xb0, 0x40)};
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 3; ++i) {
      p.setBrush(dots[i]);
      p.drawEllipse(QPointF(5 + i * 7, i == 1 ? 8 : 15), 3.5, 3.5);
    }
  });
}

QIcon MailAccountsPicture() {
  return Drawn([](QPainter& p) { DrawEnvelope(p, QRectF(2.5, 5.5, 19, 13)); });
}

QIcon MailActionsPicture() {
  return Drawn([](QPainter& p) {
    DrawEnvelope(p, QRectF(1.5, 3.5, 16, 11));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe0, 0x80, 0x10));
    QPolygonF bolt({QPointF(17, 11), QPointF(13, 18), QPointF(16, 18), QPointF(14, 23),
                    QPointF(21, 15), QPointF(18, 15), QPointF(20, 11)});
    p.drawPolygon(bolt);
  });
}

QIcon MailOptionsPicture() {
  return Drawn([](QPainter& p) {
    DrawEnvelope(p, QRectF(1.5, 3.5, 16, 11));
    DrawClock(p, QPointF(17, 17), 5.5);
  });
}

QIcon ProgramOptionsPicture() {
  return Drawn([](QPainter& p) { DrawGear(p, QPointF(12, 12), 9, QColor(0x50, 0x60, 0x80)); });
}

QIcon HelpPicture() {
  return Drawn([](QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x30, 0x60, 0xc0));
    p.drawEllipse(QPointF(12, 12), 10, 10);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(15);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, 24, 24), Qt::AlignCenter, QStringLiteral("?"));
  });
}
