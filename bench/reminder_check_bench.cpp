// How long one tick's reminder check takes with a long reminder list and nothing due.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "platform/DateTime.h"
#include "platform/Services.h"
#include "reminders/PopupScheduler.h"
#include "settings/Config.h"

namespace {
class StillClock : public IClock {
 public:
  QDateTime now = QDateTime(QDate(2026, 3, 15), QTime(10, 0));
  QDateTime Now() const override { return now; }
  qint64 ElapsedMs() const override { return 0; }
};
}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  StillClock clock;
  Svc().clock = &clock;
  const double now = DateTimeToDays(clock.now);
  for (int count : {10, 1000, 10000}) {
    ResetConfig(QSize(1024, 768));
    for (int i = 0; i < count; ++i) {
      PopupReminder r = NewPopupReminder();
      r.DateTime = now + 1 + i % 300;  // none due today
      r.Recur = i % 5;
      Cfg().RemindersConfig.Reminders << r;
      if (i % 10 == 0) Cfg().DynamicConfig.SnoozedReminders << r;
    }
    const int calls = count >= 10000 ? 50 : 2000;
    QElapsedTimer t;
    t.start();
    for (int c = 0; c < calls; ++c) CheckPopupReminders();
    const double us = t.nsecsElapsed() / 1000.0 / calls;
    std::printf("%6d reminders (+%d snoozed): %10.1f us per check\n", count, count / 10, us);
  }
  return 0;
}
