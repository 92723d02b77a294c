#pragma once
#include <QString>

class INotifications;

// What a user with no tray at all is told, once: how to reach the program without an icon.
QString NoTrayText();
// Says text on standard error, and in the notification centre when one runs (may be null):
// for what the user should hear of without a box that waits for an answer.
void TellUser(INotifications* notifications, const QString& text);
// Says it on standard error, and in the notification centre when one runs (may be null).
void TellNoTray(INotifications* notifications);
