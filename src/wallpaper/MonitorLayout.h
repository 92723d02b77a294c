#pragma once
// What is composed for which monitor, and how the pictures make one for a desktop that takes a
// single picture across all its monitors.
#include <QImage>
#include <QList>
#include <QPoint>
#include <QSize>
#include <QString>

#include "platform/Monitors.h"

// One composition: the monitor, whether the calendar goes on it, and the file it is written to.
struct MonitorJob {
  Monitor monitor;
  bool calendar = false;
  QString file;
};

// The monitor's name made safe as part of a file name: letters, digits, '-' and '_' kept,
// anything else '_'; "monitor" when nothing is left.
QString SafeFileNamePart(const QString& name);
// Where the picture of a monitor other than the primary is written: beside the primary's file,
// its name followed by '-' and the monitor's (Quillatorne-HDMI-A-1.bmp).
QString MonitorPictureFile(const QString& primaryFile, const QString& monitorName);

// The compositions for the monitors, the primary's first: it alone carries the calendar and is
// written to `primaryFile`. No monitors is taken as one of `fallback` size.
QList<MonitorJob> PlanMonitorPictures(const MonitorList& monitors, const QString& primaryFile,
                                      QSize fallback);

// One picture across all monitors: its size is the bounding box of the monitors, and each
// monitor's region lies at its place in the box.
struct SpannedLayout {
  QSize size;
  QList<QRect> regions;  // in the order of the monitors
};
SpannedLayout SpanMonitors(const MonitorList& monitors);
// The monitors' pictures in their regions; what no monitor shows is black.
QImage SpannedPicture(const QList<MonitorPicture>& pictures);
