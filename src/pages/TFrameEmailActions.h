#pragma once
#include "pages/SettingsPage.h"
#include "ui_TFrameEmailActions.h"

// What happens when new mail is waiting: the mail tray icon and its clicks, the message
// box, the programs started and the sound played.
class TFrameEmailActions : public SettingsPage {
  Q_OBJECT

 public:
  TFrameEmailActions(Config& config, Services& services, QWidget* parent = nullptr);
  Ui::TFrameEmailActions ui;
};
