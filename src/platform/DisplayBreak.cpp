#include "platform/DisplayBreak.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QSemaphore>
#include <QString>
#include <QThread>
#include <atomic>
#include <cstdio>
#include <memory>

namespace {
QtMessageHandler g_previousHandler = nullptr;
std::function<void()> g_saveOnDisplayBreak;

// How long the thread that saw the break waits for the GUI thread's save before Qt ends
// the process; a GUI thread that is itself stuck on the display must not hang it for ever.
constexpr int kSaveWaitMs = 3000;

// On the GUI thread only; the first report saves, later ones find it done.
void SaveOnce() {
  static bool saved = false;
  if (saved) return;
  saved = true;
  g_saveOnDisplayBreak();
}

void WatchForDisplayBreak(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  static std::atomic<bool> handedOver{false};
  if (g_saveOnDisplayBreak && qApp && DisplayBrokeMessage(text)) {
    if (QThread::currentThread() == qApp->thread()) {
      // Qt ends the process when this returns: save now, whichever thread saw it first.
      SaveOnce();
    } else if (!handedOver.exchange(true)) {
      // The display's event thread reports the break and ends the process right after: the
      // record belongs to the GUI thread, so the save runs there while this thread waits.
      auto done = std::make_shared<QSemaphore>();
      QMetaObject::invokeMethod(
          qApp,
          [done] {
            SaveOnce();
            done->release();
          },
          Qt::QueuedConnection);
      done->tryAcquire(1, kSaveWaitMs);
    }
  }
  if (g_previousHandler) {
    g_previousHandler(type, context, text);
  } else {
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
  }
}
}  // namespace

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
