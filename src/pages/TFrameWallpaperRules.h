#pragma once
#include "pages/SettingsPage.h"
#include "ui_TFrameWallpaperRules.h"

// How the wallpaper is shown and when it changes.
class TFrameWallpaperRules : public SettingsPage {
  Q_OBJECT

 public:
  TFrameWallpaperRules(Config& config, Services& services, QWidget* parent = nullptr);
  Ui::TFrameWallpaperRules ui;
};
