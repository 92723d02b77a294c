// Renders the three calendar styles onto a made-up landscape at 1920 x 1080 and writes
// calendar-classic.png, calendar-vertical.png and calendar-horizontal.png into the folder
// given (default: the current one), for the README. Prints the drawing time of each style.
//
//   render_calendar_styles [folder] [yyyy-mm-dd]
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>

#include "calendar/Render.h"
#include "platform/DateTime.h"
#include "platform/Services.h"
#include "settings/Config.h"

namespace {
// A ridge line across the picture, filled down to the bottom.
QPainterPath Ridge(int w, int h, double base, double amp, double f1, double f2, double phase) {
  QPainterPath p(QPointF(0, h));
  for (int x = 0; x <= w; x += 8) {
    const double t = x / double(w);
    p.lineTo(x, base - amp * (0.6 * std::sin(t * f1 + phase) + 0.4 * std::sin(t * f2 + 2 * phase)));
  }
  p.lineTo(w, h);
  p.closeSubpath();
  return p;
}

QImage Landscape(int w, int h) {
  QImage img(w, h, QImage::Format_RGB32);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, h * 0.62);
  sky.setColorAt(0, QColor(24, 44, 92));
  sky.setColorAt(0.55, QColor(92, 120, 170));
  sky.setColorAt(0.85, QColor(236, 170, 120));
  sky.setColorAt(1, QColor(250, 210, 150));
  p.fillRect(img.rect(), sky);
  QRadialGradient sun(w * 0.3, h * 0.55, h * 0.35);
  sun.setColorAt(0, QColor(255, 240, 200, 255));
  sun.setColorAt(0.08, QColor(255, 220, 160, 230));
  sun.setColorAt(1, QColor(255, 200, 140, 0));
  p.fillRect(img.rect(), sun);
  const struct {
    double base, amp, f1, f2, phase;
    QColor top, bottom;
  } ridges[] = {{0.58, 0.12, 7, 17, 0.4, QColor(104, 110, 150), QColor(140, 130, 150)},
                {0.66, 0.09, 5, 23, 1.9, QColor(58, 76, 96), QColor(90, 100, 110)},
                {0.74, 0.06, 3, 11, 3.1, QColor(34, 60, 52), QColor(50, 80, 60)}};
  for (const auto& r : ridges) {
    QLinearGradient g(0, h * (r.base - r.amp), 0, h);
    g.setColorAt(0, r.top);
    g.setColorAt(1, r.bottom);
    p.fillPath(Ridge(w, h, h * r.base, h * r.amp, r.f1, r.f2, r.phase), g);
  }
  QLinearGradient lake(0, h * 0.8, 0, h);
  lake.setColorAt(0, QColor(70, 96, 130));
  lake.setColorAt(1, QColor(24, 36, 60));
  p.fillRect(QRectF(0, h * 0.8, w, h * 0.2), lake);
  QLinearGradient glint(w * 0.22, 0, w * 0.38, 0);
  glint.setColorAt(0, QColor(255, 220, 170, 0));
  glint.setColorAt(0.5, QColor(255, 220, 170, 110));
  glint.setColorAt(1, QColor(255, 220, 170, 0));
  p.fillRect(QRectF(w * 0.22, h * 0.8, w * 0.16, h * 0.2), glint);
  return img;
}

// The darkening the wallpaper puts under the calendar ("glass").
void Darken(QImage& img, const CalendarBox& r) {
  for (int y = std::max(0, r.top); y < std::min(img.height(), r.bottom); ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = std::max(0, r.left); x < std::min(img.width(), r.right); ++x) {
      const QRgb c = line[x];
      line[x] = qRgb(int(qRed(c) * 0.7), int(qGreen(c) * 0.7), int(qBlue(c) * 0.7));
    }
  }
}
}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  QDate today =
      argc > 2 ? QDate::fromString(QString::fromLatin1(argv[2]), Qt::ISODate) : QDate(2026, 12, 9);
  if (!today.isValid()) {
    std::fprintf(stderr, "not a date: %s\n", argv[2]);
    return 2;
  }
  QDir().mkpath(folder);

  const int w = 1920, h = 1080;
  Config config(QSize(w, h));
  auto& marks = config.ColorRemConfig.ColorReminders;
  const int first = DateToDayNumber(QDate(today.year(), today.month(), 1));
  for (const auto& [day, style] :
       {std::pair{2, 0}, {2, 1}, {2, 2}, {10, 0}, {15, 2}, {23, 1}, {23, 2}, {27, 0}})
    marks.append(ColorReminder{first + day, kDotColorsInOrder[style]});

  const QImage background = Landscape(w, h);
  const struct {
    const char* name;
    int style, posX, posY;
  } styles[] = {{"classic", 0, 120, 5}, {"vertical", 1, 140, 8}, {"horizontal", 2, 40, 112}};
  for (const auto& s : styles) {
    config.CalendarConfig.Style = static_cast<CalendarStyle>(s.style);
    config.CalendarConfig.PosX = s.posX;
    config.CalendarConfig.PosY = s.posY;
    QImage canvas = background;
    const CalendarBox r = CalendarRect(w, h, config, today);
    Darken(canvas, r);
    DrawCalendar(canvas, w, h, config, today);  // the first call also warms the font caches
    constexpr int kRuns = 20;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kRuns; ++i) {
      QImage scratch = background;
      DrawCalendar(scratch, w, h, config, today);
    }
    const double ms = timer.nsecsElapsed() / 1e6 / kRuns;
    const QString file = QDir(folder).filePath(QStringLiteral("calendar-%1.png").arg(s.name));
    if (!canvas.save(file)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
      return 1;
    }
    std::printf("%-10s rect %d,%d-%d,%d cell %d  draw %.2f ms  %s (%lld bytes)\n", s.name, r.left,
                r.top, r.right, r.bottom, r.cell, ms, qPrintable(file),
                static_cast<long long>(QFileInfo(file).size()));
  }
  return 0;
}
