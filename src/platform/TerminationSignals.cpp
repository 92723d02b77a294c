#include "platform/TerminationSignals.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

namespace {
int g_signalPipe[2] = {-1, -1};
volatile sig_atomic_t g_caught = 0;
constexpr int kTerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};

void OnSignal(int sig) {
  g_caught = sig;
  const char c = 1;
  [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
}
}  // namespace

void CatchTerminationSignals() {
  if (g_signalPipe[0] < 0 &&
      ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) == 0) {
    // The handler must never block, however many signals come.
    ::fcntl(g_signalPipe[1], F_SETFL, ::fcntl(g_signalPipe[1], F_GETFL) | O_NONBLOCK);
  }
  struct sigaction sa = {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : kTerminationSignals) sigaction(sig, &sa, nullptr);
}

bool TerminationRequested() { return g_caught != 0; }

void ReleaseTerminationSignals() {
  struct sigaction sa = {};
  sa.sa_handler = SIG_DFL;
  sigemptyset(&sa.sa_mask);
  for (int sig : kTerminationSignals) sigaction(sig, &sa, nullptr);
  if (g_caught) ::raise(g_caught);
}

void RouteTerminationSignals(QObject* context, std::function<void()> onSignal) {
  if (g_signalPipe[0] < 0) return;
  auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, context);
  QObject::connect(notifier, &QSocketNotifier::activated, context,
                   [onSignal = std::move(onSignal)] {
                     char buf[16];
                     [[maybe_unused]] ssize_t n = ::read(g_signalPipe[0], buf, sizeof buf);
                     onSignal();
                   });
}
