#pragma once
// When a reminder is due, worked out from the wall clock and from how the program has been
// looking: a slot skipped by the wall clock while the program looked (the clocks going
// forward, a new time zone, the clock set by hand) is due now; a time that passed while it
// did not look (not running, suspended, the window or the preview open) is missed.
#include <QList>
#include <QLocale>
#include <QString>
#include <optional>

#include "reminders/LookOut.h"

struct PopupReminder;

// The longest pause between two checks that still counts as looking without a break. The
// tick comes every second; a busy moment may hold it up, a suspend or an open window more.
constexpr qint64 kUnbrokenLookMs = 60 * 1000;

// The earliest wall time the program has been looking since without a break, or none when
// the break is now (first check, a suspend, the window or the preview open since).
std::optional<double> LookingSince(const LookOut& last, qint64 elapsedNowMs);
// The look-out after a check at `now`.
LookOut NextLookOut(const LookOut& last, double now, qint64 elapsedNowMs);

enum class ReminderTiming {
  NotYet,      // not yet, not a date, or its popup is open
  Due,         // pops up now
  Missed,      // passed unseen, less than a day ago: pops up now, saying when it was due
  LongMissed,  // passed unseen more than a day ago: told once at start, never popped up
};

// For a recurring reminder, its most recent past occurrence counts (see
// LatestOccurrence).
ReminderTiming TimingOf(const PopupReminder& reminder, double now,
                        std::optional<double> lookingSince);

// "Missed: " and when it was due, in the user's short date and time format.
QString MissedCaption(double dueAt, const QLocale& locale = QLocale());

struct LongMissedEntry {
  QString name;
  double dueAt;
};
// The text of the box at start that lists reminders missed long ago: ten at most, then how
// many more. Empty when there are none.
QString LongMissedReport(const QList<LongMissedEntry>& entries, const QLocale& locale = QLocale());
