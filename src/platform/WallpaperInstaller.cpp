#include "platform/WallpaperInstaller.h"

bool InstallDesktopWallpaper(const QString& bmpPath, const QImage& image, QString* error) {
  Q_UNUSED(bmpPath);
  Q_UNUSED(image);
  if (error) *error = QStringLiteral("no wallpaper installer for this desktop yet");
  return false;
}
