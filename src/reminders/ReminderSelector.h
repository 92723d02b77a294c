#pragma once
// What the main window needs of the popup reminders page.
class IReminderSelector {
 public:
  virtual ~IReminderSelector() = default;
  // Shows the current reminder list.
  virtual void LoadFromConfig() = 0;
  // Shows reminder `index` (into the reminder list) selected for editing.
  virtual void SelectReminder(int index) = 0;
};
