#pragma once
// When popup reminders are due, and what the user's answer to a popup does.
#include <QList>
#include <QObject>

struct Config;
struct PopupReminder;
class IClock;
class IReminderPopup;

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

// Shows a due popup reminder of `config` (modally, through `popup`) from the tick: the
// reminder list before the snoozed list, at most one per call. Recurring reminders left
// behind are moved on first.
void CheckPopupReminders(Config& config, IReminderPopup& popup, const IClock& clock);

// Shows `reminder` (an entry of the reminder list or of the snoozed list of `config`,
// IsSnoozed telling which) and applies the answer to that same entry, found again by its Id:
// other popups opened meanwhile may have removed or added entries.
void ShowPopupReminder(PopupReminder& reminder, Config& config, IReminderPopup& popup,
                       const IClock& clock);

// Moves every recurring reminder whose slot has passed (the program was off, the main
// window was open) on to its next occurrence that is not past `now`.
void CatchUpRecurringReminders(QList<PopupReminder>& reminders, double now);
