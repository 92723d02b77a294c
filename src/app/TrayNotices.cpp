#include "app/TrayNotices.h"

#include <cstdio>

#include "platform/DesktopNotifications.h"

QString NoTrayText() {
  return QStringLiteral(
      "No system tray was found, so Quillatorne shows no icon. It keeps running: open its "
      "window with \"quillatorne --show\" or the launcher's \"Show settings\".");
}

void TellNoTray(INotifications* notifications) {
  std::fprintf(stderr, "quillatorne: %s\n", qPrintable(NoTrayText()));
  if (!notifications || !notifications->Available()) return;
  DesktopNotification n;
  n.summary = QStringLiteral("Quillatorne");
  n.body = NoTrayText();
  notifications->Notify(n);
}
