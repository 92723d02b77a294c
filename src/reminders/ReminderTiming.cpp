#include "reminders/ReminderTiming.h"

#include "platform/DateTime.h"
#include "reminders/Recurrence.h"
#include "settings/Config.h"

namespace {
constexpr int kMostListed = 10;

QString When(double dueAt, const QLocale& locale) {
  return locale.toString(DaysToDateTime(dueAt), QLocale::ShortFormat);
}
}  // namespace

std::optional<double> LookingSince(const LookOut& last, qint64 elapsedNowMs) {
  if (last.elapsedMs < 0) return std::nullopt;
  const qint64 pause = elapsedNowMs - last.elapsedMs;
  if (pause < 0 || pause > kUnbrokenLookMs) return std::nullopt;
  return last.since;
}

LookOut NextLookOut(const LookOut& last, double now, qint64 elapsedNowMs) {
  const std::optional<double> since = LookingSince(last, elapsedNowMs);
  // A clock set back takes the start of the run with it.
  return LookOut{now, elapsedNowMs, since ? qMin(*since, now) : now};
}

ReminderTiming TimingOf(const PopupReminder& r, double now, std::optional<double> lookingSince) {
  if (r.Showing || !IsUsableDate(r.DateTime) || !IsUsableDate(now)) return ReminderTiming::NotYet;
  const qint64 nowSlot = ReminderSlot(now);
  if (ReminderSlot(r.DateTime) >= nowSlot)
    return ReminderSlot(r.DateTime) == nowSlot ? ReminderTiming::Due : ReminderTiming::NotYet;
  const double at = LatestOccurrence(r, now);
  const qint64 slot = ReminderSlot(at);
  if (slot == nowSlot) return ReminderTiming::Due;
  if (slot > nowSlot) return ReminderTiming::NotYet;
  // Its time came while the program was looking: the wall clock stepped over its slot, or
  // other popups kept it waiting.
  if (lookingSince && slot >= ReminderSlot(*lookingSince)) return ReminderTiming::Due;
  return now - at > 1.0 ? ReminderTiming::LongMissed : ReminderTiming::Missed;
}

QString MissedCaption(double dueAt, const QLocale& locale) {
  return QStringLiteral("Missed: ") + When(dueAt, locale);
}

QString LongMissedReport(const QList<LongMissedEntry>& entries, const QLocale& locale) {
  if (entries.isEmpty()) return QString();
  QStringList lines{QStringLiteral("These reminders were missed more than a day ago:"), QString()};
  for (int i = 0; i < entries.size() && i < kMostListed; ++i)
    lines << QStringLiteral("%1 (%2)").arg(entries[i].name, When(entries[i].dueAt, locale));
  if (entries.size() > kMostListed)
    lines << QStringLiteral("and %1 more").arg(entries.size() - kMostListed);
  lines << QString()
        << QStringLiteral("They stay in the list of popup reminders until you delete them.");
  return lines.join(QLatin1Char('\n'));
}
