// How long the settings file takes to load and to save with many reminders.
//   settings_bench [count...]     (default: 1000 10000)
// Load is reading the file and filling the record, as start-up does; save is writing the
// whole record back and replacing the file, as "Hide" does.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

#include "platform/RegistryFile.h"
#include "settings/Config.h"
#include "settings/ConfigStore.h"
#include "settings/RegistryStore.h"

namespace {

// A session of a busy user: `count` reminders, a tenth as many colour dots and paths.
Config BusyConfig(int count) {
  Config c(QSize(1920, 1080));
  for (int i = 0; i < count; ++i) {
    PopupReminder r;
    r.Name = QStringLiteral("Reminder %1").arg(i);
    r.Text = QStringLiteral("Call back about invoice %1 before noon").arg(i * 7);
    r.DateTime = 46000.5 + i % 900;
    r.Recur = static_cast<Recurrence>(i % 5);
    c.RemindersConfig.Reminders << r;
  }
  for (int i = 0; i < count / 10; ++i) {
    c.ColorRemConfig.ColorReminders
        << ColorReminder{46000 + i, kDotColorsInOrder[i % kDotColorCount]};
    c.WallpaperConfig.Paths << QStringLiteral("/home/user/Pictures/set %1").arg(i);
  }
  return c;
}

double Seconds(const QElapsedTimer& t) { return t.nsecsElapsed() / 1e9; }

// On a shared machine the wall clock also counts other people's work; the processor time
// this process used shows the cost of the code itself.
double CpuSeconds() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QList<int> counts;
  for (int i = 1; i < argc; ++i) counts << QString::fromLocal8Bit(argv[i]).toInt();
  if (counts.isEmpty()) counts = {1000, 10000};

  std::printf("%10s %10s %10s %10s %12s %12s\n", "reminders", "file KiB", "load s", "save s",
              "load cpu s", "save cpu s");
  for (int count : counts) {
    QTemporaryDir dir;
    const QString name = dir.path() + QStringLiteral("/settings.reg");
    {
      RegistryFile file(name);
      RegistryStore store(file);
      store.OpenKey(QString::fromLatin1(kProductKey));
      SaveConfig(store, BusyConfig(count));
    }

    QElapsedTimer t;
    t.start();
    double cpu = CpuSeconds();
    RegistryFile file(name);
    RegistryStore store(file);
    store.OpenKey(QString::fromLatin1(kProductKey));
    Config loaded(QSize(1920, 1080));
    LoadConfig(store, loaded, dir.path() + QLatin1Char('/'));
    const double load = Seconds(t);
    const double loadCpu = CpuSeconds() - cpu;

    loaded.RemindersConfig.Reminders.first().Name = QStringLiteral("changed");
    t.restart();
    cpu = CpuSeconds();
    const bool saved = SaveConfig(store, loaded);
    const double save = Seconds(t);
    const double saveCpu = CpuSeconds() - cpu;

    const bool complete = loaded.RemindersConfig.Reminders.size() == count;
    std::printf("%10d %10lld %10.3f %10.3f %12.3f %12.3f%s%s\n", count,
                static_cast<long long>(QFileInfo(name).size() / 1024), load, save, loadCpu, saveCpu,
                complete ? "" : "  (reminders lost)", saved ? "" : "  (save failed)");
    std::fflush(stdout);
  }
  return 0;
}
