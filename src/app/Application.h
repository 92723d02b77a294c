#pragma once
#include <QApplication>
#include <functional>

class QObject;

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

// SIGTERM, SIGINT and SIGHUP are caught from the first line of main() on and remembered,
// so one that comes while the program starts (loading a large settings file, say) is
// not lost to the default action.
void CatchTerminationSignals();
bool TerminationRequested();
// Back to the default action, for runs that end by themselves; a signal caught already
// ends the process now.
void ReleaseTerminationSignals();
// Once the event loop runs, every caught signal (earlier ones too) calls onSignal; the
// program passes the main window's close, the same exit path as "Exit".
void RouteTerminationSignals(QObject* context, std::function<void()> onSignal);

// The display connection breaking (the compositor or X server gone, as at log-out) ends the
// process from inside Qt; save() runs first, on the way out, when it is still safe to.
void SaveWhenTheDisplayBreaks(std::function<void()> save);
// Whether Qt's message says the display connection broke.
bool DisplayBrokeMessage(const QString& message);
