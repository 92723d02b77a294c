// Composes and writes the wallpaper from a 6000 x 4000 photo-like JPEG made at run time, for
// two screens and the preview, beside djpeg decoding the same file at full size and
// ImageMagick's convert doing the same fit-and-centre. Prints the figures; asserts nothing.
//
//   wallpaper_bench            the table
//   wallpaper_bench --peak W H F   one compose-and-write of F at W x H, then the peak memory
//   wallpaper_bench --make F       only writes the test JPEG to F
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/Services.h"
#include "settings/Config.h"
#include "wallpaper/BmpWriter.h"
#include "wallpaper/Compose.h"

namespace {
class BenchDesktop : public IDesktop {
 public:
  QSize screen;
  QSize ScreenSize() const override { return screen; }
  bool InstallWallpaper(const QString&, const QImage&, QString*) override { return true; }
  bool ShellOpen(const QString&) override { return false; }
  void PlaySound(const QString&) override {}
};
class SilentBoxes : public IMessageBoxes {
 public:
  int Show(const QString& text, const QString&, unsigned) override {
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
    return IDOK;
  }
};
class FixedClock : public IClock {
 public:
  QDateTime Now() const override { return QDateTime(QDate(2026, 12, 9), QTime(12, 0)); }
};

BenchDesktop g_desktop;
SilentBoxes g_boxes;
FixedClock g_clock;

// Smooth sky-to-ground gradients, a few hard-edged shapes and sensor-like noise: about the
// entropy of a real photograph, so the entropy decoder works as hard as on one.
QImage PhotoLike(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  uint32_t seed = 12345;
  auto noise = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>((seed >> 24) % 17) - 8;
  };
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    const double v = double(y) / height;
    for (int x = 0; x < width; ++x) {
      const double u = double(x) / width;
      int r = int(90 + 120 * v + 30 * std::sin(u * 17.0));
      int g = int(140 + 60 * std::sin(v * 9.0 + u * 3.0));
      int b = int(220 - 150 * v + 20 * std::cos(u * 23.0 + v * 5.0));
      if (((x / 300) + (y / 250)) % 7 == 0) r = 250 - r / 2, g = g / 3;
      if (std::hypot(x - width * 0.7, y - height * 0.3) < height * 0.12) r = 255, g = 230, b = 120;
      r = std::clamp(r + noise(), 0, 255);
      g = std::clamp(g + noise(), 0, 255);
      b = std::clamp(b + noise(), 0, 255);
      row[x] = qRgb(r, g, b);
    }
  }
  return image;
}

double ComposeAndWriteMs(const QString& jpeg, QSize screen, QSize canvas, const QString& out) {
  g_desktop.screen = screen;
  QElapsedTimer t;
  t.start();
  const ComposeResult composed = ComposeWallpaper(jpeg, canvas.width(), canvas.height());
  if (!composed.bitmap) {
    std::fprintf(stderr, "%s\n", qPrintable(composed.error.message));
    return -1;
  }
  WriteBmpFile(*composed.bitmap, out);
  return t.nsecsElapsed() / 1e6;
}

double RunMs(const QString& program, const QStringList& args) {
  QProcess p;
  p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  QElapsedTimer t;
  t.start();
  p.start(program, args);
  if (!p.waitForFinished(120000) || p.exitCode() != 0) return -1;
  return t.nsecsElapsed() / 1e6;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? -1 : v[v.size() / 2];
}

// The high-water mark of this process's resident memory (VmHWM starts afresh at exec,
// unlike getrusage's figure, which a child inherits from the parent that forked it).
long PeakRssKb() {
  QFile status("/proc/self/status");
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
  }
  return -1;
}

void Setup() {
  Svc() = Services{&g_clock, nullptr, &g_desktop, &g_boxes};
  ResetConfig(QSize(1920, 1080));  // stretch to fit, keep proportions, calendar on: the defaults
}
}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  Setup();
  QTemporaryDir dir;
  const QString jpeg = dir.path() + "/photo.jpg";
  const QString out = dir.path() + "/Quillatorne.bmp";

  const QStringList args = app.arguments();
  if (args.size() == 5 && args[1] == "--peak") {
    // A child run: the JPEG is given, so only the compose-and-write is in this process.
    const QSize screen(args[2].toInt(), args[3].toInt());
    const long before = PeakRssKb();
    const double ms = ComposeAndWriteMs(args[4], screen, screen, out);
    std::printf("%.1f %ld %ld\n", ms, before, PeakRssKb());
    return ms < 0;
  }

  if (args.size() == 3 && args[1] == "--make")
    return PhotoLike(6000, 4000).save(args[2], "JPEG", 90) ? 0 : 1;

  std::printf("Making a 6000 x 4000 photo-like JPEG (quality 90)...\n");
  if (!PhotoLike(6000, 4000).save(jpeg, "JPEG", 90)) {
    std::fprintf(stderr, "could not write %s\n", qPrintable(jpeg));
    return 1;
  }
  std::printf("  %lld bytes\n\n", static_cast<long long>(QFileInfo(jpeg).size()));

  const bool haveDjpeg = !QStandardPaths::findExecutable("djpeg").isEmpty();
  const bool haveConvert = !QStandardPaths::findExecutable("convert").isEmpty();
  std::vector<double> djpegRuns;
  for (int i = 0; i < 5 && haveDjpeg; ++i)
    djpegRuns.push_back(RunMs("djpeg", {"-outfile", "/dev/null", jpeg}));
  const double djpeg = Median(djpegRuns);
  std::printf("djpeg, full-size decode of the same file: %.1f ms (median of 5)\n\n", djpeg);

  struct Case {
    const char* name;
    QSize screen, canvas;
  } cases[] = {{"1920x1080 screen", {1920, 1080}, {1920, 1080}},
               {"3840x2160 screen", {3840, 2160}, {3840, 2160}},
               {"640x480 preview ", {1920, 1080}, {640, 480}}};
  std::printf("%-17s %12s %12s %12s %14s %14s\n", "case", "ours ms", "djpeg ms", "convert ms",
              "ours/djpeg", "convert/ours");
  for (const Case& c : cases) {
    std::vector<double> ours;
    for (int i = 0; i < 7; ++i) ours.push_back(ComposeAndWriteMs(jpeg, c.screen, c.canvas, out));
    const double mine = Median(ours);
    std::vector<double> im;
    const QString size = QStringLiteral("%1x%2").arg(c.canvas.width()).arg(c.canvas.height());
    for (int i = 0; i < 3 && haveConvert; ++i) {
      im.push_back(RunMs("convert", {jpeg, "-resize", size, "-background", "black", "-gravity",
                                     "center", "-extent", size, "BMP3:" + dir.path() + "/im.bmp"}));
    }
    const double magick = Median(im);
    std::printf("%-17s %12.1f %12.1f %12.1f %14.2f %14.1f\n", c.name, mine, djpeg, magick,
                mine / djpeg, magick / mine);
  }

  // Peak memory in a fresh process, so the table's runs do not count.
  QProcess child;
  child.start(QCoreApplication::applicationFilePath(), {"--peak", "3840", "2160", jpeg});
  child.waitForFinished(120000);
  const QList<QByteArray> f = child.readAllStandardOutput().trimmed().split(' ');
  if (f.size() == 3) {
    std::printf(
        "\n3840x2160 compose-and-write in a fresh process: %s ms, peak resident memory %.1f MB "
        "(%.1f MB before composing: the program and its libraries)\n",
        f[0].constData(), f[2].toDouble() / 1024.0, f[1].toDouble() / 1024.0);
  }
  std::printf("\nTargets: ours/djpeg <= 1.2, convert/ours >= 3, peak memory < 150 MB.\n");
  return 0;
}
