#include "agenda/IcsReader.h"

#include <libical/ical.h>

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <memory>
#include <mutex>

namespace {

// libical keeps process-wide state (its error flags, the built-in zones); one read at a time.
std::mutex& LibicalLock() {
  static std::mutex m;
  return m;
}

void PrepareLibical() {
  static std::once_flag once;
  // By default a malformed value may abort the process; bad input must only be skipped.
  std::call_once(once, [] { icalerror_set_errors_are_fatal(0); });
}

struct ComponentFree {
  void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};

constexpr int kMaxAlarmsPerEvent = 8;
constexpr int kMaxDaysPerEvent = 3660;  // ten years: longer is a damaged DTEND

// How a wall time written in the file becomes an instant.
struct Zone {
  enum Kind { Floating, Utc, Ical, System } kind = Floating;
  icaltimezone* ical = nullptr;
  QTimeZone system;
};

QDate DateOf(const icaltimetype& t) { return QDate(t.year, t.month, t.day); }

QTime TimeOf(const icaltimetype& t) {
  return t.is_date ? QTime(0, 0) : QTime(t.hour, t.minute, std::min(t.second, 59));
}

// The properties of a kind, collected first: reading any property (a summary, say) moves the
// component's one property cursor.
QList<icalproperty*> Properties(icalcomponent* c, icalproperty_kind kind) {
  QList<icalproperty*> list;
  for (icalproperty* p = icalcomponent_get_first_property(c, kind); p;
       p = icalcomponent_get_next_property(c, kind))
    list << p;
  return list;
}

// A recurrence's place: the start instant for timed events, the date for all-day ones.
qint64 KeyOf(const QDateTime& instant, bool allDay) {
  return allDay ? instant.date().toJulianDay() : instant.toMSecsSinceEpoch();
}

class Reader {
 public:
  Reader(const QTimeZone& local, QDate from, QDate to, const IcsLimits& limits)
      : local_(local), from_(from), to_(to), limits_(limits) {
    clock_.start();
  }

  void ReadCalendar(icalcomponent* vcal);
  IcsResult Finish();

 private:
  struct Series {
    icalcomponent* master = nullptr;
    icalcomponent* vcal = nullptr;
    QHash<qint64, icalcomponent*> overrides;
  };

  bool OutOfTime() {
    if (!truncated_ && clock_.elapsed() > limits_.maxMillis) truncated_ = true;
    return truncated_;
  }
  Zone ZoneOf(icalcomponent* vcal, icalproperty* p, const icaltimetype& t) const;
  QDateTime Instant(icaltimetype t, const Zone& z) const;
  icaltimetype WallTime(const QDateTime& instant, const Zone& z) const;
  bool PropertyTime(icalcomponent* vcal, icalcomponent* c, icalproperty_kind kind,
                    icaltimetype* wall, Zone* zone, QDateTime* instant) const;
  bool Length(icalcomponent* vcal, icalcomponent* c, const QDateTime& start, bool allDay,
              qint64* length) const;
  void Expand(const Series& s);
  void ExpandRule(const Series& s, icalproperty* rrule, const icaltimetype& wallStart,
                  const Zone& zone, bool allDay, qint64 length, QSet<qint64>& seen,
                  const QSet<qint64>& excluded);
  void Consider(const Series& s, const QDateTime& start, bool allDay, qint64 length,
                QSet<qint64>& seen, const QSet<qint64>& excluded);
  void Emit(icalcomponent* c, const QDateTime& start, bool allDay, qint64 length);
  QList<QDateTime> Alarms(icalcomponent* c, const QDateTime& start, const QDateTime& end) const;

  QTimeZone local_;
  QDate from_, to_;
  IcsLimits limits_;
  QElapsedTimer clock_;
  bool truncated_ = false;
  int components_ = 0;
  QList<QString> order_;  // series in the order the file names them
  QHash<QString, Series> series_;
  QList<AgendaEvent> events_;
};

Zone Reader::ZoneOf(icalcomponent* vcal, icalproperty* p, const icaltimetype& t) const {
  Zone z;
  if (t.is_date) return z;
  if (icaltime_is_utc(t)) {
    z.kind = Zone::Utc;
    return z;
  }
  icalparameter* param = icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER);
  const char* tzid = param ? icalparameter_get_tzid(param) : nullptr;
  if (!tzid || !*tzid) return z;
  // The file's own definition rules; then the system's zones by IANA or Windows name.
  if (vcal) {
    if (icaltimezone* own = icalcomponent_get_timezone(vcal, tzid)) {
      z.kind = Zone::Ical;
      z.ical = own;
      return z;
    }
  }
  QByteArray id(tzid);
  // Some writers prefix the IANA name ("/mozilla.org/20070129_1/Europe/Paris").
  if (id.startsWith('/')) {
    const QList<QByteArray> parts = id.split('/');
    if (parts.size() >= 3) id = parts.mid(parts.size() - 2).join('/');
  }
  QTimeZone system(id);
  if (!system.isValid()) {
    const QByteArray iana = QTimeZone::windowsIdToDefaultIanaId(QByteArray(tzid));
    if (!iana.isEmpty()) system = QTimeZone(iana);
  }
  if (system.isValid()) {
    z.kind = Zone::System;
    z.system = system;
  }
  return z;
}

QDateTime Reader::Instant(icaltimetype t, const Zone& z) const {
  const QDate date = DateOf(t);
  if (!date.isValid()) return {};
  const QTime time = TimeOf(t);
  if (!time.isValid()) return {};
  switch (z.kind) {
    case Zone::Utc:
      return QDateTime(date, time, QTimeZone::utc());
    case Zone::Ical: {
      t.zone = z.ical;
      return QDateTime::fromSecsSinceEpoch(icaltime_as_timet_with_zone(t, z.ical),
                                           QTimeZone::utc());
    }
    case Zone::System:
      return QDateTime(date, time, z.system);
    case Zone::Floating:
      break;
  }
  return QDateTime(date, time, local_);
}

icaltimetype Reader::WallTime(const QDateTime& instant, const Zone& z) const {
  QDateTime wall;
  switch (z.kind) {
    case Zone::Utc:
      wall = instant.toUTC();
      break;
    case Zone::System:
      wall = instant.toTimeZone(z.system);
      break;
    case Zone::Ical: {
      icaltimetype t = icaltime_from_timet_with_zone(instant.toSecsSinceEpoch(), 0,
                                                     icaltimezone_get_utc_timezone());
      icaltimezone_convert_time(&t, icaltimezone_get_utc_timezone(), z.ical);
      t.zone = nullptr;
      return t;
    }
    case Zone::Floating:
      wall = instant.toTimeZone(local_);
      break;
  }
  icaltimetype t = icaltime_null_time();
  t.year = wall.date().year();
  t.month = wall.date().month();
  t.day = wall.date().day();
  t.hour = wall.time().hour();
  t.minute = wall.time().minute();
  t.second = wall.time().second();
  return t;
}

bool Reader::PropertyTime(icalcomponent* vcal, icalcomponent* c, icalproperty_kind kind,
                          icaltimetype* wall, Zone* zone, QDateTime* instant) const {
  icalproperty* p = icalcomponent_get_first_property(c, kind);
  if (!p) return false;
  icalvalue* v = icalproperty_get_value(p);
  if (!v) return false;
  const icalvalue_kind vk = icalvalue_isa(v);
  if (vk != ICAL_DATETIME_VALUE && vk != ICAL_DATE_VALUE) return false;
  const icaltimetype t = vk == ICAL_DATE_VALUE ? icalvalue_get_date(v) : icalvalue_get_datetime(v);
  if (icaltime_is_null_time(t)) return false;
  *zone = ZoneOf(vcal, p, t);
  *wall = t;
  wall->zone = nullptr;
  *instant = Instant(t, *zone);
  return instant->isValid();
}

// Seconds for a timed event, days for an all-day one.
bool Reader::Length(icalcomponent* vcal, icalcomponent* c, const QDateTime& start, bool allDay,
                    qint64* length) const {
  icaltimetype wall;
  Zone zone;
  QDateTime end;
  if (PropertyTime(vcal, c, ICAL_DTEND_PROPERTY, &wall, &zone, &end)) {
    *length = allDay ? start.date().daysTo(end.date()) : start.secsTo(end);
  } else if (icalproperty* d = icalcomponent_get_first_property(c, ICAL_DURATION_PROPERTY)) {
    const qint64 secs = icaldurationtype_as_int(icalproperty_get_duration(d));
    *length = allDay ? secs / 86400 : secs;
  } else {
    *length = allDay ? 1 : 0;
  }
  if (allDay)
    *length = std::clamp<qint64>(*length, 1, kMaxDaysPerEvent);
  else
    *length = std::clamp<qint64>(*length, 0, qint64(kMaxDaysPerEvent) * 86400);
  return true;
}

void Reader::ReadCalendar(icalcomponent* vcal) {
  for (icalcomponent* c = icalcomponent_get_first_component(vcal, ICAL_VEVENT_COMPONENT); c;
       c = icalcomponent_get_next_component(vcal, ICAL_VEVENT_COMPONENT)) {
    if (++components_ > limits_.maxComponents || OutOfTime()) {
      truncated_ = true;
      return;
    }
    const char* uidText = icalcomponent_get_uid(c);
    // Events without a UID cannot be overridden; each stands alone.
    const QString uid = uidText && *uidText ? QString::fromUtf8(uidText)
                                            : QStringLiteral("\x01no-uid-%1").arg(components_);
    auto it = series_.find(uid);
    if (it == series_.end()) {
      order_ << uid;
      it = series_.insert(uid, Series{});
    }
    Series& s = *it;
    if (icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY)) {
      // Keyed once the master is known; a later copy of the same override wins.
      s.overrides.insert(-1 - s.overrides.size(), c);
      if (!s.vcal) s.vcal = vcal;
    } else if (!s.master) {
      s.master = c;
      s.vcal = vcal;
    }
    // A second master for the same UID is a damaged file: the first one stands.
  }
}

void Reader::Expand(const Series& in) {
  Series s = in;
  bool masterAllDay = false;
  icaltimetype wallStart{};
  Zone zone;
  QDateTime start;
  const bool haveMaster =
      s.master && PropertyTime(s.vcal, s.master, ICAL_DTSTART_PROPERTY, &wallStart, &zone, &start);
  if (haveMaster) masterAllDay = wallStart.is_date;

  // Overrides by the occurrence they replace.
  QHash<qint64, icalcomponent*> overrides;
  for (icalcomponent* o : std::as_const(in.overrides)) {
    icaltimetype w;
    Zone z;
    QDateTime rid;
    if (!PropertyTime(s.vcal, o, ICAL_RECURRENCEID_PROPERTY, &w, &z, &rid)) continue;
    overrides.insert(KeyOf(rid, haveMaster ? masterAllDay : bool(w.is_date)), o);
  }
  // An override is an occurrence of its own, at its own time, with no rule of its own.
  for (icalcomponent* o : std::as_const(overrides)) {
    if (icalcomponent_get_status(o) == ICAL_STATUS_CANCELLED) continue;
    icaltimetype w;
    Zone z;
    QDateTime os;
    if (!PropertyTime(s.vcal, o, ICAL_DTSTART_PROPERTY, &w, &z, &os)) continue;
    qint64 length = 0;
    Length(s.vcal, o, os, w.is_date, &length);
    Emit(o, os, w.is_date, length);
  }
  if (!haveMaster || icalcomponent_get_status(s.master) == ICAL_STATUS_CANCELLED) return;
  s.overrides = overrides;

  qint64 length = 0;
  Length(s.vcal, s.master, start, masterAllDay, &length);

  QSet<qint64> excluded;
  for (icalproperty* p : Properties(s.master, ICAL_EXDATE_PROPERTY)) {
    const icaltimetype t = icalproperty_get_exdate(p);
    if (icaltime_is_null_time(t)) continue;
    const QDateTime ex = Instant(t, ZoneOf(s.vcal, p, t));
    if (ex.isValid()) excluded.insert(KeyOf(ex, masterAllDay || t.is_date));
  }
  QSet<qint64> seen;
  for (const qint64 key : overrides.keys()) seen.insert(key);

  Consider(s, start, masterAllDay, length, seen, excluded);
  for (icalproperty* p : Properties(s.master, ICAL_RRULE_PROPERTY))
    ExpandRule(s, p, wallStart, zone, masterAllDay, length, seen, excluded);
  for (icalproperty* p : Properties(s.master, ICAL_RDATE_PROPERTY)) {
    if (OutOfTime()) return;
    const icaldatetimeperiodtype r = icalproperty_get_rdate(p);
    const icaltimetype t = icaltime_is_null_time(r.time) ? r.period.start : r.time;
    if (icaltime_is_null_time(t)) continue;
    const QDateTime at = Instant(t, ZoneOf(s.vcal, p, t));
    if (at.isValid()) Consider(s, at, masterAllDay, length, seen, excluded);
  }
}

void Reader::ExpandRule(const Series& s, icalproperty* p, const icaltimetype& wallStart,
                        const Zone& zone, bool allDay, qint64 length, QSet<qint64>& seen,
                        const QSet<qint64>& excluded) {
  icalrecurrencetype rule = icalproperty_get_rrule(p);
  // Every second is no appointment, and an impossible one can keep libical busy for hours.
  if (rule.freq == ICAL_NO_RECURRENCE || rule.freq == ICAL_SECONDLY_RECURRENCE) return;
  const bool subDaily =
      rule.freq == ICAL_MINUTELY_RECURRENCE || rule.freq == ICAL_HOURLY_RECURRENCE;
  // Within one step libical walks every minute or hour until a candidate fits: with a month
  // or day-of-year filter that may never fit ("30 February") that is years of minutes.
  if (subDaily && (rule.by_month[0] != ICAL_RECURRENCE_ARRAY_MAX ||
                   rule.by_month_day[0] != ICAL_RECURRENCE_ARRAY_MAX ||
                   rule.by_year_day[0] != ICAL_RECURRENCE_ARRAY_MAX ||
                   rule.by_week_no[0] != ICAL_RECURRENCE_ARRAY_MAX ||
                   rule.by_set_pos[0] != ICAL_RECURRENCE_ARRAY_MAX))
    return;
  icaltimetype first = wallStart;
  if (subDaily && rule.count == 0) {
    // An hourly rule from years ago: start from the last step before the days read, in the
    // rule's own rhythm (wall clock, so plain arithmetic is exact).
    const qint64 unit = (rule.freq == ICAL_HOURLY_RECURRENCE ? 3600 : 60) *
                        qint64(std::max<short>(rule.interval, 1));
    const QDateTime start(DateOf(wallStart), TimeOf(wallStart), QTimeZone::utc());
    const QDateTime target(from_.addDays(-2), QTime(0, 0), QTimeZone::utc());
    const qint64 behind = start.secsTo(target);
    if (start.isValid() && behind > unit) {
      const QDateTime moved = start.addSecs(behind / unit * unit);
      first.year = moved.date().year();
      first.month = moved.date().month();
      first.day = moved.date().day();
      first.hour = moved.time().hour();
      first.minute = moved.time().minute();
      first.second = moved.time().second();
    }
  }
  if (!icaltime_is_null_time(rule.until)) {
    // UNTIL in UTC, the rule walked in wall time: compare like with like.
    if (icaltime_is_utc(rule.until) && !allDay) {
      icaltimetype u = rule.until;
      u.zone = nullptr;
      const QDateTime until = QDateTime(DateOf(u), TimeOf(u), QTimeZone::utc());
      if (until.isValid()) rule.until = WallTime(until, zone);
    }
    rule.until.zone = nullptr;
    if (allDay) {
      rule.until.is_date = 1;
      rule.until.hour = rule.until.minute = rule.until.second = 0;
    } else if (rule.until.is_date) {
      rule.until.is_date = 0;
      rule.until.hour = 23;
      rule.until.minute = 59;
      rule.until.second = 59;
    }
  }
  const qint64 reachDays = allDay ? length : length / 86400 + 1;  // days an occurrence spans
  std::unique_ptr<icalrecur_iterator, void (*)(icalrecur_iterator*)> it(
      icalrecur_iterator_new(rule, first), icalrecur_iterator_free);
  if (!it) return;
  for (int steps = 0;; ++steps) {
    if (steps >= limits_.maxRuleSteps) {
      truncated_ = true;
      return;
    }
    if ((steps & 255) == 0 && OutOfTime()) return;
    const icaltimetype t = icalrecur_iterator_next(it.get());
    if (icaltime_is_null_time(t)) return;
    // Wall time is within a day of local time: most steps are decided without converting.
    const QDate wallDate = DateOf(t);
    if (wallDate.isValid() && wallDate.addDays(reachDays + 2) < from_) continue;
    if (wallDate.isValid() && wallDate > to_.addDays(2)) return;
    const QDateTime at = Instant(t, zone);
    if (!at.isValid()) continue;
    if (at.toTimeZone(local_).date() > to_) return;
    Consider(s, at, allDay, length, seen, excluded);
    if (events_.size() >= limits_.maxOccurrences) {
      truncated_ = true;  // the rule may have more
      return;
    }
  }
}

void Reader::Consider(const Series& s, const QDateTime& start, bool allDay, qint64 length,
                      QSet<qint64>& seen, const QSet<qint64>& excluded) {
  const qint64 key = KeyOf(start, allDay);
  if (seen.contains(key)) return;
  seen.insert(key);
  if (excluded.contains(key)) return;
  // A date-only EXDATE on a timed event removes that day's occurrence.
  if (!allDay && excluded.contains(start.toTimeZone(local_).date().toJulianDay())) return;
  Emit(s.master, start, allDay, length);
}

void Reader::Emit(icalcomponent* c, const QDateTime& at, bool allDay, qint64 length) {
  if (events_.size() >= limits_.maxOccurrences) {
    truncated_ = true;
    return;
  }
  AgendaEvent e;
  e.allDay = allDay;
  if (allDay) {
    // All-day events float: the same days wherever the viewer is.
    e.firstDay = at.date();
    e.start = QDateTime(e.firstDay, QTime(0, 0), local_);
    e.lastDay = e.firstDay.addDays(std::max<qint64>(length, 1) - 1);
    e.end = QDateTime(e.lastDay.addDays(1), QTime(0, 0), local_);
  } else {
    e.start = at.toTimeZone(local_);
    e.end = e.start.addSecs(length);
    e.firstDay = e.start.date();
    e.lastDay = (length > 0 ? e.end.addSecs(-1) : e.end).date();
  }
  if (e.lastDay < from_ || e.firstDay > to_) return;
  e.uid = QString::fromUtf8(icalcomponent_get_uid(c));
  e.summary = QString::fromUtf8(icalcomponent_get_summary(c)).simplified();
  e.location = QString::fromUtf8(icalcomponent_get_location(c)).simplified();
  e.alarms = Alarms(c, e.start, e.end);
  events_ << e;
}

QList<QDateTime> Reader::Alarms(icalcomponent* c, const QDateTime& start,
                                const QDateTime& end) const {
  QList<QDateTime> alarms;
  for (icalcomponent* a = icalcomponent_get_first_component(c, ICAL_VALARM_COMPONENT);
       a && alarms.size() < kMaxAlarmsPerEvent;
       a = icalcomponent_get_next_component(c, ICAL_VALARM_COMPONENT)) {
    icalproperty* action = icalcomponent_get_first_property(a, ICAL_ACTION_PROPERTY);
    if (!action) continue;
    const icalproperty_action kind = icalproperty_get_action(action);
    if (kind != ICAL_ACTION_DISPLAY && kind != ICAL_ACTION_AUDIO) continue;
    icalproperty* trigger = icalcomponent_get_first_property(a, ICAL_TRIGGER_PROPERTY);
    if (!trigger) continue;
    const icaltriggertype tr = icalproperty_get_trigger(trigger);
    QDateTime when;
    if (!icaltime_is_null_time(tr.time)) {
      icaltimetype t = tr.time;
      when = Instant(t, icaltime_is_utc(t) ? Zone{Zone::Utc, nullptr, {}} : Zone{});
    } else {
      icalparameter* rel = icalproperty_get_first_parameter(trigger, ICAL_RELATED_PARAMETER);
      const bool fromEnd = rel && icalparameter_get_related(rel) == ICAL_RELATED_END;
      when = (fromEnd ? end : start).addSecs(icaldurationtype_as_int(tr.duration));
    }
    if (when.isValid()) alarms << when.toUTC();
  }
  std::sort(alarms.begin(), alarms.end());
  alarms.erase(std::unique(alarms.begin(), alarms.end()), alarms.end());
  return alarms;
}

IcsResult Reader::Finish() {
  for (const QString& uid : std::as_const(order_)) {
    if (OutOfTime() || events_.size() >= limits_.maxOccurrences) break;
    Expand(series_.value(uid));
  }
  IcsResult r;
  r.events = std::move(events_);
  std::stable_sort(r.events.begin(), r.events.end(),
                   [](const AgendaEvent& a, const AgendaEvent& b) {
                     if (a.start != b.start) return a.start < b.start;
                     return a.summary < b.summary;
                   });
  r.truncated = truncated_;
  return r;
}

}  // namespace

IcsResult ReadIcs(const QByteArray& ics, QDate from, QDate to, const QTimeZone& local,
                  const IcsLimits& limits) {
  IcsResult r;
  if (ics.size() > limits.maxBytes) {
    r.error = QStringLiteral("The calendar is larger than %1 MB").arg(limits.maxBytes >> 20);
    return r;
  }
  if (!ics.contains("BEGIN:VCALENDAR")) {
    r.error = QStringLiteral("Not an iCalendar file");
    return r;
  }
  std::lock_guard lock(LibicalLock());
  PrepareLibical();
  std::unique_ptr<icalcomponent, ComponentFree> root(icalparser_parse_string(ics.constData()));
  icalerror_clear_errno();
  if (!root) {
    r.error = QStringLiteral("Not an iCalendar file");
    return r;
  }
  Reader reader(local, from, to, limits);
  if (icalcomponent_isa(root.get()) == ICAL_VCALENDAR_COMPONENT) {
    reader.ReadCalendar(root.get());
  } else {
    // Several calendars one after another (a CalDAV answer joined up) come wrapped.
    for (icalcomponent* c = icalcomponent_get_first_component(root.get(), ICAL_VCALENDAR_COMPONENT);
         c; c = icalcomponent_get_next_component(root.get(), ICAL_VCALENDAR_COMPONENT))
      reader.ReadCalendar(c);
  }
  return reader.Finish();
}
