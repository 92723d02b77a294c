#pragma once
#include "pages/SettingsPage.h"
#include "ui_TFrameCalendarStyle.h"

class PositionMarker;

// The calendar's style, size and place: a marker of the calendar's size, at the miniature
// desktop's scale, shows where on the screen it goes.
class TFrameCalendarStyle : public SettingsPage {
  Q_OBJECT

 public:
  TFrameCalendarStyle(Config& config, Services& services, QWidget* parent = nullptr);
  void LoadFromConfig() override;
  // Sizes the marker for the current settings and pulls it back inside the miniature, the
  // stored position with it (the user changed the style or size).
  void FitPositionMarker();

  Ui::TFrameCalendarStyle ui;
  PositionMarker* Panel_Position;

 private:
  // Sizes and places the marker, clamped; returns where it went and stores nothing.
  QPoint PlaceMarker();
  void Panel_PositionMove(QPoint topLeft);
};
