// How long reading and expanding calendars takes: a typical personal calendar, a large one,
// and the largest file the reader accepts.
#include <QDateTime>
#include <QElapsedTimer>
#include <cstdio>

#include "agenda/IcsReader.h"

namespace {
QByteArray Calendar(int events, int padding) {
  QByteArray ics = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//bench//EN\r\n";
  const QByteArray pad(padding, 'x');
  for (int i = 0; i < events; ++i) {
    const QDateTime start =
        QDateTime(QDate(2020, 1, 1), QTime(9, 0), QTimeZone::utc()).addDays(i % 2500);
    ics += "BEGIN:VEVENT\r\nUID:e" + QByteArray::number(i) + "\r\nDTSTART;TZID=Europe/Berlin:" +
           start.toString(QStringLiteral("yyyyMMddTHHmmss")).toLatin1() +
           "\r\nDURATION:PT1H\r\nSUMMARY:Event " + QByteArray::number(i) +
           "\r\nDESCRIPTION:" + pad + "\r\n";
    if (i % 10 == 0) ics += "RRULE:FREQ=WEEKLY;BYDAY=MO,WE\r\n";
    ics += "END:VEVENT\r\n";
  }
  return ics + "END:VCALENDAR\r\n";
}

void Measure(const char* name, const QByteArray& ics) {
  QElapsedTimer t;
  t.start();
  const IcsResult r =
      ReadIcs(ics, QDate(2026, 3, 1), QDate(2026, 4, 14), QTimeZone("Europe/Berlin"));
  std::printf("%-34s %9.1f KB  %6lld ms  %6lld occurrences%s%s\n", name, ics.size() / 1024.0,
              static_cast<long long>(t.elapsed()), static_cast<long long>(r.events.size()),
              r.truncated ? "  (truncated)" : "", r.error.isEmpty() ? "" : "  (refused)");
}
}  // namespace

int main() {
  Measure("500 events, 50 weekly", Calendar(500, 40));
  Measure("5000 events, 500 weekly", Calendar(5000, 40));
  Measure("35000 events (about 15 MB)", Calendar(35000, 300));
  Measure("50 MB", Calendar(140000, 300));
  return 0;
}
