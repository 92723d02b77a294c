#include "calendar/Names.h"

#include "settings/Config.h"

const char* const EnglishMonthNames[12] = {"January",   "February", "March",    "April",
                                           "May",       "June",     "July",     "August",
                                           "September", "October",  "November", "December"};
const char* const EnglishDayNames[7] = {"Su", "Mo", "Tu", "We", "Th", "Fr", "Sa"};

namespace {
std::optional<QLocale>& LocaleOverride() {
  static std::optional<QLocale> locale;
  return locale;
}

// The first two characters, never splitting a surrogate pair.
QString FirstTwo(const QString& s) {
  int n = 0, chars = 0;
  while (n < s.size() && chars < 2) {
    n += (s.at(n).isHighSurrogate() && n + 1 < s.size()) ? 2 : 1;
    ++chars;
  }
  return s.left(n);
}
}  // namespace

void SetCalendarLocale(const std::optional<QLocale>& locale) { LocaleOverride() = locale; }

QLocale CalendarLocale() { return LocaleOverride().value_or(QLocale::system()); }

int WeekColumn(int dayOfWeek, const CalendarConfigT& k) {
  if (k.FirstWeekDay == WeekStart::Monday) {
    const int c = dayOfWeek - 1;
    return c == 0 ? 7 : c;
  }
  return dayOfWeek;
}

QString DayName(int column, const CalendarConfigT& k) {
  if (column < 1 || column > 7) return QString();
  int weekday = column;  // 1 = Sunday
  if (k.FirstWeekDay == WeekStart::Monday) weekday = column == 7 ? 1 : column + 1;
  if (k.Language != CalendarLanguage::Local)
    return QString::fromLatin1(EnglishDayNames[weekday - 1]);
  // Qt numbers the days Monday = 1 ... Sunday = 7.
  const int qtDay = weekday == 1 ? 7 : weekday - 1;
  return FirstTwo(CalendarLocale().dayName(qtDay, QLocale::ShortFormat));
}

QString MonthName(const QDate& date, const CalendarConfigT& k) {
  if (!date.isValid()) return QString();
  if (k.Language != CalendarLanguage::Local)
    return QString::fromLatin1(EnglishMonthNames[date.month() - 1]);
  // The name on its own, as a title shows it (not the form used inside a date).
  return CalendarLocale().standaloneMonthName(date.month(), QLocale::LongFormat);
}

QString MonthTitle(const QDate& date, const CalendarConfigT& k) {
  return MonthName(date, k) + QStringLiteral("  ") +
         QString::number(date.year()).rightJustified(4, u'0');
}
