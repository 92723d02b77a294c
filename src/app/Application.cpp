#include "app/Application.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QWidget>
#include <csignal>
#include <exception>

#include "platform/Services.h"

namespace {
int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char c = 1;
  [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
}
}  // namespace

QuillatorneApplication::QuillatorneApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("Quillatorne"));
  setQuitOnLastWindowClosed(false);
}

bool GuardedCall(const std::function<bool()>& handler) {
  try {
    return handler();
  } catch (const std::exception& e) {
    ReportError(QString::fromLocal8Bit(e.what()));
  } catch (...) {
    ReportError(QString());
  }
  return false;
}

bool QuillatorneApplication::notify(QObject* receiver, QEvent* event) {
  return GuardedCall([&] { return QApplication::notify(receiver, event); });
}

void RouteTerminationSignals(QWidget* mainWindow) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, mainWindow);
  QObject::connect(notifier, &QSocketNotifier::activated, mainWindow, [mainWindow] {
    char buf[16];
    [[maybe_unused]] ssize_t n = ::read(g_signalPipe[0], buf, sizeof buf);
    mainWindow->close();
  });
  struct sigaction sa = {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);
}
