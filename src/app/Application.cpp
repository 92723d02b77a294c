#include "app/Application.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <exception>

#include "platform/Services.h"

namespace {
int g_signalPipe[2] = {-1, -1};
volatile sig_atomic_t g_caught = 0;
constexpr int kTerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};
QtMessageHandler g_previousHandler = nullptr;
std::function<void()> g_saveOnDisplayBreak;

void WatchForDisplayBreak(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  static bool saving = false;
  // Only on the GUI thread: the settings record belongs to it.
  if (!saving && g_saveOnDisplayBreak && DisplayBrokeMessage(text) && qApp &&
      QThread::currentThread() == qApp->thread()) {
    saving = true;
    g_saveOnDisplayBreak();
  }
  if (g_previousHandler) {
    g_previousHandler(type, context, text);
  } else {
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
  }
}

void OnSignal(int sig) {
  g_caught = sig;
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

bool DisplayBrokeMessage(const QString& message) {
  // Qt's Wayland and X11 plugins say this, then end the process.
  return message.startsWith(QLatin1String("The Wayland connection broke")) ||
         message.startsWith(QLatin1String("The Wayland connection experienced a fatal error")) ||
         message.startsWith(QLatin1String("The X11 connection broke"));
}

void SaveWhenTheDisplayBreaks(std::function<void()> save) {
  g_saveOnDisplayBreak = std::move(save);
  static bool installed = false;
  if (installed) return;
  installed = true;
  g_previousHandler = qInstallMessageHandler(WatchForDisplayBreak);
}
