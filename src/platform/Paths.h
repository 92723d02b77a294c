#pragma once
#include <QString>

// The directory of the running program, ending in a separator. An installed program
// (under <prefix>/bin) looks in <prefix>/share/quillatorne/ instead, where its help
// and sample images are installed.
QString ProgramDirectory();
// $XDG_CONFIG_HOME/Quillatorne (default ~/.config/Quillatorne), without a trailing separator.
QString ConfigDirectory();
// $XDG_DATA_HOME/Quillatorne (default ~/.local/share/Quillatorne), created when missing.
QString DataDirectory();
