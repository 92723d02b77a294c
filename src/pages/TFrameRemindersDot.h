#pragma once
#include "pages/SettingsPage.h"
#include "ui_TFrameRemindersDot.h"

class SHLCalendar;

// Sets (on) or clears (off) the dot of that colour on that day. A pair is added only when
// missing, and a switch-off removes one copy, the first, keeping the others in order.
void ToggleColorReminder(QList<ColorReminder>& list, int date, DotColor color, bool on);

// The colour dots: pick a day in the month grid, then switch its red, yellow and green
// dots on or off.
class TFrameRemindersDot : public SettingsPage {
  Q_OBJECT

 public:
  TFrameRemindersDot(Config& config, Services& services, QWidget* parent = nullptr);

  void LoadFromConfig() override;
  // Shows the selected day's dots on the three switches.
  void SyncDotSwitches();

  Ui::TFrameRemindersDot ui;
  SHLCalendar* Calendar;

 private:
  // The switch of the dot colour at that place in kDotColorsInOrder.
  void SwitchClick(int place);
  // The switches, in the order of kDotColorsInOrder.
  QToolButton* switches_[kDotColorCount] = {};
};
