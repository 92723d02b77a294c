#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "MainWindowFixture.h"
#include "pages/PageTable.h"
#include "pages/TFrameRemindersDate.h"
#include "platform/DateTime.h"
#include "reminders/PopupScheduler.h"
#include "reminders/TForm_Reminder.h"

namespace {
PopupReminder Reminder(const char* name, const char* text, int recur) {
  PopupReminder r;
  r.Name = QString::fromLatin1(name);
  r.Text = QString::fromLatin1(text);
  r.DateTime = 45000.5;
  r.Recur = static_cast<Recurrence>(recur);
  return r;
}

class RemindersPageTest : public ::testing::Test {
 protected:
  RemindersPageTest() {
    page = std::make_unique<TFrameRemindersDate>(config, fake.services);
    page->RefreshTimer->stop();  // the tests refresh by hand
  }
  void Fill(QList<PopupReminder> list) {
    config.RemindersConfig.Reminders = std::move(list);
    page->LoadFromConfig();
  }
  QStringList Names() const {
    QStringList out;
    for (int i = 0; i < page->ui.List_Reminders->count(); ++i)
      out << page->ui.List_Reminders->item(i)->text();
    return out;
  }
  FakeServices fake;
  Config config;
  std::unique_ptr<TFrameRemindersDate> page;
};

TEST_F(RemindersPageTest, AnEmptyListLeavesOnlyAddEnabled) {
  Fill({});
  const auto& ui = page->ui;
  EXPECT_TRUE(ui.Button_New->isEnabled());
  for (QWidget* w :
       {static_cast<QWidget*>(ui.List_Reminders), static_cast<QWidget*>(ui.Edit_Name),
        static_cast<QWidget*>(ui.Memo_Message), static_cast<QWidget*>(ui.DateTimePicker),
        static_cast<QWidget*>(ui.Combo_Recur), static_cast<QWidget*>(ui.Button_Delete),
        static_cast<QWidget*>(ui.Button_DeleteAll), static_cast<QWidget*>(ui.Button_Test)})
    EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
  EXPECT_EQ(ui.Edit_Name->text(), "");
  EXPECT_EQ(ui.Combo_Recur->currentIndex(), -1);
}

TEST_F(RemindersPageTest, AddShowsTheNewReminderDueNowAndTypingRenamesItLetterByLetter) {
  Fill({Reminder("Dentist", "at 3", 0)});
  page->ui.Button_New->click();
  const auto& ui = page->ui;
  EXPECT_EQ(ui.List_Reminders->currentRow(), 1);
  EXPECT_EQ(ui.Edit_Name->text(), "New reminder");
  EXPECT_EQ(ui.Memo_Message->toPlainText(), "<enter text here>");
  EXPECT_EQ(ui.Combo_Recur->currentText(), "Don't recur");
  EXPECT_EQ(ui.DateTimePicker->dateTime().toSecsSinceEpoch(), fake.clock.now.toSecsSinceEpoch());
  EXPECT_TRUE(ui.Button_Delete->isEnabled());

  ui.Edit_Name->selectAll();
  QTest::keyClick(ui.Edit_Name, Qt::Key_Backspace);
  QStringList seen;
  for (const QChar c : QStringLiteral("Tea")) {
    QTest::keyClick(ui.Edit_Name, c.toLatin1());
    seen << ui.List_Reminders->item(1)->text();
  }
  EXPECT_EQ(seen, (QStringList{"T", "Te", "Tea"}));
  EXPECT_EQ(config.RemindersConfig.Reminders[1].Name, "Tea");
  EXPECT_EQ(config.RemindersConfig.Reminders[0].Name, "Dentist");
}

TEST_F(RemindersPageTest, FillingTheEditorsForAnotherReminderWritesIntoNeither) {
  Fill({Reminder("A", "text of A", 1), Reminder("B", "text of B", 3)});
  ASSERT_FALSE(page->loading());
  page->ui.List_Reminders->setCurrentRow(1);
  EXPECT_FALSE(page->loading());
  const auto& list = config.RemindersConfig.Reminders;
  EXPECT_EQ(list[0].Name, "A");
  EXPECT_EQ(list[0].Text, "text of A");
  EXPECT_EQ(list[0].Recur, Recurrence::Daily);
  EXPECT_EQ(list[1].Name, "B");
  EXPECT_EQ(list[1].Text, "text of B");
  EXPECT_EQ(list[1].Recur, Recurrence::Monthly);
  // An edit now goes to B alone, all four editors at once.
  page->ui.Combo_Recur->setCurrentIndex(4);
  EXPECT_EQ(list[1].Recur, Recurrence::Yearly);
  EXPECT_EQ(list[1].Text, "text of B");
  EXPECT_EQ(list[0].Recur, Recurrence::Daily);
}

TEST_F(RemindersPageTest, DeletingAsksAndOnlyYesDeletes) {
  Fill({Reminder("A", "", 0), Reminder("B", "", 0), Reminder("C", "", 0)});
  config.DynamicConfig.SnoozedReminders = {Reminder("Snoozed", "", 0)};
  fake.messages.answer = [](const FakeMessageBoxes::Call&) { return int(IDNO); };
  page->SelectReminder(2);
  page->ui.Button_Delete->click();
  EXPECT_EQ(Names(), (QStringList{"A", "B", "C"}));
  ASSERT_EQ(fake.messages.calls.size(), 1);
  EXPECT_EQ(fake.messages.calls[0].text, "Do you want to delete selected reminder?");
  EXPECT_EQ(fake.messages.calls[0].caption, "Please Confirm");
  EXPECT_EQ(fake.messages.calls[0].flags, 36u);

  fake.messages.answer = [](const FakeMessageBoxes::Call&) { return int(IDYES); };
  page->ui.Button_Delete->click();  // the last: the new last is selected
  EXPECT_EQ(Names(), (QStringList{"A", "B"}));
  EXPECT_EQ(page->ui.List_Reminders->currentRow(), 1);
  EXPECT_EQ(page->ui.Edit_Name->text(), "B");
  page->ui.Button_DeleteAll->click();
  EXPECT_EQ(fake.messages.calls.last().text, "Do you want to delete ALL reminders?");
  EXPECT_TRUE(config.RemindersConfig.Reminders.isEmpty());
  EXPECT_FALSE(page->ui.Button_Test->isEnabled());
  EXPECT_EQ(config.DynamicConfig.SnoozedReminders.size(), 1);
}

TEST_F(RemindersPageTest, TestShowsTheWindowWithOnlyCloseAndChangesNothing) {
  Fill({Reminder("Dentist", "at 3", 2)});
  bool closeOnly = false;
  QString shownName;
  QTimer::singleShot(0, [&] {
    auto* window = qobject_cast<TForm_Reminder*>(QApplication::activeModalWidget());
    ASSERT_NE(window, nullptr);
    shownName = window->Edit_Text->text();
    closeOnly = window->Button_Close->isEnabled() && !window->Button_Edit->isEnabled() &&
                !window->Button_Snooze->isEnabled();
    window->Button_Close->click();
  });
  page->ui.Button_Test->click();
  EXPECT_TRUE(closeOnly);
  EXPECT_EQ(shownName, "Dentist");
  ASSERT_EQ(config.RemindersConfig.Reminders.size(), 1);
  EXPECT_EQ(config.RemindersConfig.Reminders[0].DateTime, 45000.5);
  EXPECT_EQ(config.RemindersConfig.Reminders[0].Recur, Recurrence::Weekly);
}

TEST_F(MainWindowTest, EditFromAPopupShowsThePageWithThatReminderSelected) {
  fake.config.RemindersConfig.Reminders = {Reminder("A", "", 0), Reminder("B", "", 0),
                                           Reminder("C", "text of C", 0)};
  form->scheduler().steps.CheckPopupReminders = [this] {
    fake.config.DynamicConfig.EditReminderIndex = 2;
  };
  form->TimerIDLETimer();
  ASSERT_TRUE(form->isVisible());
  EXPECT_EQ(form->currentSlot(), kPopupRemindersPage);
  auto* page = dynamic_cast<TFrameRemindersDate*>(form->Page(kPopupRemindersPage));
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->ui.List_Reminders->count(), 3);
  EXPECT_EQ(page->ui.List_Reminders->currentRow(), 2);
  EXPECT_EQ(page->ui.Edit_Name->text(), "C");
  EXPECT_EQ(page->ui.Memo_Message->toPlainText(), "text of C");
}

TEST_F(RemindersPageTest, WhenTheSelectedReminderGoesElsewhereTheOneAfterItIsSelected) {
  Fill({Reminder("A", "", 0), Reminder("B", "", 0), Reminder("C", "", 0), Reminder("D", "", 0)});
  auto& list = config.RemindersConfig.Reminders;
  struct Step {
    const char* gone;  // taken out of the list elsewhere
    const char* selectedAfter;
  };
  page->SelectReminder(1);
  // B itself, then D, the last, then one before the selected C.
  for (const Step& step : {Step{"B", "C"}, Step{"D", "C"}, Step{"A", "C"}, Step{"C", ""}}) {
    list.removeIf([&](const PopupReminder& r) { return r.Name == step.gone; });
    emit ReminderLists().changed();
    EXPECT_EQ(page->ui.Edit_Name->text(), step.selectedAfter) << step.gone;
    const QListWidgetItem* current = page->ui.List_Reminders->currentItem();
    EXPECT_EQ(current ? current->text() : QString(), step.selectedAfter) << step.gone;
  }
  EXPECT_TRUE(Names().isEmpty());
}

// A popup answered while the window is open: first B pops up; while it waits, D pops up on
// top and is answered Edit, which opens the window on D. The user picks a reminder on the
// page, then answers B.
enum class Answer { Close, Snooze };
struct FollowCase {
  const char* name;
  int recurB;
  const char* picked;  // selected on the page before B is answered
  Answer answer;
  QStringList rowsAfter;
  const char* selectedAfter;
};
void PrintTo(const FollowCase& c, std::ostream* os) { *os << c.name; }

class PageFollowsPopups : public MainWindowTest, public ::testing::WithParamInterface<FollowCase> {
 protected:
  static TForm_Reminder* PopupOf(const QString& name) {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* f = qobject_cast<TForm_Reminder*>(w);
          f && f->isVisible() && f->Edit_Text->text() == name)
        return f;
    return nullptr;
  }
  QStringList ListedNames() {
    QStringList out;
    for (const PopupReminder& r : fake.config.RemindersConfig.Reminders) out << r.Name;
    return out;
  }
};

TEST_P(PageFollowsPopups, EditsAndDeleteReachTheSelectedReminder) {
  const FollowCase& c = GetParam();
  fake.clock.now = QDateTime(QDate(2026, 3, 15), QTime(10, 5));
  const double due = DateTimeToDays(fake.clock.now);
  const double later = DateTimeToDays(fake.clock.now.addDays(3));
  auto make = [this](const char* name, double when, int recur) {
    PopupReminder r = NewPopupReminder(NowDays(fake.clock));
    r.Name = QString::fromLatin1(name);
    r.Text = QStringLiteral("text of ") + r.Name;
    r.DateTime = when;
    r.Recur = static_cast<Recurrence>(recur);
    return r;
  };
  // D recurs weekly: only a recurring reminder offers Edit.
  fake.config.RemindersConfig.Reminders = {make("A", later, 0), make("B", due, c.recurB),
                                           make("C", later, 0), make("D", due, 2)};
  TickSteps& steps = form->scheduler().steps;
  for (std::function<void()>* step : {&steps.StartMailCheck, &steps.CheckTimedChange,
                                      &steps.CheckDayChange, &steps.AnnounceNewMail})
    *step = nullptr;
  auto* page = dynamic_cast<TFrameRemindersDate*>(form->Page(kPopupRemindersPage));
  ASSERT_NE(page, nullptr);

  bool answered = false;
  auto whileBWaits = [&] {
    TForm_Reminder* b = PopupOf("B");
    ASSERT_NE(b, nullptr);
    QTimer::singleShot(0, form.get(), [&] {
      if (TForm_Reminder* d = PopupOf("D")) d->Button_Edit->click();
    });
    form->TimerIDLETimer();  // the nested tick that shows D
    ASSERT_TRUE(form->isVisible());
    ASSERT_EQ(page->ui.Edit_Name->text(), "D");
    page->ui.List_Reminders->setCurrentRow(ListedNames().indexOf(c.picked));
    ASSERT_EQ(page->ui.Edit_Name->text(), c.picked);
    (c.answer == Answer::Close ? static_cast<QAbstractButton*>(b->Button_Close)
                               : static_cast<QAbstractButton*>(b->Button_Snooze))
        ->click();
    answered = true;
  };
  QTimer::singleShot(0, form.get(), [&] {
    whileBWaits();
    // A popup a failed step left open would hold the test for ever.
    for (const char* name : {"B", "D"})
      if (TForm_Reminder* f = PopupOf(QString::fromLatin1(name))) f->hide();
  });
  form->TimerIDLETimer();  // B pops up and waits
  ASSERT_TRUE(answered);

  const auto& ui = page->ui;
  QStringList rows;
  for (int i = 0; i < ui.List_Reminders->count(); ++i) rows << ui.List_Reminders->item(i)->text();
  EXPECT_EQ(rows, c.rowsAfter);
  EXPECT_EQ(ListedNames(), c.rowsAfter);
  ASSERT_NE(ui.List_Reminders->currentItem(), nullptr);
  EXPECT_EQ(ui.List_Reminders->currentItem()->text(), c.selectedAfter);
  const QString selected = QString::fromLatin1(c.selectedAfter);
  const int at = ListedNames().indexOf(selected);
  ASSERT_GE(at, 0);
  const PopupReminder before = fake.config.RemindersConfig.Reminders[at];
  EXPECT_EQ(ui.Edit_Name->text(), selected);
  EXPECT_EQ(ui.Memo_Message->toPlainText(), before.Text);
  // A recurring reminder answered Close shows its next time, not the one it popped up at.
  EXPECT_EQ(ui.DateTimePicker->dateTime(), DaysToDateTime(before.DateTime));
  if (selected == "B") {
    EXPECT_GT(before.DateTime, due);
  }

  ui.Edit_Name->setFocus();
  QTest::keyClick(ui.Edit_Name, Qt::Key_End);
  QTest::keyClick(ui.Edit_Name, '!');
  QStringList renamed = c.rowsAfter;
  renamed[at] = selected + '!';
  EXPECT_EQ(ListedNames(), renamed);
  const PopupReminder& edited = fake.config.RemindersConfig.Reminders[at];
  EXPECT_EQ(edited.Text, before.Text);
  EXPECT_EQ(edited.DateTime, before.DateTime);
  EXPECT_EQ(edited.Recur, before.Recur);

  fake.messages.answer = [](const FakeMessageBoxes::Call&) { return int(IDYES); };
  ui.Button_Delete->click();
  renamed.removeAt(at);
  EXPECT_EQ(ListedNames(), renamed);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, PageFollowsPopups,
    ::testing::Values(
        FollowCase{"CloseOfAnEarlierReminder", 0, "D", Answer::Close, {"A", "C", "D"}, "D"},
        FollowCase{"SnoozeOfAnEarlierReminder", 0, "D", Answer::Snooze, {"A", "C", "D"}, "D"},
        FollowCase{"CloseOfTheSelectedReminder", 0, "B", Answer::Close, {"A", "C", "D"}, "C"},
        FollowCase{"SnoozeOfTheSelectedReminder", 0, "B", Answer::Snooze, {"A", "C", "D"}, "C"},
        FollowCase{"CloseOfTheSelectedRecurringReminder", 1, "B", Answer::Close,
                   {"A", "B", "C", "D"}, "B"}),
    [](const auto& info) { return std::string(info.param.name); });
}  // namespace

namespace {
// The notification option follows the setting, even with no reminder selected, and a click
// (or the space bar) writes it back.
TEST_F(RemindersPageTest, TheNotificationOptionIsBoundAndNamed) {
  QCheckBox* box = page->ui.Check_DesktopNotifications;
  EXPECT_EQ(box->accessibleName(), "Also show reminders as desktop notifications");
  EXPECT_EQ(box->text(), "Also show reminders as desktop notifications");
  EXPECT_TRUE(config.RemindersConfig.DesktopNotifications);  // on by default
  config.RemindersConfig.DesktopNotifications = false;
  Fill({});
  EXPECT_TRUE(box->isEnabled());
  EXPECT_FALSE(box->isChecked());
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
  EXPECT_TRUE(config.RemindersConfig.DesktopNotifications);
  box->setFocus();
  QTest::keyClick(box, Qt::Key_Space);
  EXPECT_FALSE(config.RemindersConfig.DesktopNotifications);
}
}  // namespace
