#pragma once
#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>
#include <optional>
#include <vector>

#include "calendar/Render.h"
#include "wallpaper/MonitorLayout.h"

struct Config;
struct Services;
struct WallpaperConfigT;
class IDesktop;
class IMessageBoxes;

// Why a wallpaper could not be made. The engine only says so; the caller decides whether and
// how the user is told (ShowWallpaperError shows the usual boxes).
struct WallpaperError {
  enum Kind { None, MissingImage, Decode, Write, Memory };
  Kind kind = None;
  QString path;     // the image asked for
  QString message;  // for the user: the box's text
  explicit operator bool() const { return kind != None; }
};

struct ComposeResult {
  std::optional<QImage> bitmap;  // none when `error` says why
  WallpaperError error;
};

// A new bitmap of that size: background, image and calendar as the settings say, for a screen
// of that size on that day, or the reason there is none (missing image, a picture that cannot
// be decoded, no memory). Without `calendar` (a monitor that does not show it) neither the
// calendar nor its glass is drawn.
ComposeResult ComposeWallpaper(const QString& path, int width, int height, const Config& config,
                               QSize screen, const QDate& today, bool calendar = true);
// The compositions of the desktop's monitors now: the primary's (to the wallpaper file) first.
QList<MonitorJob> PlanWallpapers(const IDesktop& desktop);
// The picture composed for each monitor at its own size, the calendar where the job says;
// in parallel (the first job on this thread) or one after the other.
std::vector<ComposeResult> ComposeForMonitors(const QString& path, const Config& config,
                                              const QList<MonitorJob>& jobs, const QDate& today,
                                              bool parallel);
// Records the image in the settings, composes it for each monitor at its size, writes and
// installs the pictures; what went wrong, if anything (nothing is installed then).
WallpaperError ApplyWallpaper(const QString& path, Config& config, const Services& services);
// Hands the written pictures to the desktop; a desktop that refuses is noted on standard error
// once per run, never in a box.
void InstallMonitorPictures(const QList<MonitorPicture>& pictures, IDesktop& desktop);
// Installs the pictures written before, when there is one of the right size for every monitor
// there is now; false (nothing installed) otherwise.
bool InstallKeptWallpapers(IDesktop& desktop);
// The message box for a failure: the missing-image box, or the general error report.
void ShowWallpaperError(const WallpaperError& error, IMessageBoxes& boxes);

// Where the wallpaper file lives: Quillatorne.bmp in the program's data folder.
QString WallpaperFilePath();

// The largest size of the picture's proportions inside the box (enlarging as well). The
// ratios are single precision, so results match the program's other builds to the pixel.
QSize FitInside(int imageWidth, int imageHeight, int boxWidth, int boxHeight);
// A smoothed copy of the whole source at that size: area-averaging when shrinking,
// interpolating when enlarging.
QImage ResampleHalftone(const QImage& source, int width, int height);
// Whether the settings put glass under the calendar.
bool GlassOn(const Config& config);
// Darkens the image pixels that lie under the calendar (v * 0.7), the image standing
// centred on a canvas of that size; the background around the image is not touched.
void DarkenGlassArea(QImage& image, const CalendarBox& rect, int canvasWidth, int canvasHeight);

// The drawn size and position of a picture of `image` size on a width x height canvas,
// for a screen of `screen` size, by the placement settings in w.
struct Placement {
  QSize drawn;
  QPoint position;
  bool resample = false;
};
Placement PlaceImage(QSize image, int width, int height, QSize screen, const WallpaperConfigT& w);
