#include "platform/WindowActivation.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "platform/WaylandActivation.h"

namespace {
bool OnWayland() { return QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

// Waits for the window's first exposure; by the time the event loop comes round again its
// first picture has reached the compositor, which then knows the window.
class WhenOnScreen : public QObject {
 public:
  explicit WhenOnScreen(QWindow* window) : QObject(window), window_(window) {
    window->installEventFilter(this);
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == window_ && event->type() == QEvent::Expose && window_->isExposed()) {
      window_->removeEventFilter(this);
      QTimer::singleShot(0, window_, [w = window_] { RequestWaylandActivation(w); });
      deleteLater();
    }
    return false;
  }

 private:
  QPointer<QWindow> window_;
};
}  // namespace

void BringForward(QWidget* window) {
  const bool wayland = OnWayland();
  // Without a token a Wayland compositor ignores the request to activate.
  if (wayland && !window->isActiveWindow() && qEnvironmentVariableIsEmpty("XDG_ACTIVATION_TOKEN")) {
    window->hide();
    window->show();
  }
  window->raise();
  window->activateWindow();
}

void AskForAttention(QWidget* window) {
  if (!OnWayland()) {
    QApplication::alert(window);
    return;
  }
  QWindow* handle = window->windowHandle();
  if (!handle) return;
  if (handle->isExposed()) RequestWaylandActivation(handle);
  else new WhenOnScreen(handle);
}
