#include "platform/DateTime.h"

#include <cmath>

QDate EpochDate() { return QDate(1899, 12, 30); }

double DateTimeToDays(const QDateTime& dt) {
  const double day = static_cast<double>(EpochDate().daysTo(dt.date()));
  return day + dt.time().msecsSinceStartOfDay() / (kSecondsPerDay * 1000.0);
}

QDateTime DaysToDateTime(double days) {
  // Not a date (NaN, infinities, beyond any calendar): no date-time rather than undefined
  // arithmetic.
  if (!std::isfinite(days) || std::fabs(days) > 1e9) return QDateTime();
  const double whole = std::floor(days);
  const QDate date = EpochDate().addDays(static_cast<qint64>(whole));
  qint64 ms = std::llround((days - whole) * kSecondsPerDay * 1000.0);
  if (ms >= 86400000) ms = 86399999;  // rounding must not spill into the next day
  return QDateTime(date, QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)));
}

int DayNumber(double days) { return static_cast<int>(days); }

int DateToDayNumber(const QDate& date) { return static_cast<int>(EpochDate().daysTo(date)); }

QDate DayNumberToDate(int day) { return EpochDate().addDays(day); }
