#pragma once
// Moving recurring reminders on to their next occurrence.
#include <QtGlobal>

struct PopupReminder;

// Whether Recur names a recurrence (daily, weekly, monthly, yearly).
bool IsRecurring(int recur);

// The occurrence after `dateTime` (same time of day). Monthly and yearly keep
// `anchorDay` as the day of the month where the month has it and take the month's last
// day where it does not (31 -> 30 April -> 31 May; 29 February -> 28 -> 29).
double NextOccurrence(double dateTime, int recur, int anchorDay);

// The four-minute slot a date-time falls in, counted from the epoch; two date-times
// share a slot exactly when they have the same date, hour and minute - minute mod 4.
qint64 ReminderSlot(double dateTime);

// Moves a recurring reminder on by one occurrence, then on until its slot is not past
// `now`. Keeps its day of the month in RecurDay across shorter months.
void MoveToNextOccurrence(PopupReminder& reminder, double now);
