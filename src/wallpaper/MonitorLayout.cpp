#include "wallpaper/MonitorLayout.h"

#include <QFileInfo>
#include <QPainter>

QString SafeFileNamePart(const QString& name) {
  QString safe;
  for (const QChar c : name) {
    const bool keep = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                      (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                      (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-') ||
                      c == QLatin1Char('_');
    safe += keep ? c : QLatin1Char('_');
  }
  // Never hidden, never an option, never too long for a file name.
  while (safe.startsWith(QLatin1Char('-'))) safe[0] = QLatin1Char('_');
  safe.truncate(64);
  return safe.isEmpty() ? QStringLiteral("monitor") : safe;
}

QString MonitorPictureFile(const QString& primaryFile, const QString& monitorName) {
  const QFileInfo info(primaryFile);
  return info.path() + QLatin1Char('/') + info.completeBaseName() + QLatin1Char('-') + SafeFileNamePart(monitorName) +
         QLatin1Char('.') + info.suffix();
}

QList<MonitorJob> PlanMonitorPictures(const MonitorList& monitors, const QString& primaryFile,
                                      QSize fallback) {
  if (monitors.isEmpty())
    return {MonitorJob{Monitor{QString(), QRect(QPoint(0, 0), fallback), true}, true, primaryFile}};
  qsizetype primaryAt = 0;
  for (qsizetype i = 0; i < monitors.size(); ++i)
    if (monitors[i].primary) {
      primaryAt = i;
      break;
    }
  QList<MonitorJob> jobs{MonitorJob{monitors[primaryAt], true, primaryFile}};
  jobs.first().monitor.primary = true;
  QStringList taken;
  for (qsizetype i = 0; i < monitors.size(); ++i) {
    if (i == primaryAt) continue;
    const Monitor& m = monitors[i];
    QString file = MonitorPictureFile(primaryFile, m.name);
    // Two names that differ only in what was made safe still get files of their own.
    for (int n = 2; taken.contains(file); ++n)
      file = MonitorPictureFile(primaryFile, m.name + QStringLiteral("-%1").arg(n));
    taken << file;
    jobs << MonitorJob{m, false, file};
    jobs.last().monitor.primary = false;
  }
  return jobs;
}

SpannedLayout SpanMonitors(const MonitorList& monitors) {
  QRect box;
  for (const Monitor& m : monitors) box |= m.rect;
  SpannedLayout layout;
  layout.size = box.size();
  for (const Monitor& m : monitors) layout.regions << m.rect.translated(-box.topLeft());
  return layout;
}

QImage SpannedPicture(const QList<MonitorPicture>& pictures) {
  MonitorList monitors;
  for (const MonitorPicture& p : pictures) monitors << p.monitor;
  const SpannedLayout layout = SpanMonitors(monitors);
  QImage canvas(layout.size, QImage::Format_RGB32);
  if (canvas.isNull()) return canvas;
  canvas.fill(Qt::black);
  QPainter painter(&canvas);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  for (qsizetype i = 0; i < pictures.size(); ++i)
    painter.drawImage(layout.regions[i].topLeft(), pictures[i].image);
  return canvas;
}
