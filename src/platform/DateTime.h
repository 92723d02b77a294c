#pragma once
// Date-times are doubles: days since 1899-12-30 00:00 local time, the fraction
// being the time of day. This is the only place that converts them.
#include <QDate>
#include <QDateTime>

constexpr double kSecondsPerDay = 86400.0;
constexpr double kMinutesPerDay = 1440.0;

QDate EpochDate();  // 1899-12-30
double DateTimeToDays(const QDateTime& dt);
QDateTime DaysToDateTime(double days);  // invalid for what is not a date
int DayNumber(double days);  // the date part, truncated
int DateToDayNumber(const QDate& date);
QDate DayNumberToDate(int day);
