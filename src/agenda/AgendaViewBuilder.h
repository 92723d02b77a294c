#pragma once
// From the events of every followed calendar to what the calendar on the wallpaper shows.
#include <QDateTime>
#include <QList>

#include "agenda/AgendaView.h"
#include "agenda/IcsReader.h"

struct CalendarEvents {
  uint32_t color = 0;
  QList<AgendaEvent> events;
};

constexpr int kMaxAgendaListLines = 12;

// The marks of the month of `now`, one per calendar per day, and, when showList, the events
// not yet over that start within the coming listDays days (today the first of them).
AgendaView BuildAgendaView(const QList<CalendarEvents>& calendars, const QDateTime& now,
                           bool showList, int listDays);
