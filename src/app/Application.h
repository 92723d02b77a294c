#pragma once
#include <QApplication>
#include <functional>

#include "platform/TerminationSignals.h"

class QObject;
class IMessageBoxes;

// The application object: exceptions escaping an event handler are shown in the general
// error box and the loop goes on.
class QuillatorneApplication : public QApplication {
 public:
  QuillatorneApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
  // Where the general error box opens; none until the services exist.
  void setErrorBoxes(IMessageBoxes* boxes) { boxes_ = boxes; }

 private:
  IMessageBoxes* boxes_ = nullptr;
};

// Runs a handler; an exception it throws goes to the general error box (when there are
// boxes) instead of ending the program. Returns the handler's result, false after an
// exception.
bool GuardedCall(const std::function<bool()>& handler, IMessageBoxes* boxes);
