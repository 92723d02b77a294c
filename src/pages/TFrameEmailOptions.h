#pragma once
#include "pages/SettingsPage.h"
#include "ui_TFrameEmailOptions.h"

// Whether and how often the mailboxes are checked, and how failed checks are reported.
class TFrameEmailOptions : public SettingsPage {
  Q_OBJECT

 public:
  TFrameEmailOptions(Config& config, Services& services, QWidget* parent = nullptr);
  Ui::TFrameEmailOptions ui;
};
