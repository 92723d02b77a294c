#include "agenda/AgendaAlarmPopup.h"

#include "platform/DateTime.h"
#include "reminders/ReminderPopup.h"
#include "settings/Config.h"

PopupReminder AgendaAlarmReminder(const AgendaAlarmDue& due) {
  PopupReminder r;
  r.Name = due.event.summary.isEmpty() ? QStringLiteral("(no title)") : due.event.summary;
  r.Text = AgendaAlarmText(due.event);
  r.DateTime = DateTimeToDays(due.event.start);
  r.Id = NextReminderId();
  return r;
}

AgendaAlarmAnswer ShowAgendaAlarm(Agenda& agenda, const AgendaAlarmDue& due, IReminderPopup& popup,
                                  INotifications* notifications, const QDateTime& now) {
  agenda.Shown(due);
  const std::optional<ReminderResult> result = popup.Show(AgendaAlarmReminder(due), notifications);
  if (!result) return AgendaAlarmAnswer::Gone;
  switch (result->answer) {
    case ReminderResult::Snooze:
      agenda.Snooze(due, now.addSecs(qint64(result->minutes) * 60));
      return AgendaAlarmAnswer::Done;
    case ReminderResult::Edit:
      return AgendaAlarmAnswer::Edit;
    case ReminderResult::Close:
      break;
  }
  return AgendaAlarmAnswer::Done;
}
