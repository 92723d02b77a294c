#include "calendar/Geometry.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <functional>

#include "calendar/Names.h"
#include "platform/Services.h"
#include "settings/Config.h"

namespace {
// No screen comes near this; a rectangle beyond it comes from a hand-edited setting and
// would only overflow the drawers' arithmetic.
constexpr int64_t kMaxCoordinate = int64_t{1} << 24;
}  // namespace

QDate CalendarToday(const IClock& clock) { return clock.Now().date(); }

int WeekdayOf(const QDate& date) { return date.dayOfWeek() % 7 + 1; }

int DaysInMonthOf(const QDate& date) {
  int n = 0;
  for (QDate d(date.year(), date.month(), 1); d.month() == date.month(); d = d.addDays(1)) ++n;
  return n;
}

int DaysInLastColumn(const QDate& date, const CalendarConfigT& k) {
  int n = 0;
  for (QDate d(date.year(), date.month(), 1); d.month() == date.month(); d = d.addDays(1))
    if (WeekColumn(WeekdayOf(d), k) == 7) ++n;
  return n;
}

int TruncToInt(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return INT_MAX;
  if (v <= -2147483648.0) return INT_MIN;
  return static_cast<int>(v);
}

QPoint CalendarOrigin(int width, int height, const CalendarConfigT& k, QSize desktopBox) {
  // Single precision on purpose: positions must land on the same pixels as they always have.
  const float rx = static_cast<float>(desktopBox.width()) / static_cast<float>(width);
  const float ry = static_cast<float>(desktopBox.height()) / static_cast<float>(height);
  const float x = static_cast<float>(k.PosX) / rx;
  const float y = static_cast<float>(k.PosY) / ry;
  // A zero-sized miniature or canvas gives no scale; keep such a calendar at the edge.
  return QPoint(std::isfinite(x) ? TruncToInt(x) : 0, std::isfinite(y) ? TruncToInt(y) : 0);
}

namespace {
// The miniature's position whose canvas origin is the nearest to `target` on the side that
// keeps the calendar clear: at or past it (`atLeast`), else at or before it.
int PositionFor(int target, bool atLeast, int position, const std::function<int(int)>& origin) {
  for (int step = 0; step < 4096 && origin(position) < target; ++step) ++position;
  for (int step = 0; step < 4096 && origin(position) > target; ++step) --position;
  if (atLeast && origin(position) < target) ++position;
  return position;
}
}  // namespace

void KeepCalendarInside(CalendarConfigT& k, QSize screen, QSize desktopBox, const QRect& area,
                        const QDate& today) {
  if (screen.isEmpty() || desktopBox.isEmpty() || area.isEmpty()) return;
  const CalendarBox r = CalendarRect(screen.width(), screen.height(), k, desktopBox, today);
  if (r.isEmpty()) return;
  const int w = r.right - r.left, h = r.bottom - r.top;
  // The right and bottom edges first, so a calendar larger than the area keeps its corner
  // at the area's top left.
  int x = std::min(r.left, area.x() + area.width() - w),
      y = std::min(r.top, area.y() + area.height() - h);
  x = std::max(x, area.x());
  y = std::max(y, area.y());
  CalendarConfigT probe = k;
  if (x != r.left) {
    k.PosX = PositionFor(x, x > r.left, x * desktopBox.width() / screen.width(), [&](int p) {
      probe.PosX = p;
      return CalendarOrigin(screen.width(), screen.height(), probe, desktopBox).x();
    });
  }
  if (y != r.top) {
    k.PosY = PositionFor(y, y > r.top, y * desktopBox.height() / screen.height(), [&](int p) {
      probe.PosY = p;
      return CalendarOrigin(screen.width(), screen.height(), probe, desktopBox).y();
    });
  }
}

CalendarBox CalendarRect(int width, int height, const CalendarConfigT& k, QSize desktopBox,
                         const QDate& today) {
  const double size = k.Size;
  int64_t cell = 0, w = 0, h = 0;
  switch (k.Style) {
    case CalendarStyle::Classic: {
      w = TruncToInt(height * size * 0.6 * 0.01);
      cell = w / 7;
      h = (int64_t{DaysInLastColumn(today, k)} + 3) * cell;
      break;
    }
    case CalendarStyle::Vertical:
      cell = TruncToInt(height * size * 0.01) / 14;
      w = 5 * cell;
      h = 14 * cell;
      break;
    case CalendarStyle::Horizontal: {
      const int days = DaysInMonthOf(today);
      cell = TruncToInt(width * size * 0.01) / days;
      w = days * cell;
      h = 3 * cell;
      break;
    }
    default:
      return CalendarBox{};
  }
  // A size that leaves no whole pixel per cell (or a negative one) has nothing to draw.
  if (cell <= 0) return CalendarBox{};
  const QPoint o = CalendarOrigin(width, height, k, desktopBox);
  const int64_t right = int64_t{o.x()} + w, bottom = int64_t{o.y()} + h;
  if (std::llabs(o.x()) > kMaxCoordinate || std::llabs(o.y()) > kMaxCoordinate ||
      right > kMaxCoordinate || bottom > kMaxCoordinate)
    return CalendarBox{};
  return CalendarBox{o.x(), o.y(), static_cast<int>(right), static_cast<int>(bottom),
                     static_cast<int>(cell)};
}
