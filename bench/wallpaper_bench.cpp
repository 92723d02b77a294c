// Composes and writes the wallpaper from a 6000 x 4000 photo-like JPEG made at run time (and
// its progressive copy when jpegtran is there), and from real photographs when a folder of them
// is given (bench/fetch-photos.sh fetches them), beside djpeg decoding the same file at full
// size plus writing a file of the BMP's size. Every figure is from a fresh process, the
// programs taking turns; medians. Prints the figures; asserts nothing.
//
//   wallpaper_bench [PHOTOS]       the table (PHOTOS: a folder from bench/fetch-photos.sh)
//   wallpaper_bench --peak W H F   one compose-and-write of F at W x H, then the milliseconds,
//                                  the KB resident before and the peak KB
//   wallpaper_bench --apply W H F KIND
//                                  one apply of F at W x H up to the desktop being told of its
//                                  file (KIND: KDE, GNOME, or GNOME-Qt for Qt's PNG writer),
//                                  then the milliseconds of composing, the BMP, the desktop's
//                                  copy and the whole
//   wallpaper_bench --make F       only writes the test JPEG to F
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/Services.h"
#include "platform/WallpaperInstaller.h"
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
  qint64 ElapsedMs() const override { return 0; }
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

// One apply as the program makes it, up to the moment the desktop is told which file to show:
// what the user waits for. The desktop's tool is not run; the copy it would read is written.
bool ApplyToDesktopMs(const QString& jpeg, QSize screen, const QString& kind, const QString& dir,
                      double ms[4]) {
  g_desktop.screen = screen;
  QElapsedTimer t;
  t.start();
  const ComposeResult composed = ComposeWallpaper(jpeg, screen.width(), screen.height());
  if (!composed.bitmap) return false;
  ms[0] = t.nsecsElapsed() / 1e6;
  const QString bmp = dir + "/Quillatorne.bmp";
  WriteBmpFile(*composed.bitmap, bmp);
  ms[1] = t.nsecsElapsed() / 1e6;
  double told = -1;
  if (kind == "GNOME-Qt") {
    // The copy as it was made before: Qt's PNG writer at quality 80.
    if (!composed.bitmap->save(dir + "/Quillatorne-qt.png", "PNG", 80)) return false;
    told = t.nsecsElapsed() / 1e6;
  } else {
    InstallerMachine machine;
    machine.env = QProcessEnvironment();
    machine.env.insert("XDG_CURRENT_DESKTOP", kind);
    machine.run = [&](const QString&, const QStringList&, QString*, QString*) {
      if (told < 0) told = t.nsecsElapsed() / 1e6;
      return true;
    };
    machine.setRootPixmap = [](const QImage&, QString*) { return false; };
    QString error;
    if (!InstallWallpaperOn(machine, bmp, *composed.bitmap, &error)) {
      std::fprintf(stderr, "%s\n", qPrintable(error));
      return false;
    }
  }
  ms[2] = told - ms[1];
  ms[3] = told;
  ms[1] -= ms[0];
  return true;
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

namespace {
// One run of a program in a fresh process: wall time, peak resident memory, CPU time, output.
struct Run {
  double ms = -1;
  long peakKb = -1;
  double cpuMs = -1;
  QByteArray out;
};

Run Spawn(const QStringList& command) {
  Run run;
  int fds[2];
  if (::pipe(fds) != 0) return run;
  std::vector<QByteArray> args;
  for (const QString& a : command) args.push_back(QFile::encodeName(a));
  std::vector<char*> argv;
  for (QByteArray& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  QElapsedTimer t;
  t.start();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fds[1], 1);
    ::close(fds[0]);
    ::close(fds[1]);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  char buf[4096];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) run.out.append(buf, n);
  ::close(fds[0]);
  int status = 0;
  rusage usage{};
  if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    return run;
  }
  run.ms = t.nsecsElapsed() / 1e6;
  run.peakKb = usage.ru_maxrss;
  run.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
              (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
  return run;
}

// Writing a file of the BMP's size, as the wallpaper's own write does: the part of the
// work that no decoder does.
double WriteSameSizeMs(const QString& file, QSize screen) {
  const qint64 bytes = 54 + ((qint64(screen.width()) * 3 + 3) & ~qint64(3)) * screen.height();
  std::vector<char> chunk(1 << 20, 7);
  QElapsedTimer t;
  t.start();
  QFile f(file);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return -1;
  for (qint64 left = bytes; left > 0; left -= qint64(chunk.size()))
    f.write(chunk.data(), std::min<qint64>(left, qint64(chunk.size())));
  f.close();
  return t.nsecsElapsed() / 1e6;
}

struct Case {
  QString name, file;
  QSize screen;
};

// The desktops' kinds: those that read the BMP itself (given a hard link), those that are
// handed a PNG copy, and that copy as Qt's own PNG writer made it before.
const char* const kKinds[] = {"KDE", "GNOME", "GNOME-Qt"};
constexpr int kKindCount = 3;

// What one case printed for the table of applies, kept until all cases ran.
struct ApplyRow {
  QString name;
  double parts[kKindCount][4];
  double cpu[kKindCount];
  double floor;
};
std::vector<ApplyRow> g_applies;

void Measure(const Case& c, const QString& self, const QString& scratch, bool haveDjpeg) {
  std::vector<double> ours, oursWhole, oursCpu, djpeg, djpegCpu, write;
  std::vector<double> apply[kKindCount][4], applyCpu[kKindCount];
  long oursPeak = 0, djpegPeak = 0;
  constexpr int kRounds = 5;
  for (int i = 0; i < kRounds; ++i) {
    // Taking turns, so a busy moment of the machine falls on both.
    const Run mine = Spawn({self, "--peak", QString::number(c.screen.width()),
                            QString::number(c.screen.height()), c.file});
    const QList<QByteArray> f = mine.out.trimmed().split(' ');
    if (mine.ms < 0 || f.size() != 3) {
      std::printf("%-34s failed\n", qPrintable(c.name));
      return;
    }
    ours.push_back(f[0].toDouble());
    oursWhole.push_back(mine.ms);
    oursCpu.push_back(mine.cpuMs);
    oursPeak = std::max(oursPeak, f[2].toLong());
    if (haveDjpeg) {
      const Run d = Spawn({"djpeg", "-outfile", "/dev/null", c.file});
      djpeg.push_back(d.ms);
      djpegCpu.push_back(d.cpuMs);
      djpegPeak = std::max(djpegPeak, d.peakKb);
    }
    write.push_back(WriteSameSizeMs(scratch + "/same-size.bmp", c.screen));
    for (int k = 0; k < kKindCount; ++k) {
      const Run a = Spawn({self, "--apply", QString::number(c.screen.width()),
                           QString::number(c.screen.height()), c.file, kKinds[k]});
      const QList<QByteArray> parts = a.out.trimmed().split(' ');
      if (a.ms < 0 || parts.size() != 4) {
        std::printf("%-34s %s: apply failed\n", qPrintable(c.name), kKinds[k]);
        return;
      }
      for (int p = 0; p < 4; ++p) apply[k][p].push_back(parts[p].toDouble());
      applyCpu[k].push_back(a.cpuMs);
    }
  }
  const double target = Median(djpeg) + Median(write);
  ApplyRow row{c.name, {}, {}, target};
  for (int k = 0; k < kKindCount; ++k) {
    for (int p = 0; p < 4; ++p) row.parts[k][p] = Median(apply[k][p]);
    row.cpu[k] = Median(applyCpu[k]);
  }
  g_applies.push_back(row);
  const double canvasMb = double(c.screen.width()) * c.screen.height() * 4 / (1024.0 * 1024.0);
  const double memTarget = djpegPeak / 1024.0 + canvasMb + 40;
  std::printf("%-34s %9.0f %9.0f %8.0f %8.0f %7.0f %6.2f %9.0f %8.0f %7.0f %8.0f %8.0f\n",
              qPrintable(c.name), Median(ours), Median(oursWhole), Median(djpeg), Median(write),
              target, Median(ours) / target, Median(oursCpu), Median(djpegCpu), oursPeak / 1024.0,
              djpegPeak / 1024.0, memTarget);
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

  if (args.size() == 6 && args[1] == "--apply") {
    double ms[4];
    if (!ApplyToDesktopMs(args[4], QSize(args[2].toInt(), args[3].toInt()), args[5], dir.path(),
                          ms))
      return 1;
    std::printf("%.1f %.1f %.1f %.1f\n", ms[0], ms[1], ms[2], ms[3]);
    return 0;
  }

  if (args.size() == 3 && args[1] == "--make")
    return PhotoLike(6000, 4000).save(args[2], "JPEG", 90) ? 0 : 1;

  std::printf("Making a 6000 x 4000 photo-like JPEG (quality 90)...\n");
  if (!PhotoLike(6000, 4000).save(jpeg, "JPEG", 90)) {
    std::fprintf(stderr, "could not write %s\n", qPrintable(jpeg));
    return 1;
  }
  const bool haveDjpeg = !QStandardPaths::findExecutable("djpeg").isEmpty();
  std::vector<Case> cases = {{"generated 6000x4000 -> 3840x2160", jpeg, {3840, 2160}},
                             {"generated 6000x4000 -> 1920x1080", jpeg, {1920, 1080}}};
  const QString progressive = dir.path() + "/photo-progressive.jpg";
  if (!QStandardPaths::findExecutable("jpegtran").isEmpty() &&
      QProcess::execute("jpegtran", {"-progressive", "-outfile", progressive, jpeg}) == 0) {
    cases.push_back({"generated progressive -> 3840x2160", progressive, {3840, 2160}});
  }
  // The photographs of bench/fetch-photos.sh, each for the screen it is meant to fill.
  const QString photos = args.size() == 2 ? args[1] : QString();
  const struct {
    const char* file;
    QSize screen;
  } kPhotos[] = {{"Elephants_5640x3172.jpg", {3840, 2160}},
                 {"Elephants_3840x2160.jpg", {1920, 1080}},
                 {"Elephants_3840x2160.jpg", {3840, 2160}},
                 {"TwoWings.jpg", {3840, 2160}},
                 {"TwoWings-progressive.jpg", {3840, 2160}}};
  for (const auto& p : kPhotos) {
    const QFileInfo info(photos + "/" + p.file);
    if (photos.isEmpty() || !info.isFile()) continue;
    const QSize size = QImageReader(info.filePath()).size();
    cases.push_back({QStringLiteral("%1 %2x%3 -> %4x%5")
                         .arg(info.completeBaseName().section('_', 0, 0).left(14))
                         .arg(size.width())
                         .arg(size.height())
                         .arg(p.screen.width())
                         .arg(p.screen.height()),
                     info.filePath(), p.screen});
  }
  if (photos.isEmpty())
    std::printf("(no photographs: give the folder bench/fetch-photos.sh fills)\n");

  std::printf(
      "\nAll in milliseconds and MB, medians of 5 runs taking turns, each in a fresh process.\n"
      "ours: compose-and-write inside the process; whole: the whole process, start-up included;\n"
      "target: djpeg's full-size decode + writing a file of the BMP's size; cpu: user + "
      "system.\n\n");
  std::printf("%-34s %9s %9s %8s %8s %7s %6s %9s %8s %7s %8s %8s\n", "case", "ours", "whole",
              "djpeg", "write", "target", "ratio", "ours cpu", "djpeg cpu", "peak", "djpeg pk",
              "mem tgt");
  for (const Case& c : cases)
    Measure(c, QCoreApplication::applicationFilePath(), dir.path(), haveDjpeg);

  std::printf(
      "\nFrom the start of an apply to the desktop being told of its file, copy included\n"
      "(medians, ms): compose, BMP, the desktop's copy (KDE: a hard link to the BMP; GNOME:\n"
      "our PNG; GNOME-Qt: Qt's PNG writer at quality 80, as before), the whole, beside the\n"
      "floor (djpeg's full decode + writing one file of the BMP's size); cpu of the process.\n\n");
  std::printf("%-34s %-9s %8s %6s %6s %8s %7s %6s %8s\n", "case", "desktop", "compose", "bmp",
              "copy", "desktop", "floor", "ratio", "cpu");
  for (const ApplyRow& r : g_applies) {
    for (int k = 0; k < kKindCount; ++k) {
      std::printf("%-34s %-9s %8.0f %6.0f %6.0f %8.0f %7.0f %6.2f %8.0f\n", qPrintable(r.name),
                  kKinds[k], r.parts[k][0], r.parts[k][1], r.parts[k][2], r.parts[k][3], r.floor,
                  r.parts[k][3] / r.floor, r.cpu[k]);
    }
  }

  // The preview: a small canvas, in this process.
  std::vector<double> preview;
  for (int i = 0; i < 7; ++i)
    preview.push_back(ComposeAndWriteMs(jpeg, {1920, 1080}, {640, 480}, out));
  std::printf("\n640x480 preview of the generated picture: %.1f ms (median of 7)\n",
              Median(preview));
  std::printf(
      "\nTargets: ratio <= 1.0 (composition and writes; the apply to the desktop, every kind);\n"
      "peak <= mem tgt (djpeg's peak + the canvas + 40 MB).\n");
  return 0;
}
