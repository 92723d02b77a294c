#pragma once
// A reminder on screen also marks the tray icon: a panel shows the mark where a full-screen
// window hides the popup. Popups may open inside one another; the mark goes when the last
// one is answered.
#include <functional>

#include "reminders/ReminderPopup.h"

class AttentionPopup : public IReminderPopup {
 public:
  AttentionPopup(IReminderPopup& popup, std::function<void(bool)> mark)
      : popup_(popup), mark_(std::move(mark)) {}
  std::optional<ReminderResult> Show(const PopupReminder& reminder,
                                     INotifications* notifications) override;

 private:
  IReminderPopup& popup_;
  std::function<void(bool)> mark_;
  int open_ = 0;
};
