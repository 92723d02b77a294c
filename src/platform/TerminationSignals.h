#pragma once
#include <functional>

class QObject;

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
