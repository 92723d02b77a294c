#pragma once
// Month and day names, in English or the user's language, and the week-column arithmetic.
#include <QDate>
#include <QLocale>
#include <QString>
#include <optional>

extern const char* const EnglishMonthNames[12];
extern const char* const EnglishDayNames[7];  // Sunday first

// The column 1..7 of a weekday numbered 1 = Sunday ... 7 = Saturday.
int WeekColumn(int dayOfWeek);
// The heading of a column 1..7, at most two characters; empty for any other column.
QString DayName(int column);
QString MonthName(const QDate& date);
// The month name, two spaces and the four-digit year.
QString MonthTitle(const QDate& date);

// The locale of the "Local" names: the system's unless another is set (tests set one).
void SetCalendarLocale(const std::optional<QLocale>& locale);
QLocale CalendarLocale();
