#include "app/Scheduler.h"

#include "settings/Config.h"

namespace {
void Run(const std::function<void()>& step) {
  if (step) step();
}
}  // namespace

void Scheduler::SchedulerTick() {
  const auto& d = d_;
  if (d.WindowVisible || d.PreviewOpen) return;
  Run(steps.StartMailCheck);
  Run(steps.CheckPopupReminders);
  Run(steps.CheckAgendaAlarms);
  Run(steps.CheckTimedChange);
  Run(steps.CheckDayChange);
}

void Scheduler::TimerIDLETimer() {
  auto& d = d_;
  d.EditReminderIndex = -1;
  SchedulerTick();
  // Read again: a nested tick inside a popup may have reset it, the popup's own answer set it.
  const int edit = d.EditReminderIndex;
  if (edit == -1) {
    if (d.NoNewMail.exchange(false)) Run(steps.RemoveEmailTrayIcon);
    Run(steps.AnnounceNewMail);
  } else {
    if (steps.EditReminder) steps.EditReminder(edit);
    d.EditReminderIndex = -1;
  }
}
