#include "reminders/Recurrence.h"

#include <cmath>

#include "platform/DateTime.h"
#include "settings/Config.h"

namespace {
enum { kDaily = 1, kWeekly = 2, kMonthly = 3, kYearly = 4 };

qint64 FloorDiv(qint64 a, qint64 b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

QDate WithDay(int year, int month, int day) {
  const QDate first(year, month, 1);
  return QDate(year, month, qMin(day, first.daysInMonth()));
}

// The day of the month a monthly or yearly reminder keeps. RecurDay only counts while the
// reminder sits on a month's last day short of it (it was cut short there); a date set
// anew on the page brings its own day.
int AnchorDay(const PopupReminder& r) {
  const QDate d = DaysToDateTime(r.DateTime).date();
  if (r.RecurDay > d.day() && d.day() == d.daysInMonth()) return r.RecurDay;
  return d.day();
}
}  // namespace

bool IsRecurring(int recur) { return recur >= kDaily && recur <= kYearly; }

double NextOccurrence(double dateTime, int recur, int anchorDay) {
  const double whole = std::floor(dateTime);
  const double time = dateTime - whole;
  switch (recur) {
    case kDaily:
      return dateTime + 1;
    case kWeekly:
      return dateTime + 7;
    case kMonthly:
    case kYearly: {
      const QDate d = DayNumberToDate(static_cast<int>(whole));
      const QDate next = recur == kMonthly ? d.addMonths(1) : d.addYears(1);
      return DateToDayNumber(WithDay(next.year(), next.month(), anchorDay)) + time;
    }
    default:
      return dateTime;
  }
}

qint64 ReminderSlot(double dateTime) {
  // The wall-clock minute, rounded as DaysToDateTime rounds, without building a QDateTime:
  // the tick asks this of every reminder every second.
  const double whole = std::floor(dateTime);
  qint64 ms = std::llround((dateTime - whole) * kSecondsPerDay * 1000.0);
  if (ms >= 86400000) ms = 86399999;
  const qint64 minutes = static_cast<qint64>(whole) * 1440 + ms / 60000;
  return FloorDiv(minutes, 4);
}

void MoveToNextOccurrence(PopupReminder& r, double now) {
  if (!IsRecurring(r.Recur)) return;
  const int anchor = AnchorDay(r);
  const qint64 nowSlot = ReminderSlot(now);
  // Days and weeks jump straight to the last occurrence before now; a reminder years
  // behind must not cost a loop per day.
  if (r.Recur == kDaily || r.Recur == kWeekly) {
    const double step = r.Recur == kDaily ? 1 : 7;
    const double behind = std::floor((now - r.DateTime) / step) - 1;
    if (behind > 0) r.DateTime += behind * step;
  }
  do {
    r.DateTime = NextOccurrence(r.DateTime, r.Recur, anchor);
  } while (ReminderSlot(r.DateTime) < nowSlot);
  r.RecurDay = anchor;
}
