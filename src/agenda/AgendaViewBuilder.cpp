#include "agenda/AgendaViewBuilder.h"

#include <QSet>
#include <algorithm>

#include "platform/DateTime.h"

AgendaView BuildAgendaView(const QList<CalendarEvents>& calendars, const QDateTime& now,
                           bool showList, int listDays) {
  AgendaView view;
  const QDate today = now.date();
  const QDate first(today.year(), today.month(), 1);
  const QDate last = first.addMonths(1).addDays(-1);
  for (const CalendarEvents& c : calendars) {
    QSet<int> marked;
    for (const AgendaEvent& e : c.events) {
      const QDate from = std::max(e.firstDay, first), to = std::min(e.lastDay, last);
      for (QDate d = from; d <= to; d = d.addDays(1)) {
        const int key = DateToDayNumber(d);
        if (marked.contains(key)) continue;
        marked.insert(key);
        view.marks[key] << c.color;
      }
    }
  }
  if (!showList || listDays <= 0) return view;
  struct Coming {
    const AgendaEvent* event;
    uint32_t color;
  };
  QList<Coming> coming;
  const QDate end = today.addDays(listDays - 1);
  for (const CalendarEvents& c : calendars)
    for (const AgendaEvent& e : c.events) {
      const bool over =
          e.allDay ? e.lastDay < today : (e.end > e.start ? e.end <= now : e.start < now);
      if (!over && e.firstDay <= end) coming << Coming{&e, c.color};
    }
  std::stable_sort(coming.begin(), coming.end(), [](const Coming& a, const Coming& b) {
    return a.event->start < b.event->start;
  });
  for (const Coming& c : coming) {
    if (view.lines.size() >= kMaxAgendaListLines) break;
    const AgendaEvent& e = *c.event;
    AgendaListLine line;
    // An event already under way is listed today, without its start time.
    line.day = std::max(e.firstDay, today);
    if (!e.allDay && e.start.date() == line.day)
      line.time = e.start.time().toString(QStringLiteral("HH:mm"));
    line.summary = e.summary;
    line.color = c.color;
    view.lines << line;
  }
  return view;
}
