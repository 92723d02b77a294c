#include "platform/DisplayBreak.h"

#include <QCoreApplication>
#include <QString>
#include <QThread>
#include <cstdio>

namespace {
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
