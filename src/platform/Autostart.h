#pragma once
// Starting at login through the desktop's autostart folder:
// $XDG_CONFIG_HOME/autostart/quillatorne.desktop (default ~/.config/autostart/).
#include <QString>

QString AutostartFilePath();
// Whether the entry is there and asks for a start: an entry the desktop was told to skip
// (Hidden=true, X-GNOME-Autostart-enabled=false) does not count.
bool AutostartEnabled();
// Writes the entry, starting `program` (an absolute path), replacing the file whole.
// False with the reason when it cannot be written.
bool EnableAutostart(const QString& program, QString* error);
// Removes the entry; true when there is none afterwards.
bool DisableAutostart(QString* error);
// The program as one argument of a desktop entry's Exec= line, quoted where needed.
QString DesktopExecArgument(const QString& program);
