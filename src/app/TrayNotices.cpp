#include "app/TrayNotices.h"

#include <cstdio>

#include "platform/DesktopNotifications.h"

QString NoTrayText() {
  return QStringLiteral(
      "No system tray was found, so Quillatorne shows no icon. It keeps running: open its "
      "window with \"quillatorne --show\" or the launcher's \"Show settings\".");
}

void TellUser(INotifications* notifications, const QString& text) {
  std::fprintf(stderr, "quillatorne: %s\n", qPrintable(text));
  if (!notifications || !notifications->Available()) return;
  DesktopNotification n;
  n.summary = QStringLiteral("Quillatorne");
  n.body = text;
  notifications->Notify(n);
}

void TellNoTray(INotifications* notifications) { TellUser(notifications, NoTrayText()); }
