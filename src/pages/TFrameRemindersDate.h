#pragma once
#include "pages/ItemEditors.h"
#include "pages/SettingsPage.h"
#include "reminders/ReminderSelector.h"
#include "ui_TFrameRemindersDate.h"

class QTimer;

// The popup reminders: a list, the selected one's four editors, and buttons to add,
// delete and try one out. Edits go straight into the reminder list; snoozed reminders live
// in their own list and are never shown or touched here. Each row holds its reminder's
// identity, so a popup answered while the page is open (removing or moving on a reminder)
// never turns an edit or a delete onto another one.
class TFrameRemindersDate : public SettingsPage, public IReminderSelector {
  Q_OBJECT

 public:
  TFrameRemindersDate(Config& config, Services& services, QWidget* parent = nullptr);

  void LoadFromConfig() override;
  void SelectReminder(int index) override;
  // The list changed under the page: the rows follow it, the same reminder stays selected
  // (or the one after it, else the one before, when it went), and the editors are filled
  // again only when what they show changed.
  void FollowList();

  void List_RemindersClick();
  void Button_NewClick();
  void Button_DeleteClick();
  void Button_DeleteAllClick();
  void Button_TestClick();
  // Enables the editors and buttons by whether a reminder is selected.
  void UpdateReminderControls();

  Ui::TFrameRemindersDate ui;
  QTimer* RefreshTimer;

 private:
  // The selected reminder's place in the reminder list, found by its identity.
  int Selected() const;
  PopupReminder* SelectedReminder();
  quint64 RowId(int row) const;
  int RowOf(quint64 id) const;
  // One row per reminder, in list order; no row selected.
  void FillRows();

  // Name, message, date-time and recurrence of the selected reminder; edits go in at once.
  ItemEditors<PopupReminder> editors_;
};
