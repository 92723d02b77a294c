#pragma once
#include <QString>

#include "pages/SettingsPage.h"

class QTextBrowser;

// The manual, help.html from the program's folder, in a browser view. The view is
// pointed at the manual once; after that it keeps whatever the user navigated to.
class TFrameHelpContents : public SettingsPage {
  Q_OBJECT

 public:
  TFrameHelpContents(Config& config, Services& services, QWidget* parent = nullptr,
                     const QString& manualPath = QString());
  QTextBrowser* browser = nullptr;
  // The manual beside the running program.
  static QString ManualPath();
};
