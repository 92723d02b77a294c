#pragma once
#include "pages/SettingsPage.h"
#include "ui_TFrameCalendarOptions.h"

// Whether and how the calendar is drawn: week start, names, font, colours and effects.
class TFrameCalendarOptions : public SettingsPage {
  Q_OBJECT

 public:
  TFrameCalendarOptions(Config& config, Services& services, QWidget* parent = nullptr);
  Ui::TFrameCalendarOptions ui;
};
