#pragma once
// Moving recurring reminders on to their next occurrence.
#include <QtGlobal>

struct PopupReminder;
enum class Recurrence : int;

// Whether a reminder's date-time is a date at all: a number within the years 100 to 9999.
// Anything else (NaN, infinities, 1e300 from a damaged or hand-made file) is never due and
// never moves on; it stays as it was stored.
bool IsUsableDate(double dateTime);

// Whether Recur names a recurrence (daily, weekly, monthly, yearly).
bool IsRecurring(Recurrence recur);

// The occurrence after `dateTime` (same time of day). Monthly and yearly keep
// `anchorDay` as the day of the month where the month has it and take the month's last
// day where it does not (31 -> 30 April -> 31 May; 29 February -> 28 -> 29).
double NextOccurrence(double dateTime, Recurrence recur, int anchorDay);

// The latest occurrence whose slot is not after `now`'s, from the reminder's DateTime on;
// the DateTime itself for a reminder that does not recur or is not yet due.
double LatestOccurrence(const PopupReminder& reminder, double now);

// The four-minute slot a date-time falls in, counted from the epoch; two date-times
// share a slot exactly when they have the same date, hour and minute - minute mod 4.
// A date-time that is not usable gets a slot of its own, before every other.
qint64 ReminderSlot(double dateTime);

// Moves a recurring reminder on by one occurrence, then on until its slot is not past
// `now`. Keeps its day of the month in RecurDay across shorter months. A reminder whose
// date is not usable stays where it is.
void MoveToNextOccurrence(PopupReminder& reminder, double now);
