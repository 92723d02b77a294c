#include "reminders/Recurrence.h"

#include <cmath>
#include <limits>

#include "platform/DateTime.h"
#include "settings/Config.h"

namespace {
qint64 FloorDiv(qint64 a, qint64 b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

QDate WithDay(int year, int month, int day) {
  const QDate first(year, month, 1);
  return QDate(year, month, qMin(day, first.daysInMonth()));
}

const qint64 kNoSlot = std::numeric_limits<qint64>::min();
// More steps than any catch-up takes once the bulk of the way is jumped.
constexpr int kMostSteps = 1000;

// The day of the month a monthly or yearly reminder keeps. RecurDay only counts while the
// reminder sits on a month's last day short of it (it was cut short there); a date set
// anew on the page brings its own day.
int AnchorDay(const PopupReminder& r) {
  const QDate d = DaysToDateTime(r.DateTime).date();
  if (r.RecurDay > d.day() && d.day() == d.daysInMonth()) return qMin(r.RecurDay, 31);
  return d.day();
}

// Whole months from the month of `from` to the month of `to`.
int MonthsBetween(const QDate& from, const QDate& to) {
  return (to.year() - from.year()) * 12 + to.month() - from.month();
}
}  // namespace

bool IsUsableDate(double dateTime) {
  static const double first = DateToDayNumber(QDate(100, 1, 1));
  static const double end = DateToDayNumber(QDate(10000, 1, 1));
  return std::isfinite(dateTime) && dateTime >= first && dateTime < end;
}

bool IsRecurring(Recurrence recur) {
  switch (recur) {
    case Recurrence::Daily:
    case Recurrence::Weekly:
    case Recurrence::Monthly:
    case Recurrence::Yearly:
      return true;
    default:
      return false;
  }
}

double NextOccurrence(double dateTime, Recurrence recur, int anchorDay) {
  const double whole = std::floor(dateTime);
  const double time = dateTime - whole;
  switch (recur) {
    case Recurrence::Daily:
      return dateTime + 1;
    case Recurrence::Weekly:
      return dateTime + 7;
    case Recurrence::Monthly:
    case Recurrence::Yearly: {
      const QDate d = DayNumberToDate(static_cast<int>(whole));
      const QDate next = recur == Recurrence::Monthly ? d.addMonths(1) : d.addYears(1);
      return DateToDayNumber(WithDay(next.year(), next.month(), anchorDay)) + time;
    }
    default:
      return dateTime;
  }
}

namespace {
double PreviousOccurrence(double dateTime, Recurrence recur, int anchorDay) {
  const double whole = std::floor(dateTime);
  switch (recur) {
    case Recurrence::Daily:
      return dateTime - 1;
    case Recurrence::Weekly:
      return dateTime - 7;
    case Recurrence::Monthly:
    case Recurrence::Yearly: {
      const QDate d = DayNumberToDate(static_cast<int>(whole));
      const QDate prev = recur == Recurrence::Monthly ? d.addMonths(-1) : d.addYears(-1);
      return DateToDayNumber(WithDay(prev.year(), prev.month(), anchorDay)) + (dateTime - whole);
    }
    default:
      return dateTime;
  }
}
}  // namespace

qint64 ReminderSlot(double dateTime) {
  if (!IsUsableDate(dateTime)) return kNoSlot;
  // The wall-clock minute, rounded as DaysToDateTime rounds, without building a QDateTime:
  // the tick asks this of every reminder every second.
  const double whole = std::floor(dateTime);
  qint64 ms = std::llround((dateTime - whole) * kSecondsPerDay * 1000.0);
  if (ms >= 86400000) ms = 86399999;
  const qint64 minutes = static_cast<qint64>(whole) * 1440 + ms / 60000;
  return FloorDiv(minutes, 4);
}

double LatestOccurrence(const PopupReminder& r, double now) {
  if (!IsRecurring(r.Recur) || !IsUsableDate(r.DateTime) || !IsUsableDate(now) ||
      ReminderSlot(r.DateTime) >= ReminderSlot(now))
    return r.DateTime;
  // The first occurrence that is not past, if it is due now; else the one before it.
  PopupReminder next = r;
  MoveToNextOccurrence(next, now);
  if (ReminderSlot(next.DateTime) == ReminderSlot(now)) return next.DateTime;
  const double latest = PreviousOccurrence(next.DateTime, r.Recur, next.RecurDay);
  return latest > r.DateTime ? latest : r.DateTime;
}

void MoveToNextOccurrence(PopupReminder& r, double now) {
  if (!IsRecurring(r.Recur) || !IsUsableDate(r.DateTime) || !IsUsableDate(now)) return;
  const int anchor = AnchorDay(r);
  const qint64 nowSlot = ReminderSlot(now);
  // Jump straight to about the last occurrence before now; a reminder centuries behind
  // must not cost a loop per day or per month.
  if (r.Recur == Recurrence::Daily || r.Recur == Recurrence::Weekly) {
    const double step = r.Recur == Recurrence::Daily ? 1 : 7;
    const double behind = std::floor((now - r.DateTime) / step) - 1;
    if (behind > 0) r.DateTime += behind * step;
  } else {
    const double whole = std::floor(r.DateTime);
    const QDate from = DayNumberToDate(static_cast<int>(whole));
    const int months = MonthsBetween(from, DayNumberToDate(static_cast<int>(std::floor(now))));
    const int behind = r.Recur == Recurrence::Monthly ? months - 1 : months / 12 - 1;
    if (behind > 0) {
      const QDate to =
          r.Recur == Recurrence::Monthly ? from.addMonths(behind) : from.addYears(behind);
      r.DateTime = DateToDayNumber(WithDay(to.year(), to.month(), anchor)) + (r.DateTime - whole);
    }
  }
  int steps = 0;
  do {
    r.DateTime = NextOccurrence(r.DateTime, r.Recur, anchor);
  } while (++steps < kMostSteps && IsUsableDate(r.DateTime) && ReminderSlot(r.DateTime) < nowSlot);
  r.RecurDay = anchor;
}
