#pragma once
#include <functional>

struct DynamicConfigT;

// The one-second tick. Each step is a function so the tick's order can be checked
// without the steps' own machinery.
struct TickSteps {
  std::function<void()> StartMailCheck;  // timed, all accounts
  std::function<void()> CheckPopupReminders;
  std::function<void()> CheckAgendaAlarms;
  std::function<void()> CheckTimedChange;
  std::function<void()> CheckDayChange;
  std::function<void()> RemoveEmailTrayIcon;
  std::function<void()> AnnounceNewMail;
  // The user chose Edit in a reminder popup: show the window on that reminder.
  std::function<void(int)> EditReminder;
};

class Scheduler {
 public:
  // Reads and writes the run's state in `d` (window shown, preview open, edit request).
  explicit Scheduler(DynamicConfigT& d) : d_(d) {}
  TickSteps steps;
  // The whole tick; re-entrant (modal windows opened by a step keep the timer running).
  void TimerIDLETimer();
  // The background work; does nothing while the main window or the preview is shown.
  void SchedulerTick();

 private:
  DynamicConfigT& d_;
};
