#include "agenda/Agenda.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QStringList>
#include <algorithm>
#include <exception>

#include "agenda/AgendaCopy.h"
#include "agenda/AgendaViewBuilder.h"
#include "platform/Paths.h"
#include "platform/ReplacedFile.h"

namespace {
// Alarms are looked for this far beyond what the calendar shows.
constexpr int kAlarmDaysAhead = 2;
// An alarm the program missed while it was not running still shows when it went off at most
// this long ago and its event is not over.
constexpr qint64 kMissedAlarmSecs = 24 * 3600;

QString Key(const AgendaCalendar& c) { return c.URL + QLatin1Char('\n') + c.User; }

// The alarms waiting to be shown, kept beside the record of those handled.
QString WaitingFile(const QString& folder) { return folder + QStringLiteral("/alarms-waiting"); }
// More are not kept: a calendar cannot make the file grow without end.
constexpr int kMaxWaiting = 500;

QString Stamp(const QDateTime& t) { return t.toString(Qt::ISODateWithMs); }
QDateTime FromStamp(const QJsonValue& v) {
  return QDateTime::fromString(v.toString(), Qt::ISODateWithMs);
}

QJsonObject ToJson(const AgendaAlarmDue& a) {
  const AgendaEvent& e = a.event;
  return QJsonObject{{QStringLiteral("at"), Stamp(a.at)},
                     {QStringLiteral("uid"), e.uid},
                     {QStringLiteral("summary"), e.summary},
                     {QStringLiteral("location"), e.location},
                     {QStringLiteral("start"), Stamp(e.start)},
                     {QStringLiteral("end"), Stamp(e.end)},
                     {QStringLiteral("allDay"), e.allDay},
                     {QStringLiteral("firstDay"), e.firstDay.toString(Qt::ISODate)},
                     {QStringLiteral("lastDay"), e.lastDay.toString(Qt::ISODate)}};
}

// Nothing from an entry that is not whole.
std::optional<AgendaAlarmDue> FromJson(const QJsonObject& o) {
  AgendaAlarmDue a;
  a.at = FromStamp(o.value(QStringLiteral("at")));
  AgendaEvent& e = a.event;
  e.uid = o.value(QStringLiteral("uid")).toString();
  e.summary = o.value(QStringLiteral("summary")).toString();
  e.location = o.value(QStringLiteral("location")).toString();
  e.start = FromStamp(o.value(QStringLiteral("start")));
  e.end = FromStamp(o.value(QStringLiteral("end")));
  e.allDay = o.value(QStringLiteral("allDay")).toBool();
  e.firstDay = QDate::fromString(o.value(QStringLiteral("firstDay")).toString(), Qt::ISODate);
  e.lastDay = QDate::fromString(o.value(QStringLiteral("lastDay")).toString(), Qt::ISODate);
  if (!a.at.isValid() || !e.start.isValid() || !e.end.isValid() || !e.firstDay.isValid() ||
      !e.lastDay.isValid())
    return std::nullopt;
  return a;
}
}  // namespace

QString AgendaFolder() { return DataDirectory() + QStringLiteral("/agenda"); }

AgendaRange AgendaRangeFor(const AgendaConfigT& settings, const QDate& today) {
  const QDate first(today.year(), today.month(), 1);
  const QDate last = first.addMonths(1).addDays(-1);
  const int ahead = std::clamp(settings.ListDays, 1, 366) + kAlarmDaysAhead;
  return {first, std::max(last, today.addDays(ahead))};
}

QString AgendaAlarmText(const AgendaEvent& e) {
  const QLocale locale;
  QString text;
  if (e.allDay) {
    text = locale.toString(e.firstDay, QLocale::LongFormat);
    if (e.lastDay != e.firstDay)
      text += QStringLiteral(" - ") + locale.toString(e.lastDay, QLocale::LongFormat);
  } else {
    text = locale.toString(e.start, QLocale::ShortFormat);
    if (e.end > e.start)
      text += QStringLiteral(" - ") + (e.end.date() == e.start.date()
                                           ? locale.toString(e.end.time(), QLocale::ShortFormat)
                                           : locale.toString(e.end, QLocale::ShortFormat));
  }
  if (!e.location.isEmpty()) text += QLatin1Char('\n') + e.location;
  return text;
}

namespace {
// The job for the enabled calendars, and those calendars in its order.
AgendaJob JobFor(const AgendaConfigT& settings, const QDateTime& now, const QString& folder,
                 bool network, QList<AgendaCalendar>* calendars) {
  AgendaJob job;
  for (const AgendaCalendar& c : settings.Calendars) {
    if (!c.Enabled || c.URL.trimmed().isEmpty()) continue;
    *calendars << c;
    job.calendars << AgendaSourceSpec{c.URL.trimmed(), c.User, c.Password};
  }
  const AgendaRange range = AgendaRangeFor(settings, now.date());
  job.from = range.from;
  job.to = range.to;
  job.zone = now.timeZone();
  job.folder = folder;
  job.network = network;
  return job;
}

QList<CalendarEvents> EventsOf(const QList<AgendaCalendar>& calendars,
                               const QList<AgendaCalendarState>& states) {
  QList<CalendarEvents> events;
  for (int i = 0; i < states.size() && i < calendars.size(); ++i)
    events << CalendarEvents{calendars[i].MarkColor, states[i].events};
  return events;
}
}  // namespace

AgendaView ReadAgendaView(const AgendaConfigT& settings, const QDateTime& now,
                          const QString& folder) {
  QList<AgendaCalendar> calendars;
  const AgendaJob job = JobFor(settings, now, folder, false, &calendars);
  if (calendars.isEmpty()) return {};
  AgendaWorker worker(nullptr);
  return BuildAgendaView(EventsOf(calendars, worker.Run(job)), now, settings.ShowList,
                         settings.ListDays);
}

Agenda::Agenda(QString folder, QObject* parent) : QObject(parent), folder_(std::move(folder)) {
  QDir().mkpath(folder_);
  connect(&service_, &AgendaService::Finished, this, &Agenda::Arrived);
}

void Agenda::Start(const AgendaConfigT& settings, const QDateTime& now, bool fetch) {
  Run(settings, now, false);
  if (fetch) Run(settings, now, true);
}

void Agenda::Tick(const AgendaConfigT& settings, const QDateTime& now) {
  const qint64 every = qint64(std::max(1, settings.RefreshMinutes)) * 60;
  if (!lastFetch_.isValid() || lastFetch_.secsTo(now) >= every || now < lastFetch_)
    Run(settings, now, true);
  else if (now.date() != lastDay_)
    Run(settings, now, false);
}

void Agenda::Refresh(const AgendaConfigT& settings, const QDateTime& now) {
  Run(settings, now, true);
}

void Agenda::Run(const AgendaConfigT& settings, const QDateTime& now, bool network) {
  QList<AgendaCalendar> calendars;
  const AgendaJob job = JobFor(settings, now, folder_, network, &calendars);
  if (network) lastFetch_ = now;
  lastDay_ = now.date();
  // The results of a job belong to its calendars: remember them with the job.
  (service_.Busy() ? waiting_ : running_) = calendars;
  service_.Start(job);
}

void Agenda::Arrived() {
  followed_ = running_;
  // The service has started the job that waited, if any.
  if (service_.Busy()) running_ = waiting_;
  const QList<AgendaCalendarState>& states = service_.Calendars();
  QSet<QString> failingNow;
  for (int i = 0; i < states.size() && i < followed_.size(); ++i) {
    const QString key = Key(followed_[i]);
    const QString& error = states[i].error;
    if (error.isEmpty()) {
      failing_.remove(key);
      continue;
    }
    if (!failing_.contains(key)) emit Failed(followed_[i].URL, error);
    failing_.insert(key, error);
  }
  emit Fetched();
}

AgendaView Agenda::View(const AgendaConfigT& settings, const QDateTime& now) const {
  return BuildAgendaView(EventsOf(followed_, service_.Calendars()), now, settings.ShowList,
                         settings.ListDays);
}

QDateTime Agenda::HandledUpTo() {
  if (handledUpTo_.isValid()) return handledUpTo_;
  QFile f(folder_ + QStringLiteral("/alarms-handled"));
  if (f.open(QIODevice::ReadOnly))
    handledUpTo_ = QDateTime::fromString(QString::fromLatin1(f.readAll().trimmed()), Qt::ISODate);
  return handledUpTo_;
}

void Agenda::SetHandledUpTo(const QDateTime& t) {
  if (t == handledUpTo_) return;
  handledUpTo_ = t;
  QFile f(folder_ + QStringLiteral("/alarms-handled"));
  if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
    f.write(t.toUTC().toString(Qt::ISODate).toLatin1());
}

QList<AgendaAlarmDue>& Agenda::Waiting() {
  if (unshown_) return *unshown_;
  unshown_.emplace();
  QFile f(WaitingFile(folder_));
  if (f.open(QIODevice::ReadOnly) && f.size() < 4 * 1024 * 1024) {
    const QJsonArray entries = QJsonDocument::fromJson(f.readAll()).array();
    for (const QJsonValue& v : entries) {
      std::optional<AgendaAlarmDue> a = FromJson(v.toObject());
      if (!a || unshown_->size() >= kMaxWaiting) continue;
      a->id = nextId_++;
      *unshown_ << *a;
    }
  }
  return *unshown_;
}

void Agenda::SaveWaiting() {
  QJsonArray entries;
  for (const AgendaAlarmDue& a : Waiting()) entries << ToJson(a);
  const QByteArray bytes = QJsonDocument(entries).toJson(QJsonDocument::Compact);
  try {
    ReplacedFile out(WaitingFile(folder_));
    out.Write(bytes.constData(), size_t(bytes.size()));
    out.Commit();
  } catch (const std::exception& e) {
    qWarning("Agenda: cannot keep the alarms waiting to be shown: %s", e.what());
  }
}

QList<AgendaAlarmDue> Agenda::DueAlarms(const QDateTime& now) {
  QList<AgendaAlarmDue> due;
  for (const AgendaAlarmDue& a : Waiting()) {
    if (a.at > now || handedOut_.contains(a.id)) continue;
    due << a;
    handedOut_.insert(a.id);
  }
  // Nothing read yet: the alarms wait for the calendars, and the record stays.
  if (followed_.isEmpty() && service_.Calendars().isEmpty()) return due;
  QDateTime since = HandledUpTo();
  const QDateTime oldest = now.addSecs(-kMissedAlarmSecs);
  // A first run shows nothing from the past.
  if (!since.isValid()) since = now;
  if (since < oldest) since = oldest;
  if (since > now) since = now;  // the clock went back
  QList<AgendaAlarmDue> fresh;
  const QList<AgendaCalendarState>& states = service_.Calendars();
  for (int i = 0; i < states.size() && i < followed_.size(); ++i) {
    if (!followed_[i].Alarms) continue;
    for (const AgendaEvent& e : states[i].events) {
      const QDateTime over = e.end > e.start ? e.end : e.start;
      if (over < now) continue;
      for (const QDateTime& at : e.alarms)
        if (at > since && at <= now) fresh << AgendaAlarmDue{at, e, nextId_++};
    }
  }
  // They wait on disk until shown, written before the record says they went off.
  for (const AgendaAlarmDue& a : std::as_const(fresh)) {
    if (Waiting().size() >= kMaxWaiting) break;
    Waiting() << a;
    handedOut_.insert(a.id);
  }
  if (!fresh.isEmpty()) SaveWaiting();
  due << fresh;
  std::sort(due.begin(), due.end(),
            [](const AgendaAlarmDue& a, const AgendaAlarmDue& b) { return a.at < b.at; });
  SetHandledUpTo(now);
  return due;
}

QDateTime Agenda::NextAlarm(const QDateTime& now) {
  QDateTime next;
  const auto consider = [&](const QDateTime& at) {
    if (at > now && (!next.isValid() || at < next)) next = at;
  };
  for (const AgendaAlarmDue& a : Waiting())
    if (!handedOut_.contains(a.id)) consider(a.at);
  const QList<AgendaCalendarState>& states = service_.Calendars();
  for (int i = 0; i < states.size() && i < followed_.size(); ++i) {
    if (!followed_[i].Alarms) continue;
    for (const AgendaEvent& e : states[i].events)
      for (const QDateTime& at : e.alarms) consider(at);
  }
  return next;
}

void Agenda::Shown(const AgendaAlarmDue& alarm) {
  handedOut_.remove(alarm.id);
  if (Waiting().removeIf([&](const AgendaAlarmDue& a) { return a.id == alarm.id; }) > 0)
    SaveWaiting();
}

void Agenda::Snooze(const AgendaAlarmDue& alarm, const QDateTime& until) {
  Shown(alarm);
  Waiting() << AgendaAlarmDue{until, alarm.event, nextId_++};
  SaveWaiting();
}

QString Agenda::Status() const {
  QStringList lines;
  const QList<AgendaCalendarState>& states = service_.Calendars();
  for (int i = 0; i < states.size() && i < followed_.size(); ++i) {
    const AgendaCalendarState& s = states[i];
    lines
        << (s.error.isEmpty()
                ? QStringLiteral("%1: %2 events in view").arg(followed_[i].URL).arg(s.events.size())
                : QStringLiteral("%1: %2").arg(followed_[i].URL, s.error));
  }
  return lines.join(QLatin1Char('\n'));
}
