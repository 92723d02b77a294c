#include "wallpaper/Compose.h"

// The wallpaper engine fills these in.
std::optional<QImage> ComposeWallpaper(const QString& path, int width, int height) {
  (void)path;
  (void)width;
  (void)height;
  return std::nullopt;
}

void ApplyWallpaper(const QString& path) { (void)path; }
