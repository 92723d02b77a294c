#pragma once
#include <QImage>
#include <QString>
#include <optional>

// A new bitmap of that size: background, image and calendar as the settings say; none
// when it cannot be composed (the user has then been told why).
std::optional<QImage> ComposeWallpaper(const QString& path, int width, int height);
// Records the image, composes it at the screen's size, writes and installs the wallpaper.
void ApplyWallpaper(const QString& path);
