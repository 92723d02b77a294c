#pragma once
// A reminder in the desktop's notification centre, beside its popup window: the same
// answers, and whichever is answered first answers both.
#include <QObject>
#include <functional>

#include "platform/DesktopNotifications.h"
#include "reminders/ReminderPopup.h"

struct PopupReminder;

// What is sent: the name, the text (after when it was due, for a missed one), urgency
// critical, and the actions "Snooze 5 minutes", "Edit" (only where the popup offers Edit)
// and "Close".
DesktopNotification ReminderNotification(const PopupReminder& reminder, bool editOffered);

// The answer an action of the notification stands for; none for a key it did not offer.
std::optional<ReminderResult> AnswerForAction(const QString& key);

// Sends the notification while it lives, hands on the answer of an action, and withdraws
// the notification when it goes (the popup was answered).
class ReminderNotice : public QObject {
 public:
  ReminderNotice(INotifications& notifications, const PopupReminder& reminder, bool editOffered,
                 std::function<void(ReminderResult)> onAnswer);
  ~ReminderNotice() override;
  bool sent() const { return handle_ != 0; }

 private:
  INotifications& notifications_;
  quint64 handle_ = 0;
  std::function<void(ReminderResult)> onAnswer_;
};
