#pragma once
// Reads an iCalendar text and expands its events into the occurrences that touch a range of
// days, in a given local time zone. Hostile input is bounded: a size limit before parsing,
// limits on occurrences and recurrence steps, and a deadline for the whole read.
#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QTimeZone>

// One occurrence of an event, its times in the local zone the reader was given.
struct AgendaEvent {
  QString uid;
  QString summary;
  QString location;
  QDateTime start;
  QDateTime end;  // exclusive; equal to start for an event without a length
  bool allDay = false;
  // The local days it covers, first to last (an event ending at midnight does not cover the
  // day that midnight begins).
  QDate firstDay;
  QDate lastDay;
  QList<QDateTime> alarms;  // when its display or audio alarms go off, in UTC

  bool operator==(const AgendaEvent&) const = default;
};

struct IcsLimits {
  qsizetype maxBytes = 16 * 1024 * 1024;
  int maxComponents = 50000;  // VEVENTs read at all
  int maxOccurrences = 20000;
  int maxRuleSteps = 200000;  // iterations of one recurrence rule
  int maxMillis = 3000;       // the whole read
};

struct IcsResult {
  QList<AgendaEvent> events;  // sorted by start, then summary
  QString error;              // not empty: nothing could be read
  bool truncated = false;     // a limit cut the expansion short; what is there is right
};

// Occurrences that cover at least one day of [from, to], times shown in `local`.
IcsResult ReadIcs(const QByteArray& ics, QDate from, QDate to, const QTimeZone& local,
                  const IcsLimits& limits = {});
