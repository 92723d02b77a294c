#include "reminders/PopupScheduler.h"

#include "platform/DateTime.h"
#include "platform/Services.h"
#include "reminders/Recurrence.h"
#include "reminders/ReminderPopup.h"
#include "reminders/ReminderTiming.h"
#include "reminders/TForm_Reminder.h"
#include "settings/Config.h"

namespace {

bool AnsweredWithEdit(const Config& config, const PopupReminder& r) {
  const auto& answered = config.DynamicConfig.RemindersAnsweredWithEdit;
  const auto it = answered.constFind(r.Id);
  return it != answered.cend() && *it == r.DateTime;
}

QList<PopupReminder>& ListOf(Config& config, bool snoozed) {
  return snoozed ? config.DynamicConfig.SnoozedReminders : config.RemindersConfig.Reminders;
}

// Clears the Showing mark however the popup ends, exceptions included.
class ShowingMark {
 public:
  ShowingMark(QList<PopupReminder>& list, quint64 id) : list_(list), id_(id) {}
  ~ShowingMark() {
    const int i = IndexOfReminder(list_, id_);
    if (i >= 0) {
      list_[i].Showing = false;
      list_[i].Missed = false;  // said once, in its popup
    }
  }

 private:
  QList<PopupReminder>& list_;
  quint64 id_;
};

// Done with the occurrence that popped up: a recurring reminder moves on, any other
// entry goes. An entry whose time the user changed on the page meanwhile keeps the
// user's new time.
void FinishOccurrence(QList<PopupReminder>& list, int index, const PopupReminder& shown,
                      bool snoozed, double now) {
  if (index < 0) return;  // deleted on the page while its popup was open
  PopupReminder& entry = list[index];
  if (entry.DateTime != shown.DateTime) return;
  if (!snoozed && IsRecurring(entry.Recur)) {
    MoveToNextOccurrence(entry, now);
  } else {
    list.removeAt(index);
  }
}

// The due test against a slot worked out once per call. A date that is not a date is
// never due.
bool DueInSlot(const PopupReminder& r, qint64 nowSlot) {
  return !r.Showing && IsUsableDate(r.DateTime) && ReminderSlot(r.DateTime) == nowSlot;
}

bool DueOrOverdue(const PopupReminder& r, qint64 nowSlot) {
  return !r.Showing && IsUsableDate(r.DateTime) && ReminderSlot(r.DateTime) <= nowSlot;
}

}  // namespace

int IndexOfReminder(const QList<PopupReminder>& list, quint64 id) {
  for (int i = 0; i < list.size(); ++i)
    if (list[i].Id == id) return i;
  return -1;
}

ReminderListEvents& ReminderLists() {
  static ReminderListEvents events;
  return events;
}

bool IsReminderDue(const PopupReminder& reminder, double now) {
  return DueInSlot(reminder, ReminderSlot(now));
}

QList<LongMissedEntry> TakeLongMissedReminders(QList<PopupReminder>& reminders, double now) {
  QList<LongMissedEntry> missed;
  for (PopupReminder& r : reminders) {
    if (TimingOf(r, now, std::nullopt) != ReminderTiming::LongMissed) continue;
    missed.append({r.Name, LatestOccurrence(r, now)});
    if (IsRecurring(r.Recur)) MoveToNextOccurrence(r, now);
  }
  return missed;
}

void CheckPopupReminders(Config& config, IReminderPopup& popup, const IClock& clock,
                         INotifications* notifications) {
  const double now = NowDays(clock);
  const qint64 elapsed = clock.ElapsedMs();
  LookOut& look = config.DynamicConfig.ReminderLookOut;
  const std::optional<double> looked = LookingSince(look, elapsed);
  look = NextLookOut(look, now, elapsed);

  auto& reminders = config.RemindersConfig.Reminders;
  int due = -1;
  bool missed = false;
  bool moved = false;
  for (int i = 0; i < reminders.size(); ++i) {
    PopupReminder& r = reminders[i];
    switch (TimingOf(r, now, looked)) {
      case ReminderTiming::NotYet:
        break;
      case ReminderTiming::LongMissed:
        // Told about at start; a recurring one goes on to its next date meanwhile.
        if (IsRecurring(r.Recur)) {
          MoveToNextOccurrence(r, now);
          moved = true;
        }
        break;
      case ReminderTiming::Missed:
        if (due < 0 && !AnsweredWithEdit(config, r)) {
          due = i;
          missed = true;
        }
        break;
      case ReminderTiming::Due:
        if (due < 0) due = i;
        break;
    }
  }
  if (moved) emit ReminderLists().changed();
  if (due >= 0) {
    PopupReminder& r = reminders[due];
    // A recurring reminder shows the latest of its occurrences that passed, once.
    r.DateTime = LatestOccurrence(r, now);
    r.Missed = missed;
    r.IsSnoozed = false;
    r.ListIndex = due;
    ShowPopupReminder(r, config, popup, clock, notifications);
    return;
  }
  // A snoozed copy is on no page where the user could find it, so one whose time passed
  // while it could not pop up (program off, window open) pops up late rather than never.
  const qint64 nowSlot = ReminderSlot(now);
  auto& snoozed = config.DynamicConfig.SnoozedReminders;
  for (int i = 0; i < snoozed.size(); ++i) {
    if (!DueOrOverdue(snoozed[i], nowSlot)) continue;
    snoozed[i].IsSnoozed = true;
    snoozed[i].Missed = false;
    snoozed[i].ListIndex = -1;
    ShowPopupReminder(snoozed[i], config, popup, clock, notifications);
    return;
  }
}

void ShowPopupReminder(PopupReminder& reminder, Config& config, IReminderPopup& popup,
                       const IClock& clock, INotifications* notifications) {
  const bool snoozed = reminder.IsSnoozed;
  // An entry made without NewPopupReminder() has no identity yet.
  if (reminder.Id == 0) reminder.Id = NextReminderId();
  reminder.Showing = true;
  // The reference dies with the first change to its list; from here on the entry is
  // found by its Id.
  const PopupReminder shown = reminder;
  std::optional<ReminderResult> result;
  {
    ShowingMark mark(ListOf(config, snoozed), shown.Id);
    INotifications* notices = config.RemindersConfig.DesktopNotifications ? notifications : nullptr;
    result = popup.Show(shown, notices);
  }
  if (!result) return;  // the program is ending: leave the reminder as it is

  auto& list = ListOf(config, snoozed);
  const double now = NowDays(clock);
  const int index = IndexOfReminder(list, shown.Id);
  switch (result->answer) {
    case ReminderResult::Edit:
      if (!snoozed && index >= 0) {
        config.DynamicConfig.EditReminderIndex = index;
        config.DynamicConfig.RemindersAnsweredWithEdit.insert(shown.Id, shown.DateTime);
      }
      break;
    case ReminderResult::Close:
      FinishOccurrence(list, index, shown, snoozed, now);
      break;
    case ReminderResult::Snooze: {
      PopupReminder copy = index >= 0 ? list[index] : shown;
      // From the reminder's own time, not from now; but a reminder answered late (missed,
      // or left waiting) would come straight back: then from now.
      const double snooze = result->minutes / kMinutesPerDay;
      copy.DateTime = shown.DateTime + snooze;
      if (copy.DateTime <= now) copy.DateTime = now + snooze;
      if (IsRecurring(copy.Recur)) copy.Recur = Recurrence::None;  // this occurrence only
      copy.Id = NextReminderId();
      copy.Showing = false;
      copy.IsSnoozed = true;
      copy.ListIndex = -1;
      copy.Missed = false;
      copy.RecurDay = 0;
      FinishOccurrence(list, index, shown, snoozed, now);
      config.DynamicConfig.SnoozedReminders.append(copy);
      break;
    }
  }
  if (result->answer != ReminderResult::Edit) emit ReminderLists().changed();
}
