#include "app/AttentionPopup.h"

std::optional<ReminderResult> AttentionPopup::Show(const PopupReminder& reminder,
                                                   INotifications* notifications) {
  if (open_++ == 0) mark_(true);
  // Ends the mark however the popup goes away.
  struct Unmark {
    AttentionPopup& self;
    ~Unmark() {
      if (--self.open_ == 0) self.mark_(false);
    }
  } unmark{*this};
  return popup_.Show(reminder, notifications);
}
