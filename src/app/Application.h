#pragma once
#include <QApplication>
#include <functional>

class QWidget;

// The application object: exceptions escaping an event handler are shown in the general
// error box and the loop goes on.
class QuillatorneApplication : public QApplication {
 public:
  QuillatorneApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// Runs a handler; an exception it throws goes to the general error box instead of
// ending the program. Returns the handler's result, false after an exception.
bool GuardedCall(const std::function<bool()>& handler);

// SIGTERM, SIGINT and SIGHUP close the main window, the same exit path as "Exit".
void RouteTerminationSignals(QWidget* mainWindow);
