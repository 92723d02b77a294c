#pragma once
#include <QDBusConnection>
#include <QString>

// How long the desktop portal gets to take the picture and say so, start-up included.
constexpr int kPortalTimeoutMs = 5000;

// Asks the XDG desktop portal on the bus (its Wallpaper interface) to make the picture file
// the desktop's background, without a preview. Waits at most timeoutMs for the portal's
// answer, whatever the portal does; false with a reason for the user when there is no portal,
// it has no Wallpaper interface, it refused or cancelled, or it did not answer in time.
// Blocks the calling thread only: the exchange runs on a thread of its own.
bool SetWallpaperThroughPortal(const QDBusConnection& bus, const QString& file, int timeoutMs,
                               QString* error);
