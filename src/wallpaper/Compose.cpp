#include "wallpaper/Compose.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QRect>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

#include "platform/DateTime.h"
#include "platform/Paths.h"
#include "platform/Services.h"
#include "settings/Config.h"
#include "wallpaper/AreaShrink.h"
#include "wallpaper/BmpWriter.h"
#include "wallpaper/JpegDecoder.h"
#include "wallpaper/JpegShrink.h"
#include "wallpaper/RunJobs.h"

namespace {
QRgb ColorToRgb(Color c) { return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

WallpaperError MissingImage(const QString& path) {
  QString text = QStringLiteral("Quillatorne could not find the image:\n\n") + path;
  if (path.isEmpty()) text = QStringLiteral("There is no image selected.");
  text += QStringLiteral("\n\n Please either select an image or switch off the Show Image option.");
  return {WallpaperError::MissingImage, path, text};
}

// Copies the image onto the canvas at (x, y), cropping whatever falls outside.
void Blit(QImage& canvas, const QImage& image, int x, int y) {
  const int x0 = std::max(0, x), y0 = std::max(0, y);
  const int x1 = std::min(canvas.width(), x + image.width());
  const int y1 = std::min(canvas.height(), y + image.height());
  if (x1 <= x0 || y1 <= y0) return;
  const size_t bytes = size_t(x1 - x0) * 4;
  for (int cy = y0; cy < y1; ++cy) {
    const uchar* src = image.constScanLine(cy - y) + size_t(x0 - x) * 4;
    std::memcpy(canvas.scanLine(cy) + size_t(x0) * 4, src, bytes);
  }
}

// Fills the canvas around `inside` (which lies within it) with the colour.
void FillOutside(QImage& canvas, const QRect& inside, QRgb colour) {
  const auto fillRow = [&](int y, int x0, int x1) {
    auto* row = reinterpret_cast<QRgb*>(canvas.scanLine(y));
    std::fill(row + x0, row + x1, colour);
  };
  for (int y = 0; y < canvas.height(); ++y) {
    if (y < inside.top() || y > inside.bottom()) {
      fillRow(y, 0, canvas.width());
    } else {
      fillRow(y, 0, inside.left());
      fillRow(y, inside.right() + 1, canvas.width());
    }
  }
}

const std::array<uchar, 256>& GlassTable() {
  static const std::array<uchar, 256> table = [] {
    std::array<uchar, 256> t{};
    for (int v = 0; v < 256; ++v) t[v] = static_cast<uchar>(static_cast<int>(v * 0.7));
    return t;
  }();
  return table;
}

// v * 0.7 on the three colour bytes of every 32-bit pixel of `area` (within the image).
void Darken(QImage& image, const QRect& area) {
  const auto& glass = GlassTable();
  for (int y = area.top(); y <= area.bottom(); ++y) {
    uchar* p = image.scanLine(y) + size_t(area.left()) * 4;
    for (int x = area.left(); x <= area.right(); ++x, p += 4) {
      // Blue, green and red; the fourth byte is the unused alpha of the 32-bit format.
      p[0] = glass[p[0]];
      p[1] = glass[p[1]];
      p[2] = glass[p[2]];
    }
  }
}

// What a composition is for: the settings, the screen and the day.
struct Scene {
  const Config& config;
  QSize screen;
  QDate today;
  bool calendar;  // the calendar goes on this monitor
  bool Glass() const { return calendar && GlassOn(config); }
  CalendarBox Calendar(const QImage& canvas) const {
    return CalendarRect(canvas.width(), canvas.height(), config, today);
  }
};

// The glass for a picture already on the canvas at `picture`: its pixels under the calendar.
void DarkenOnCanvas(const Scene& scene, QImage& canvas, const QRect& picture) {
  if (!scene.Glass()) return;
  const CalendarBox box = scene.Calendar(canvas);
  if (box.isEmpty()) return;
  const QRect calendar(QPoint(box.left, box.top), QPoint(box.right - 1, box.bottom - 1));
  Darken(canvas, calendar & picture & canvas.rect());
}

// The picture of a single orientation at its natural size: the rows and columns that fall on
// the canvas go straight there.
void DecodeOntoCanvas(JpegDecoder& decoder, QImage& canvas, const QRect& drawn) {
  const QRect visible = drawn & canvas.rect();
  int y = visible.top();
  const size_t skip = size_t(visible.left() - drawn.left()) * 4;
  const size_t bytes = size_t(visible.width()) * 4;
  decoder.DecodeRows(QSize(), visible.top() - drawn.top(), visible.bottom() + 1 - drawn.top(),
                     [&](const uchar* row) {
                       std::memcpy(canvas.scanLine(y++) + size_t(visible.left()) * 4, row + skip,
                                   bytes);
                     });
}

// Decoded whole, turned upright, resampled and copied: pictures stored turned, and whatever
// does not fit the canvas whole.
void ComposeWhole(const Scene& scene, JpegDecoder& decoder, QImage& canvas,
                  const Placement& place) {
  const int orientation = decoder.orientation();
  QImage image =
      Upright(decoder.Decode(place.resample ? UprightSize(place.drawn, orientation) : QSize()),
              orientation);
  if (place.resample) image = ResampleHalftone(image, place.drawn.width(), place.drawn.height());
  // The copy onto the canvas is a plain row copy, so both must have the same layout.
  if (image.format() != QImage::Format_RGB32) image = image.convertToFormat(QImage::Format_RGB32);
  if (scene.Glass())
    DarkenGlassArea(image, scene.Calendar(canvas), canvas.width(), canvas.height());
  Blit(canvas, image, place.position.x(), place.position.y());
}

// The picture onto the canvas (filled with the background around it), by the placement.
void PlacePicture(const Scene& scene, const QString& path, QImage& canvas, QRgb background) {
  JpegDecoder decoder(path);
  const QSize full = UprightSize(decoder.size(), decoder.orientation());
  const Placement place =
      PlaceImage(full, canvas.width(), canvas.height(), scene.screen, scene.config.WallpaperConfig);
  const QRect drawn(place.position, place.drawn);
  if (drawn.isEmpty() || !drawn.intersects(canvas.rect())) {
    canvas.fill(background);
  } else if (decoder.orientation() == 1 && place.resample && canvas.rect().contains(drawn)) {
    // Decoded and resampled straight into place, with no picture-sized copies, and only the
    // margins filled.
    FillOutside(canvas, drawn, background);
    uchar* at = canvas.bits() + drawn.y() * canvas.bytesPerLine() + qsizetype(drawn.x()) * 4;
    DecodeResampled(path, drawn.size(), at, canvas.bytesPerLine(),
                    ResampleParts(full, drawn.size(), decoder.multiScan()));
    DarkenOnCanvas(scene, canvas, drawn);
  } else if (decoder.orientation() == 1 && !place.resample) {
    FillOutside(canvas, drawn & canvas.rect(), background);
    DecodeOntoCanvas(decoder, canvas, drawn);
    DarkenOnCanvas(scene, canvas, drawn);
  } else {
    canvas.fill(background);
    ComposeWhole(scene, decoder, canvas, place);
  }
}
}  // namespace

QString WallpaperFilePath() { return DataDirectory() + QStringLiteral("/Quillatorne.bmp"); }

QSize FitInside(int imageWidth, int imageHeight, int boxWidth, int boxHeight) {
  if (imageWidth <= 0 || imageHeight <= 0 || boxWidth <= 0 || boxHeight <= 0) return QSize(0, 0);
  const float rx = static_cast<float>(static_cast<double>(imageWidth) / boxWidth);
  const float ry = static_cast<float>(static_cast<double>(imageHeight) / boxHeight);
  const float m = rx > ry ? rx : ry;
  return QSize(static_cast<int>(static_cast<float>(imageWidth) / m),
               static_cast<int>(static_cast<float>(imageHeight) / m));
}

QImage ResampleHalftone(const QImage& source, int width, int height) {
  if (width <= 0 || height <= 0 || source.isNull()) return QImage();
  if (source.width() == width && source.height() == height) return source.copy();
  if (width <= source.width() && height <= source.height())
    return AreaShrinkImage(source, width, height);
  return RowResampleImage(source, width, height);
}

bool GlassOn(const Config& cfg) {
  return cfg.CalendarConfig.ShowCalendar && cfg.WallpaperConfig.ShowImage &&
         cfg.CalendarConfig.DrawGlass;
}

void DarkenGlassArea(QImage& image, const CalendarBox& rect, int canvasWidth, int canvasHeight) {
  if (image.isNull() || rect.isEmpty()) return;
  if (image.depth() != 32) image = image.convertToFormat(QImage::Format_RGB32);
  const int offX = (canvasWidth - image.width()) / 2;
  const int offY = (canvasHeight - image.height()) / 2;
  // The calendar in the image's own coordinates, cut to the image.
  const QRect calendar(QPoint(rect.left - offX, rect.top - offY),
                       QPoint(rect.right - 1 - offX, rect.bottom - 1 - offY));
  Darken(image, calendar & image.rect());
}

Placement PlaceImage(QSize image, int width, int height, QSize screen, const WallpaperConfigT& w) {
  Placement place;
  if (!w.StretchToFit) {
    if (width == screen.width() && height == screen.height()) {
      place.drawn = image;
    } else {
      // A smaller canvas (the preview) shows the picture at the share of the screen it will take.
      const qint64 dw = screen.width() > 0 ? qint64(image.width()) * width / screen.width() : 0;
      const qint64 dh = screen.height() > 0 ? qint64(image.height()) * height / screen.height() : 0;
      place.drawn = QSize(static_cast<int>(dw), static_cast<int>(dh));
      place.resample = true;
    }
  } else if (w.ConstrainProportions) {
    place.drawn = FitInside(image.width(), image.height(), width, height);
    place.resample = true;
  } else {
    place.drawn = QSize(width, height);
    place.resample = true;
    place.position = QPoint(0, 0);
    return place;
  }
  // Truncating division: the odd pixel goes to the right or bottom margin.
  place.position = QPoint((width - place.drawn.width()) / 2, (height - place.drawn.height()) / 2);
  return place;
}

ComposeResult ComposeWallpaper(const QString& path, int width, int height, const Config& cfg,
                               QSize screen, const QDate& today, bool calendar) {
  const Scene scene{cfg, screen, today, calendar};
  ComposeResult result;
  QImage canvas(std::max(width, 0), std::max(height, 0), QImage::Format_RGB32);
  if (width > 0 && height > 0 && canvas.isNull()) {
    result.error = {WallpaperError::Memory, path,
                    QStringLiteral("Not enough memory for the wallpaper.")};
    return result;
  }
  const QRgb background = ColorToRgb(cfg.WallpaperConfig.BackgroundColor);

  if (!cfg.WallpaperConfig.ShowImage) {
    canvas.fill(background);
  } else if (path.isEmpty() || !QFileInfo(path).isFile()) {
    result.error = MissingImage(path);
    return result;
  } else {
    try {
      PlacePicture(scene, path, canvas, background);
    } catch (const std::bad_alloc&) {
      result.error = {WallpaperError::Memory, path,
                      QStringLiteral("Not enough memory to read the picture \"%1\".").arg(path)};
      return result;
    } catch (const std::exception& e) {
      result.error = {WallpaperError::Decode, path, QString::fromUtf8(e.what())};
      return result;
    }
  }
  if (calendar && cfg.CalendarConfig.ShowCalendar) DrawCalendar(canvas, width, height, cfg, today);
  result.bitmap = std::move(canvas);
  return result;
}

namespace {
// A desktop that would not take the picture is noted on standard error once per run.
void TellInstallFailed(const QString& error) {
  static bool told = false;
  if (told) return;
  told = true;
  fprintf(stderr, "Quillatorne: the wallpaper could not be installed: %s\n",
          qPrintable(error.isEmpty() ? QStringLiteral("unknown reason") : error));
}

// The pictures of monitors that are gone: a monitor's file that no job writes now. The
// desktop's own copies (with a time stamp in the name) are the installer's to tidy.
void RemoveOtherMonitorFiles(const QList<MonitorJob>& jobs) {
  if (jobs.isEmpty()) return;
  static const QRegularExpression copy(QStringLiteral("-\\d{10,}\\.bmp$"));
  const QFileInfo primary(jobs.first().file);
  QStringList keep;
  for (const MonitorJob& job : jobs) keep << QFileInfo(job.file).fileName();
  const QDir dir = primary.dir();
  for (const QString& name :
       dir.entryList({primary.completeBaseName() + QStringLiteral("-*.bmp")}, QDir::Files)) {
    if (!keep.contains(name) && !copy.match(name).hasMatch()) QFile::remove(dir.filePath(name));
  }
}
}  // namespace

void InstallMonitorPictures(const QList<MonitorPicture>& pictures, IDesktop& desktop) {
  QString error;
  // The pictures are written; a desktop that would not take them is no reason to nag the user.
  if (!desktop.InstallWallpapers(pictures, &error)) TellInstallFailed(error);
}

QList<MonitorJob> PlanWallpapers(const IDesktop& desktop) {
  const MonitorList monitors = desktop.Monitors();
  return PlanMonitorPictures(monitors, WallpaperFilePath(),
                             monitors.isEmpty() ? desktop.ScreenSize() : QSize());
}

std::vector<ComposeResult> ComposeForMonitors(const QString& path, const Config& config,
                                              const QList<MonitorJob>& jobs, const QDate& today,
                                              bool parallel) {
  std::vector<ComposeResult> results(size_t(jobs.size()));
  const auto compose = [&](size_t i) {
    const QSize size = jobs[qsizetype(i)].monitor.rect.size();
    results[i] = ComposeWallpaper(path, size.width(), size.height(), config, size, today,
                                  jobs[qsizetype(i)].calendar);
  };
  // The first job (the primary's, with the calendar) runs on this thread.
  if (parallel) {
    RunAll(results.size(), compose);
  } else {
    for (size_t i = 0; i < results.size(); ++i) compose(i);
  }
  return results;
}

bool InstallKeptWallpapers(IDesktop& desktop) {
  QList<MonitorPicture> pictures;
  for (const MonitorJob& job : PlanWallpapers(desktop)) {
    QImage kept;
    if (!kept.load(job.file, "BMP") || kept.size() != job.monitor.rect.size()) return false;
    pictures << MonitorPicture{job.monitor, job.file, kept};
  }
  InstallMonitorPictures(pictures, desktop);
  return true;
}

WallpaperError ApplyWallpaper(const QString& path, Config& config, const Services& services) {
  const QDate today = CalendarToday(*services.clock);
  const QList<MonitorJob> jobs = PlanWallpapers(*services.desktop);
  std::vector<ComposeResult> composed = ComposeForMonitors(path, config, jobs, today, true);
  for (const ComposeResult& result : composed)
    if (!result.bitmap) return result.error;
  QList<MonitorPicture> pictures;
  for (qsizetype i = 0; i < jobs.size(); ++i) {
    pictures << MonitorPicture{jobs[i].monitor, jobs[i].file, std::move(*composed[size_t(i)].bitmap)};
    try {
      WriteBmpFile(pictures.last().image, jobs[i].file);
    } catch (const std::exception& e) {
      return {WallpaperError::Write, path, QString::fromUtf8(e.what())};
    }
  }
  RemoveOtherMonitorFiles(jobs);

  InstallMonitorPictures(pictures, *services.desktop);
  // Only a picture that made it to the disk is the current one, and only then is the
  // calendar on it today's.
  auto& program = config.ProgramConfig;
  program.LastImageFileName = path;
  program.LastDay = today.day();
  program.LastMonth = today.month();
  program.LastYear = today.year();
  config.DynamicConfig.LastSetTime = NowDays(*services.clock);
  config.DynamicConfig.LastSetElapsedMs = services.clock->ElapsedMs();
  return {};
}

void ShowWallpaperError(const WallpaperError& error, IMessageBoxes& boxes) {
  if (!error) return;
  if (error.kind == WallpaperError::MissingImage) {
    boxes.Show(error.message, QStringLiteral("Quillatorne Error"), MB_OK | MB_ICONERROR);
  } else {
    ReportError(boxes, error.message);
  }
}
