#pragma once
// An agenda alarm in the reminder window: the event's summary, time and location, with
// Close and Snooze as for a reminder. It never enters the reminder list.
#include <QDateTime>

#include "agenda/Agenda.h"

class INotifications;
class IReminderPopup;
struct PopupReminder;

// The reminder the window shows for the alarm.
PopupReminder AgendaAlarmReminder(const AgendaAlarmDue& due);

enum class AgendaAlarmAnswer { Done, Edit, Gone };

// Shows the alarm (in the notification centre too, when given one, as reminders are) and
// acts on the answer: Snooze hands it back to the agenda for later; Edit is for the caller
// (it opens the Agenda page); Gone: the program is ending. Once its window has opened the
// alarm is done with, answered or not: no later run shows it again.
AgendaAlarmAnswer ShowAgendaAlarm(Agenda& agenda, const AgendaAlarmDue& due, IReminderPopup& popup,
                                  INotifications* notifications, const QDateTime& now);
