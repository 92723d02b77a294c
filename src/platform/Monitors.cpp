#include "platform/Monitors.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace {
// One axis of the placement: the start of each monitor in device pixels. `before(a, b)` says
// whether a lies wholly before b on this axis and beside it on the other.
template <typename Start, typename Logical, typename Device, typename Before>
QList<int> PlaceAxis(const QList<LogicalMonitor>& monitors, Start start, Logical logicalLength,
                     Device deviceLength, Before before) {
  const qsizetype n = monitors.size();
  QList<qsizetype> order(n);
  for (qsizetype i = 0; i < n; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
    return start(monitors[a]) < start(monitors[b]);
  });
  QList<int> placed(n);
  for (qsizetype k = 0; k < n; ++k) {
    const LogicalMonitor& m = monitors[order[k]];
    int at = start(m);
    for (qsizetype j = 0; j < k; ++j) {
      const LogicalMonitor& earlier = monitors[order[j]];
      if (!before(earlier, m)) continue;
      // The gap between them, if any, stays as it was.
      const int gap = start(m) - (start(earlier) + logicalLength(earlier));
      at = std::max(at, placed[order[j]] + deviceLength(earlier) + gap);
    }
    placed[order[k]] = at;
  }
  return placed;
}

bool OverlapRows(const QRect& a, const QRect& b) {
  return a.top() <= b.bottom() && b.top() <= a.bottom();
}
bool OverlapColumns(const QRect& a, const QRect& b) {
  return a.left() <= b.right() && b.left() <= a.right();
}

QSize TurnedSize(int width, int height, const QString& transform) {
  // "90", "270", "flipped-90", "flipped-270" stand the mode on its side.
  if (transform.endsWith(QLatin1String("90")) || transform.endsWith(QLatin1String("270")))
    return QSize(height, width);
  return QSize(width, height);
}
}  // namespace

MonitorList PlaceInDevicePixels(const QList<LogicalMonitor>& monitors, const QString& primary) {
  using M = const LogicalMonitor&;
  const QList<int> xs = PlaceAxis(
      monitors, [](M m) { return m.logical.x(); }, [](M m) { return m.logical.width(); },
      [](M m) { return m.device.width(); },
      [](M a, M b) {
        return a.logical.right() < b.logical.left() && OverlapRows(a.logical, b.logical);
      });
  const QList<int> ys = PlaceAxis(
      monitors, [](M m) { return m.logical.y(); }, [](M m) { return m.logical.height(); },
      [](M m) { return m.device.height(); },
      [](M a, M b) {
        return a.logical.bottom() < b.logical.top() && OverlapColumns(a.logical, b.logical);
      });
  MonitorList result;
  qsizetype primaryAt = 0;
  for (qsizetype i = 0; i < monitors.size(); ++i) {
    result << Monitor{monitors[i].name, QRect(QPoint(xs[i], ys[i]), monitors[i].device), false};
    if (!primary.isEmpty() && monitors[i].name == primary) primaryAt = i;
  }
  if (!result.isEmpty()) result[primaryAt].primary = true;
  return result;
}

MonitorList SwayMonitors(const QString& outputsJson, const QString& primary) {
  QList<LogicalMonitor> outputs;
  for (const QJsonValue& v : QJsonDocument::fromJson(outputsJson.toUtf8()).array()) {
    const QJsonObject o = v.toObject();
    if (!o[QStringLiteral("active")].toBool()) continue;
    const QJsonObject r = o[QStringLiteral("rect")].toObject();
    const QRect logical(r[QStringLiteral("x")].toInt(), r[QStringLiteral("y")].toInt(),
                        r[QStringLiteral("width")].toInt(), r[QStringLiteral("height")].toInt());
    const QJsonObject mode = o[QStringLiteral("current_mode")].toObject();
    QSize device = TurnedSize(mode[QStringLiteral("width")].toInt(),
                              mode[QStringLiteral("height")].toInt(),
                              o[QStringLiteral("transform")].toString());
    if (device.isEmpty()) {
      // No mode reported: the layout size at the output's scale.
      const double scale = o[QStringLiteral("scale")].toDouble(1.0);
      device = QSize(qRound(logical.width() * scale), qRound(logical.height() * scale));
    }
    if (device.isEmpty()) continue;
    outputs << LogicalMonitor{o[QStringLiteral("name")].toString(), logical, device};
  }
  return PlaceInDevicePixels(outputs, primary);
}

Monitor PrimaryMonitor(const MonitorList& monitors) {
  for (const Monitor& m : monitors)
    if (m.primary) return m;
  return monitors.isEmpty() ? Monitor{} : monitors.first();
}
