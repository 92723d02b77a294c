#include "platform/WindowActivation.h"

#include <QGuiApplication>
#include <QWidget>

void BringForward(QWidget* window) {
  const bool wayland = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
  // Without a token a Wayland compositor ignores the request to activate.
  if (wayland && !window->isActiveWindow() && qEnvironmentVariableIsEmpty("XDG_ACTIVATION_TOKEN")) {
    window->hide();
    window->show();
  }
  window->raise();
  window->activateWindow();
}
