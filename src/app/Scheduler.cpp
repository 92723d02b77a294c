#include "app/Scheduler.h"

#include <algorithm>

#include "settings/Config.h"

namespace {
void Run(const std::function<void()>& step) {
  if (step) step();
}
}  // namespace

int NextTickMs(bool busy, const QTime& wallTime, std::initializer_list<qint64> dueInMs) {
  if (busy) return kBusyTickMs;
  // Woken a little after the moment, never before it: a timer's slack must not make the tick
  // find the deadline a millisecond ahead and sleep again.
  constexpr qint64 kSlackMs = 20;
  constexpr qint64 kBeatMs = 30 * 1000;
  const qint64 intoBeat =
      wallTime.isValid() ? (wallTime.second() * 1000 + wallTime.msec()) % kBeatMs : 0;
  qint64 sleep = kBeatMs - intoBeat + kSlackMs;
  for (const qint64 due : dueInMs)
    if (due > 0) sleep = std::min(sleep, due + kSlackMs);
  return static_cast<int>(sleep);
}

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
