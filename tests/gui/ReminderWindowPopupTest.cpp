#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "TypeKey.h"
#include "platform/DateTime.h"
#include "reminders/PopupScheduler.h"
#include "reminders/ReminderPopup.h"
#include "reminders/TForm_Reminder.h"
#include "settings/Config.h"
#include "support/Fakes.h"

namespace {

// The real window, answered by acting on it while its modal loop runs.
struct WindowCase {
  const char* name;
  std::function<void(TForm_Reminder&)> act;
  int listed;          // reminders left in the list
  int snoozedMinutes;  // minutes after 10:07 of the one snoozed copy, -1 for none
};
void PrintTo(const WindowCase& c, std::ostream* os) { *os << c.name; }

class ReminderWindowPopup : public ::testing::TestWithParam<WindowCase> {
 protected:
  void SetUp() override {
    fakes.config = Config(QSize(1024, 768));
    fakes.clock.now = QDateTime(QDate(2026, 3, 15), QTime(10, 5));
  }
  FakeServices fakes;
};

TEST_P(ReminderWindowPopup, TheSchedulerActsOnTheWindowsAnswer) {
  const WindowCase& c = GetParam();
  PopupReminder r = NewPopupReminder(NowDays(fakes.clock));
  r.Name = QStringLiteral("Dentist");
  r.DateTime = DateTimeToDays(QDateTime(QDate(2026, 3, 15), QTime(10, 7)));
  fakes.config.RemindersConfig.Reminders << r;

  bool sawWindow = false;
  QTimer::singleShot(0, [&] {
    TForm_Reminder* form = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* f = qobject_cast<TForm_Reminder*>(w); f && f->isVisible()) form = f;
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(ReminderWindowOpen());
    sawWindow = true;
    EXPECT_EQ(form->Edit_Text->text(), "Dentist");
    EXPECT_TRUE(form->Button_Snooze->isEnabled());  // not in test mode
    c.act(*form);
  });
  CheckPopupReminders(fakes.config, WindowReminderPopup(), fakes.clock);
  EXPECT_TRUE(sawWindow);
  EXPECT_EQ(fakes.config.RemindersConfig.Reminders.size(), c.listed);
  const auto& snoozed = fakes.config.DynamicConfig.SnoozedReminders;
  if (c.snoozedMinutes < 0) {
    EXPECT_TRUE(snoozed.isEmpty());
  } else {
    ASSERT_EQ(snoozed.size(), 1);
    EXPECT_EQ(DaysToDateTime(snoozed[0].DateTime),
              QDateTime(QDate(2026, 3, 15), QTime(10, 7)).addSecs(60 * c.snoozedMinutes));
  }
  for (const auto& left : fakes.config.RemindersConfig.Reminders) EXPECT_FALSE(left.Showing);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ReminderWindowPopup,
    ::testing::Values(
        WindowCase{"CloseBox", [](TForm_Reminder& f) { f.close(); }, 0, -1},
        // Return, Escape and space meant for another window leave it shown and the
        // one-off reminder listed.
        WindowCase{"KeysJustAfterItAppears",
                   [](TForm_Reminder& f) {
                     for (int key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Space})
                       TypeKey(f, key);
                     EXPECT_TRUE(f.isVisible());
                     EXPECT_FALSE(f.answered());
                     f.hide();
                   },
                   1, -1},
        WindowCase{"SnoozeForAnHour",
                   [](TForm_Reminder& f) { f.Menu_Pulldown->actions().at(7)->trigger(); }, 0, 60},
        // The modal loop ending without an answer, as when the program quits under it.
        WindowCase{"GoneUnanswered", [](TForm_Reminder& f) { f.hide(); }, 1, -1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
