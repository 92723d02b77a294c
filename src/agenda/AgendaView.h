#pragma once
// What the agenda adds to the drawn calendar: a mark per calendar on the days with events,
// and the lines of the list under the month.
#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <cstdint>

struct AgendaListLine {
  QDate day;
  QString time;  // "09:30", empty for an all-day event
  QString summary;
  uint32_t color = 0;  // 0x00BBGGRR, the calendar's
  bool operator==(const AgendaListLine&) const = default;
};

struct AgendaView {
  // Day number (days since 1899-12-30) to the colours of the calendars with an event that
  // day, one each, in the order the calendars are listed.
  QHash<int, QList<uint32_t>> marks;
  QList<AgendaListLine> lines;
  bool operator==(const AgendaView&) const = default;
  bool isEmpty() const { return marks.isEmpty() && lines.isEmpty(); }
};
