// What the once-a-second look for unsaved changes costs: the snapshot of what a save would
// write, taken with reminder lists of growing length.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "settings/Config.h"
#include "settings/ConfigStore.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  for (int count : {10, 100, 1000}) {
    Config config;
    for (int i = 0; i < count; ++i) {
      PopupReminder r;
      r.Name = QStringLiteral("Reminder %1").arg(i);
      r.DateTime = 46000 + i;
      config.RemindersConfig.Reminders.append(r);
      ColorReminder dot;
      config.ColorRemConfig.ColorReminders.append(dot);
    }
    const int rounds = 200;
    QElapsedTimer timer;
    timer.start();
    qsizetype bytes = 0;
    for (int i = 0; i < rounds; ++i) bytes += ConfigSnapshot(config).size();
    const double us = timer.nsecsElapsed() / 1000.0 / rounds;
    std::printf("%5d reminders and dots: %8.1f us per snapshot (%lld bytes)\n", count, us,
                static_cast<long long>(bytes / rounds));
  }
  return 0;
}
