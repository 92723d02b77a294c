#pragma once
#include <QTime>
#include <QtGlobal>
#include <functional>
#include <initializer_list>

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

// The tick's beat. Every second while something is going on (the window or a popup open, a
// mail check running); else the program sleeps until the next half minute of the wall clock or
// the first deadline it knows of (`dueInMs`, where 0 or less is one already handled by the beat),
// whichever comes first. The half minutes keep what is due by the minute on time (reminders,
// the day change, alarms) and the clock watched at least once a minute, so a reminder's time
// is never taken for one passed while the program was not looking.
constexpr int kBusyTickMs = 1000;
int NextTickMs(bool busy, const QTime& wallTime, std::initializer_list<qint64> dueInMs);

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
