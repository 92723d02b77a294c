// Composes the wallpaper for sets of two monitors, one after the other and in parallel, from
// a 6000 x 4000 photo-like JPEG (made by wallpaper_bench --make beside this program) or the
// JPEG given. Medians of several runs in one process; prints the figures, asserts nothing.
//
//   monitors_bench [JPEG]
#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "settings/Config.h"
#include "wallpaper/Compose.h"

namespace {
double MedianMs(const QString& jpeg, const Config& config, const QList<MonitorJob>& jobs,
                bool parallel) {
  std::vector<double> times;
  for (int run = 0; run < 7; ++run) {
    QElapsedTimer timer;
    timer.start();
    const std::vector<ComposeResult> results =
        ComposeForMonitors(jpeg, config, jobs, QDate(2026, 3, 15), parallel);
    times.push_back(timer.nsecsElapsed() / 1e6);
    for (const ComposeResult& r : results)
      if (!r.bitmap) std::fprintf(stderr, "failed: %s\n", qPrintable(r.error.message));
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}
}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  QTemporaryDir scratch;
  QString jpeg = argc > 1 ? QString::fromLocal8Bit(argv[1]) : scratch.path() + "/photo.jpg";
  if (argc <= 1) {
    const QString maker = QCoreApplication::applicationDirPath() + "/wallpaper_bench";
    if (QProcess::execute(maker, {"--make", jpeg}) != 0 || !QFileInfo(jpeg).isFile()) {
      std::fprintf(stderr, "could not make the test JPEG with %s\n", qPrintable(maker));
      return 1;
    }
  }
  const Config config(QSize(1920, 1080));
  struct Set {
    const char* what;
    MonitorList monitors;
  };
  const Set sets[] = {
      {"1920x1080 + 2560x1440", {{"A", QRect(0, 0, 1920, 1080), true},
                                 {"B", QRect(1920, 0, 2560, 1440), false}}},
      {"2560x1440 + 1440x2560", {{"A", QRect(0, 0, 2560, 1440), true},
                                 {"B", QRect(2560, 0, 1440, 2560), false}}},
      {"3840x2160 + 3840x2160", {{"A", QRect(0, 0, 3840, 2160), true},
                                 {"B", QRect(3840, 0, 3840, 2160), false}}},
  };
  std::printf("%-24s %10s %10s\n", "monitors", "serial ms", "parallel ms");
  for (const Set& s : sets) {
    const QList<MonitorJob> jobs = PlanMonitorPictures(s.monitors, "unused.bmp", QSize());
    const double serial = MedianMs(jpeg, config, jobs, false);
    const double parallel = MedianMs(jpeg, config, jobs, true);
    std::printf("%-24s %10.1f %10.1f\n", s.what, serial, parallel);
  }
  return 0;
}
