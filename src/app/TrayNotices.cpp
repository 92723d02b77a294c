#include "app/TrayNotices.h"

#include <cstdio>

QString NoTrayText() {
  return QStringLiteral(
      "No system tray was found, so Quillatorne shows no icon. It keeps running: open its "
      "window with \"quillatorne --show\" or the launcher's \"Show settings\".");
}

void TellNoTray() { std::fprintf(stderr, "quillatorne: %s\n", qPrintable(NoTrayText())); }
