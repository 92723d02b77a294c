#include "app/Application.h"

#include <exception>

#include "platform/Services.h"

QuillatorneApplication::QuillatorneApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("Quillatorne"));
  setQuitOnLastWindowClosed(false);
}

bool GuardedCall(const std::function<bool()>& handler, IMessageBoxes* boxes) {
  try {
    return handler();
  } catch (const std::exception& e) {
    if (boxes) ReportError(*boxes, QString::fromLocal8Bit(e.what()));
  } catch (...) {
    if (boxes) ReportError(*boxes, QString());
  }
  return false;
}

bool QuillatorneApplication::notify(QObject* receiver, QEvent* event) {
  return GuardedCall([&] { return QApplication::notify(receiver, event); }, boxes_);
}
