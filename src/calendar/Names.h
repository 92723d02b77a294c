#pragma once
// Month and day names, in English or the user's language, and the week-column arithmetic.
#include <QDate>
#include <QLocale>
#include <QString>
#include <optional>

struct CalendarConfigT;

extern const char* const EnglishMonthNames[12];
extern const char* const EnglishDayNames[7];  // Sunday first

// Each reads the first week day and the language from the calendar settings it is given,
// so the wallpaper, the month grid and the tests share one path.

// The column 1..7 of a weekday numbered 1 = Sunday ... 7 = Saturday.
int WeekColumn(int dayOfWeek, const CalendarConfigT& k);
// The heading of a column 1..7, at most two characters; empty for any other column.
QString DayName(int column, const CalendarConfigT& k);
QString MonthName(const QDate& date, const CalendarConfigT& k);
// The month name, two spaces and the four-digit year.
QString MonthTitle(const QDate& date, const CalendarConfigT& k);

// The locale of the "Local" names: the system's unless another is set (tests set one).
void SetCalendarLocale(const std::optional<QLocale>& locale);
QLocale CalendarLocale();
