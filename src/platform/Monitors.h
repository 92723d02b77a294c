#pragma once
// The monitors of the desktop as the wallpaper sees them: each one's name, its place and size in
// device pixels, and which one is the primary.
#include <QImage>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

struct Monitor {
  QString name;  // the desktop's name for it (HDMI-A-1, eDP-1); empty when the desktop has none
  QRect rect;    // in device pixels: the mode with the rotation applied, placed in the layout
  bool primary = false;
  bool operator==(const Monitor&) const = default;
};
using MonitorList = QList<Monitor>;

// A monitor as the desktop lays it out: its place and size in the desktop's logical
// coordinates, and its own size in device pixels.
struct LogicalMonitor {
  QString name;
  QRect logical;
  QSize device;
};

// The monitors placed in device pixels. Each keeps the logical place of its top-left corner
// unless a monitor to its left (above it) has grown by its scale; then it moves by as much, so
// that monitors that touch still touch and none overlaps. The primary is the named one, else
// the first.
MonitorList PlaceInDevicePixels(const QList<LogicalMonitor>& monitors,
                                const QString& primary = QString());

// The active outputs of a `swaymsg -r -t get_outputs` answer: the size of each one's mode with
// its transform (a turned output is portrait), placed by its rectangle. sway has no primary
// output: the one named, else the first active one in sway's order.
MonitorList SwayMonitors(const QString& outputsJson, const QString& primary = QString());

// The monitor marked primary; the first when none is (an empty one when there are none).
Monitor PrimaryMonitor(const MonitorList& monitors);

// One monitor's picture: the file written for it and the same picture in memory.
struct MonitorPicture {
  Monitor monitor;
  QString file;
  QImage image;
};
