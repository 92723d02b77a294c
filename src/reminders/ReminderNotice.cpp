#include "reminders/ReminderNotice.h"

#include "reminders/ReminderTiming.h"
#include "settings/Config.h"

namespace {
const QString kSnooze = QStringLiteral("snooze");
const QString kEdit = QStringLiteral("edit");
const QString kClose = QStringLiteral("close");
constexpr int kSnoozeMinutes = 5;  // as the popup's snooze button
}  // namespace

DesktopNotification ReminderNotification(const PopupReminder& r, bool editOffered) {
  DesktopNotification n;
  n.summary = r.Name;
  n.body = r.Missed ? MissedCaption(r.DateTime) + QLatin1Char('\n') + r.Text : r.Text;
  n.urgency = DesktopNotification::Critical;
  n.timeoutMs = 0;  // it waits for an answer, as the popup does
  n.category = QStringLiteral("x-quillatorne.reminder");
  n.actions.append({kSnooze, QStringLiteral("Snooze 5 minutes")});
  if (editOffered) n.actions.append({kEdit, QStringLiteral("Edit")});
  n.actions.append({kClose, QStringLiteral("Close")});
  return n;
}

std::optional<ReminderResult> AnswerForAction(const QString& key) {
  if (key == kSnooze) return ReminderResult{ReminderResult::Snooze, kSnoozeMinutes};
  if (key == kEdit) return ReminderResult{ReminderResult::Edit, 0};
  if (key == kClose) return ReminderResult{ReminderResult::Close, 0};
  return std::nullopt;
}

ReminderNotice::ReminderNotice(INotifications& notifications, const PopupReminder& reminder,
                               bool editOffered, std::function<void(ReminderResult)> onAnswer)
    : notifications_(notifications), onAnswer_(std::move(onAnswer)) {
  if (!notifications.Available()) return;
  handle_ = notifications.Notify(ReminderNotification(reminder, editOffered));
  if (!handle_) return;
  connect(&notifications, &INotifications::ActionInvoked, this,
          [this, editOffered](quint64 handle, const QString& key) {
            if (handle != handle_) return;
            const std::optional<ReminderResult> answer = AnswerForAction(key);
            // A server may offer what was not sent (a click on the body): no answer.
            if (!answer || (answer->answer == ReminderResult::Edit && !editOffered)) return;
            handle_ = 0;  // gone with the action
            onAnswer_(*answer);
          });
  // Dismissed or expired: the popup still waits for its answer.
  connect(&notifications, &INotifications::Closed, this, [this](quint64 handle) {
    if (handle == handle_) handle_ = 0;
  });
}

ReminderNotice::~ReminderNotice() {
  if (handle_) notifications_.Close(handle_);
}
