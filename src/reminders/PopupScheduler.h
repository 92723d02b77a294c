#pragma once
// When popup reminders are due, and what the user's answer to a popup does.
#include <QList>
#include <QObject>

struct PopupReminder;
struct LongMissedEntry;

// The place of the entry with that identity in `list`, or -1.
int IndexOfReminder(const QList<PopupReminder>& list, quint64 id);

// Announces that a popup's answer or a catch-up changed the reminder list, so a page that
// shows the list can follow it while the window is open.
class ReminderListEvents : public QObject {
  Q_OBJECT

 signals:
  void changed();
};
ReminderListEvents& ReminderLists();

// Due in the four-minute slot (same date, hour and minute - minute mod 4) of its
// DateTime, unless its popup is already open.
bool IsReminderDue(const PopupReminder& reminder, double now);

// Shows a due popup reminder (modally) from the tick: the reminder list before the
// snoozed list, at most one per call. A reminder whose time passed while the program was
// not looking pops up late, marked Missed; a recurring one with its latest occurrence, once.
void CheckPopupReminders();

// Shows `reminder` (an entry of the reminder list or of the snoozed list, IsSnoozed
// telling which) and applies the answer to that same entry, found again by its Id: other
// popups opened meanwhile may have removed or added entries.
void ShowPopupReminder(PopupReminder& reminder);

// The reminders whose time passed unseen more than a day ago (see TimingOf), for the box at
// start, each with the occurrence it missed. The one-off ones stay in the list as they
// are; the recurring ones move on to their next date.
QList<LongMissedEntry> TakeLongMissedReminders(QList<PopupReminder>& reminders, double now);
