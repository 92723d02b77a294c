// How long one tick's reminder check takes with a long reminder list and nothing due.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "platform/DateTime.h"
#include "platform/Services.h"
#include "reminders/PopupScheduler.h"
#include "reminders/ReminderPopup.h"
#include "settings/Config.h"

namespace {
class StillClock : public IClock {
 public:
  QDateTime now = QDateTime(QDate(2026, 3, 15), QTime(10, 0));
  QDateTime Now() const override { return now; }
  qint64 ElapsedMs() const override { return 0; }
};
// None is due; one that were would be closed at once.
class NoPopup : public IReminderPopup {
 public:
  std::optional<ReminderResult> Show(const PopupReminder&, INotifications*) override {
    return ReminderResult{};
  }
};
}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  StillClock clock;
  NoPopup popup;
  const double now = DateTimeToDays(clock.now);
  for (int count : {10, 1000, 10000}) {
    Config config(QSize(1024, 768));
    for (int i = 0; i < count; ++i) {
      PopupReminder r = NewPopupReminder(now);
      r.DateTime = now + 1 + i % 300;  // none due today
      r.Recur = static_cast<Recurrence>(i % 5);
      config.RemindersConfig.Reminders << r;
      if (i % 10 == 0) config.DynamicConfig.SnoozedReminders << r;
    }
    const int calls = count >= 10000 ? 50 : 2000;
    QElapsedTimer t;
    t.start();
    for (int c = 0; c < calls; ++c) CheckPopupReminders(config, popup, clock);
    const double us = t.nsecsElapsed() / 1000.0 / calls;
    std::printf("%6d reminders (+%d snoozed): %10.1f us per check\n", count, count / 10, us);
  }
  return 0;
}
