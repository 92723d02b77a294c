#pragma once
// The seam between the scheduler and the popup window: the program shows TForm_Reminder,
// the tests answer with a script.
#include <optional>

class INotifications;
struct PopupReminder;

// The popup's answer. A new window answers Close, so its close box counts as Close.
struct ReminderResult {
  enum Answer { Close = 0, Edit = 1, Snooze = 2 };
  Answer answer = Close;
  int minutes = 0;  // for Snooze
};

class IReminderPopup {
 public:
  virtual ~IReminderPopup() = default;
  // Shows the reminder modally (the event loop, and so the tick, keeps running) and
  // returns the answer; nothing when the window went away unanswered (the program is
  // ending), in which case the reminder must stay as it is. With `notifications`, the
  // reminder is also sent there, and whichever is answered first answers both.
  virtual std::optional<ReminderResult> Show(const PopupReminder& reminder,
                                             INotifications* notifications) = 0;
};

// The popup in force; the reminder window unless a test installed another.
IReminderPopup& ReminderPopup();
// Installs a popup (nullptr restores the window).
void SetReminderPopup(IReminderPopup* popup);
