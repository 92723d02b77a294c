#pragma once
#include <QImage>
#include <QString>

// Makes the picture the desktop's wallpaper by whatever means the running desktop offers.
bool InstallDesktopWallpaper(const QString& bmpPath, const QImage& image, QString* error);
