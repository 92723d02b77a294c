#pragma once
#include <QString>
#include <QWidget>

#include "pages/ConfigPage.h"

class QTextBrowser;

// The manual, help.html from the program's folder, in a browser view. The view is
// pointed at the manual once; after that it keeps whatever the user navigated to.
class TFrameHelpContents : public QWidget, public IConfigPage {
 public:
  explicit TFrameHelpContents(QWidget* parent = nullptr, const QString& manualPath = QString());
  void LoadFromConfig() override {}
  QTextBrowser* browser = nullptr;
  // The manual beside the running program.
  static QString ManualPath();
};
