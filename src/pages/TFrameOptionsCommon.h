#pragma once
#include "pages/SettingsPage.h"
#include "ui_TFrameOptionsCommon.h"

// The program's general switches. "Show wallpaper image" and "Show calendar" are edited on
// the wallpaper and calendar pages too, so the window fills this page whenever it is shown.
// "Start Quillatorne when I log in" stands for the autostart entry, not for a setting.
class TFrameOptionsCommon : public SettingsPage {
  Q_OBJECT

 public:
  TFrameOptionsCommon(Config& config, Services& services, QWidget* parent = nullptr);
  Ui::TFrameOptionsCommon ui;

 private:
  void BindStartAtLogin();
};
