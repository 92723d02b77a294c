#pragma once
// The agenda as the program runs it: which days to read, when to fetch, what the calendar
// shows, which failures to report and which alarms are due. Everything it reads is given.
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QSet>
#include <optional>

#include "agenda/AgendaView.h"
#include "agenda/AgendaWorker.h"
#include "settings/Config.h"

// An agenda alarm that has gone off.
struct AgendaAlarmDue {
  QDateTime at;  // when it went off (a snoozed one: when it is due again)
  AgendaEvent event;
  quint64 id = 0;  // for the run: which one the window showed
};

// Where the copies of the calendars and the alarm record are kept.
QString AgendaFolder();

// The days read for a month's calendar, its list and the alarms ahead.
struct AgendaRange {
  QDate from, to;
};
AgendaRange AgendaRangeFor(const AgendaConfigT& settings, const QDate& today);

// The text of an agenda alarm's window: the time (and end), then the location.
QString AgendaAlarmText(const AgendaEvent& e);

// What the calendar shows from the copies and local files alone, read on the calling thread
// (a render has no time to wait for servers).
AgendaView ReadAgendaView(const AgendaConfigT& settings, const QDateTime& now,
                          const QString& folder);

class Agenda : public QObject {
  Q_OBJECT
 public:
  // folder: where copies of the calendars and the alarm record are kept.
  explicit Agenda(QString folder, QObject* parent = nullptr);

  // The copies at once (no network), then a fetch unless told to leave it to Tick.
  void Start(const AgendaConfigT& settings, const QDateTime& now, bool fetch = true);
  // On every tick: a fetch every RefreshMinutes, and the copies read again when the day
  // changes.
  void Tick(const AgendaConfigT& settings, const QDateTime& now);
  // Fetches now (the Refresh button, a change of the calendars).
  void Refresh(const AgendaConfigT& settings, const QDateTime& now);

  // What the calendar shows for these results.
  AgendaView View(const AgendaConfigT& settings, const QDateTime& now) const;
  // Alarms gone off since the last call (or the last run: the record is kept on disk),
  // from calendars with alarms on, for events not yet over; snoozed ones when due again.
  // Each is handed out once; until it is shown it waits on disk too, so that an alarm not
  // shown by the end of a run (say, behind another one's window) comes at the next start.
  QList<AgendaAlarmDue> DueAlarms(const QDateTime& now);
  // The alarm's window opens: it is done with, whatever the answer (never shown twice).
  void Shown(const AgendaAlarmDue& alarm);
  // Back at `until`, in this run or, kept on disk, in a later one (at once when that time has
  // passed while the program was not running).
  void Snooze(const AgendaAlarmDue& alarm, const QDateTime& until);
  // The first alarm after `now`, snoozed ones included; invalid when none is ahead.
  QDateTime NextAlarm(const QDateTime& now);

  // One line per followed calendar: how many events it has now, or why its fetch failed.
  QString Status() const;
  bool Busy() const { return service_.Busy(); }
  const QList<AgendaCalendarState>& Calendars() const { return service_.Calendars(); }

 signals:
  // Results arrived: the owner rebuilds the view and redraws when it changed.
  void Fetched();
  // A calendar's fetch failed; said once until one succeeds again.
  void Failed(const QString& source, const QString& reason);

 private:
  void Run(const AgendaConfigT& settings, const QDateTime& now, bool network);
  void Arrived();
  QDateTime HandledUpTo();
  void SetHandledUpTo(const QDateTime& t);
  QList<AgendaAlarmDue>& Waiting();
  void SaveWaiting();

  QString folder_;
  AgendaService service_;
  QList<AgendaCalendar> followed_;  // of the last job, in its order
  QList<AgendaCalendar> running_;
  QList<AgendaCalendar> waiting_;
  QDateTime lastFetch_;
  QDate lastDay_;
  QHash<QString, QString> failing_;  // source -> reason told
  QDateTime handledUpTo_;
  // Alarms due, or snoozed, and not shown yet; read from disk at the first need.
  std::optional<QList<AgendaAlarmDue>> unshown_;
  QSet<quint64> handedOut_;  // of those, the ones DueAlarms has given this run
  quint64 nextId_ = 1;
};
