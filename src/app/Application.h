#pragma once
#include <QApplication>

class QWidget;

// The application object: exceptions escaping an event handler are shown in the general
// error box and the loop goes on.
class QuillatorneApplication : public QApplication {
 public:
  QuillatorneApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// SIGTERM, SIGINT and SIGHUP close the main window, the same exit path as "Exit".
void RouteTerminationSignals(QWidget* mainWindow);
