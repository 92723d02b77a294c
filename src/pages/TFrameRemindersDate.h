#pragma once
#include "pages/SettingsPage.h"
#include "reminders/ReminderSelector.h"
#include "ui_TFrameRemindersDate.h"

class QTimer;

// The popup reminders: a list, the selected one's four editors, and buttons to add,
// delete and try one out. Edits go straight into the reminder list; snoozed reminders live
// in their own list and are never shown or touched here.
class TFrameRemindersDate : public SettingsPage, public IReminderSelector {
  Q_OBJECT

 public:
  TFrameRemindersDate(Config& config, Services& services, QWidget* parent = nullptr);

  void LoadFromConfig() override;
  void SelectReminder(int index) override;

  void List_RemindersClick();
  void Button_NewClick();
  void Button_DeleteClick();
  void Button_DeleteAllClick();
  void Button_TestClick();
  // Enables the editors and buttons by whether a reminder is selected.
  void Timer1Timer();
  // Whether edits are copied into the selected reminder (off while the page fills them).
  bool editing() const { return editing_; }

  Ui::TFrameRemindersDate ui;
  QTimer* Timer1;

 private:
  int Selected() const;
  void Store();

  bool editing_ = false;
};
