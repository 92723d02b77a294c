#pragma once
// The wallpaper drawn into a file with the saved settings: no display, tray, window or
// running copy involved.
#include <QImage>
#include <QSize>
#include <QString>
#include <optional>

#include "app/CommandLine.h"

struct Config;
struct Services;

// The picture, or the text the user would have been shown in a box instead.
struct RenderResult {
  std::optional<QImage> image;
  QString error;
};
// Composes the wallpaper at that size with the settings given, as the screen of that size
// would get it, on the services' day.
RenderResult ComposeForRender(const Config& config, const Services& services, const QString& image,
                              QSize size);
// Services for a run without a desktop: the screen is `screen`, nothing is installed,
// opened or played, and no box opens (the render reports through its result).
Services RenderServices(QSize screen);
// The size when none is asked for: the current wallpaper file's, else 1920 x 1080.
QSize DefaultRenderSize();
// Writes the picture as BMP or PNG by the file's extension, replacing the file whole.
// Returns the reason on failure, empty on success.
QString WriteRenderedFile(const QImage& image, const QString& file);

// The whole --render run. Returns the exit status; errors go to stderr.
int RunRender(int& argc, char** argv, const RenderRequest& request);
