#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "TypeKey.h"
#include "platform/DateTime.h"
#include "platform/DesktopNotifications.h"
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

// The real window on the real scheduler; the clock at 10:05.
class RealPopup : public ::testing::Test {
 protected:
  void SetUp() override {
    fakes.config = Config(QSize(1024, 768));
    fakes.clock.now = QDateTime(QDate(2026, 3, 15), QTime(10, 5));
  }
  // The one snoozed copy, that many minutes after 10:07; none for -1.
  void ExpectSnoozedCopy(int minutes) const {
    const auto& snoozed = fakes.config.DynamicConfig.SnoozedReminders;
    if (minutes < 0) {
      EXPECT_TRUE(snoozed.isEmpty());
      return;
    }
    ASSERT_EQ(snoozed.size(), 1);
    EXPECT_EQ(DaysToDateTime(snoozed[0].DateTime),
              QDateTime(QDate(2026, 3, 15), QTime(10, 7)).addSecs(60 * minutes));
  }
  FakeServices fakes;
};

// The reminder window waiting for its answer, if one is.
TForm_Reminder* OpenPopup() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* f = qobject_cast<TForm_Reminder*>(w); f && f->isVisible()) return f;
  return nullptr;
}

class ReminderWindowPopup : public RealPopup, public ::testing::WithParamInterface<WindowCase> {};

TEST_P(ReminderWindowPopup, TheSchedulerActsOnTheWindowsAnswer) {
  const WindowCase& c = GetParam();
  PopupReminder r = NewPopupReminder(NowDays(fakes.clock));
  r.Name = QStringLiteral("Dentist");
  r.DateTime = DateTimeToDays(QDateTime(QDate(2026, 3, 15), QTime(10, 7)));
  fakes.config.RemindersConfig.Reminders << r;

  bool sawWindow = false;
  QTimer::singleShot(0, [&] {
    TForm_Reminder* form = OpenPopup();
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(ReminderWindowOpen());
    sawWindow = true;
    EXPECT_EQ(form->Edit_Text->text(), "Dentist");
    EXPECT_TRUE(form->Button_Snooze->isEnabled());  // not in test mode
    c.act(*form);
  });
  CheckPopupReminders(fakes.config, WindowReminderPopup(), fakes.clock, &fakes.notifications);
  EXPECT_TRUE(sawWindow);
  EXPECT_EQ(fakes.config.RemindersConfig.Reminders.size(), c.listed);
  ExpectSnoozedCopy(c.snoozedMinutes);
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

QDateTime At(int h, int mi) { return QDateTime(QDate(2026, 3, 15), QTime(h, mi)); }

QStringList ActionLabels(const DesktopNotification& n) {
  QStringList labels;
  for (const auto& a : n.actions) labels << a.label;
  return labels;
}

struct AnswerCase {
  const char* name;
  // Acts while the popup and the notification are both up.
  std::function<void(TForm_Reminder&, FakeNotifications&, quint64 handle)> act;
  int recur;
  int listed;          // reminders left in the list
  int snoozedMinutes;  // after 10:07, of the one snoozed copy; -1 none
  int editIndex;       // the Edit request, -1 none
};
void PrintTo(const AnswerCase& c, std::ostream* os) { *os << c.name; }

// A reminder due at 10:07, sent to the notification centre as well as to its window.
class NotifiedReminder : public RealPopup {
 protected:
  void AddDentist(int recur) {
    PopupReminder r = NewPopupReminder(NowDays(fakes.clock));
    r.Name = QStringLiteral("Dentist");
    r.Text = QStringLiteral("Bring the card");
    r.Recur = static_cast<Recurrence>(recur);
    r.DateTime = DateTimeToDays(At(10, 7));
    fakes.config.RemindersConfig.Reminders << r;
  }
};

// An answer in either the window or the notification answers the reminder and takes the
// other away.
class ReminderNotification : public NotifiedReminder,
                             public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(ReminderNotification, EitherAnswerAnswersBoth) {
  const AnswerCase& c = GetParam();
  AddDentist(c.recur);
  bool acted = false;
  quint64 handle = 0;
  QTimer::singleShot(0, [&] {
    TForm_Reminder* form = OpenPopup();
    ASSERT_NE(form, nullptr);
    ASSERT_EQ(fakes.notifications.shown.size(), 1);
    const auto& sent = fakes.notifications.shown[0];
    handle = sent.handle;
    EXPECT_EQ(sent.notification.summary, "Dentist");
    EXPECT_EQ(sent.notification.body, "Bring the card");
    EXPECT_EQ(sent.notification.urgency, DesktopNotification::Critical);
    // Edit is offered where the popup offers it.
    EXPECT_EQ(ActionLabels(sent.notification),
              c.recur ? QStringList({"Snooze 5 minutes", "Edit", "Close"})
                      : QStringList({"Snooze 5 minutes", "Close"}));
    acted = true;
    c.act(*form, fakes.notifications, handle);
    // Whatever happened, nothing is left waiting.
    if (OpenPopup()) OpenPopup()->hide();
  });
  CheckPopupReminders(fakes.config, WindowReminderPopup(), fakes.clock, &fakes.notifications);
  ASSERT_TRUE(acted);
  EXPECT_TRUE(fakes.notifications.shown.isEmpty()) << "the notification was left behind";
  EXPECT_EQ(fakes.config.RemindersConfig.Reminders.size(), c.listed);
  ExpectSnoozedCopy(c.snoozedMinutes);
  EXPECT_EQ(fakes.config.DynamicConfig.EditReminderIndex, c.editIndex);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ReminderNotification,
    ::testing::Values(
        AnswerCase{"SnoozeInTheNotification",
                   [](TForm_Reminder& f, FakeNotifications& n, quint64 h) {
                     n.Invoke(h, "snooze");
                     EXPECT_FALSE(f.isVisible()) << "the popup stayed";
                   },
                   0, 0, 5, -1},
        AnswerCase{"CloseInTheNotification",
                   [](TForm_Reminder& f, FakeNotifications& n, quint64 h) {
                     n.Invoke(h, "close");
                     EXPECT_FALSE(f.isVisible());
                   },
                   0, 0, -1, -1},
        AnswerCase{"EditInTheNotification",
                   [](TForm_Reminder& f, FakeNotifications& n, quint64 h) {
                     n.Invoke(h, "edit");
                     EXPECT_FALSE(f.isVisible());
                   },
                   1, 1, -1, 0},
        // A server may send an action it was not given: the popup's Edit is off, so is this.
        AnswerCase{"EditNotOfferedIsIgnored",
                   [](TForm_Reminder& f, FakeNotifications& n, quint64 h) {
                     n.Invoke(h, "edit");
                     EXPECT_TRUE(f.isVisible());
                     f.Button_CloseClick();
                   },
                   0, 0, -1, -1},
        AnswerCase{"PopupSnoozeWithdrawsTheNotification",
                   [](TForm_Reminder& f, FakeNotifications& n, quint64 h) {
                     f.Button_Snooze->click();
                     (void)n;
                     (void)h;
                   },
                   0, 0, 5, -1},
        // Dismissing the notification is no answer: the popup still waits.
        AnswerCase{"DismissedNotificationLeavesThePopup",
                   [](TForm_Reminder& f, FakeNotifications& n, quint64 h) {
                     n.shown.clear();
                     emit n.Closed(h);
                     EXPECT_TRUE(f.isVisible());
                     f.Button_CloseClick();
                     EXPECT_TRUE(n.closed.isEmpty()) << "withdrew a notification already gone";
                   },
                   0, 0, -1, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(NotifiedReminder, NothingIsSentWithTheOptionOffOrNoServer) {
  for (const bool optionOn : {false, true}) {
    SCOPED_TRACE(optionOn ? "no server" : "option off");
    fakes.config.RemindersConfig.Reminders.clear();
    AddDentist(0);
    fakes.config.RemindersConfig.DesktopNotifications = optionOn;
    fakes.notifications.available = !optionOn;
    bool sawPopup = false;
    QTimer::singleShot(0, [&] {
      TForm_Reminder* form = OpenPopup();
      ASSERT_NE(form, nullptr);
      sawPopup = true;
      EXPECT_TRUE(fakes.notifications.shown.isEmpty());
      form->Button_CloseClick();
    });
    CheckPopupReminders(fakes.config, WindowReminderPopup(), fakes.clock, &fakes.notifications);
    EXPECT_TRUE(sawPopup);
    EXPECT_TRUE(fakes.config.RemindersConfig.Reminders.isEmpty());
  }
}

TEST_F(NotifiedReminder, AMissedReminderSaysWhenItWasDue) {
  AddDentist(0);
  fakes.clock.now = At(11, 30);  // first look, long after 10:07
  QString caption;
  QString body;
  QTimer::singleShot(0, [&] {
    TForm_Reminder* form = OpenPopup();
    ASSERT_NE(form, nullptr);
    caption = form->Label_Caption->text();
    ASSERT_EQ(fakes.notifications.shown.size(), 1);
    body = fakes.notifications.shown[0].notification.body;
    form->Button_CloseClick();
  });
  CheckPopupReminders(fakes.config, WindowReminderPopup(), fakes.clock, &fakes.notifications);
  const QString missed = "Missed: " + QLocale().toString(At(10, 7), QLocale::ShortFormat);
  EXPECT_EQ(caption, missed);
  EXPECT_EQ(body, missed + "\nBring the card");
}
}  // namespace
