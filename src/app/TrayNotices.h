#pragma once
#include <QString>

// What a user with no tray at all is told, once: how to reach the program without an icon.
QString NoTrayText();
// Says it on standard error.
void TellNoTray();
