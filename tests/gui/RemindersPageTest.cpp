#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "MainWindowFixture.h"
#include "pages/PageTable.h"
#include "pages/TFrameRemindersDate.h"
#include "platform/DateTime.h"
#include "reminders/TForm_Reminder.h"

namespace {
PopupReminder Reminder(const char* name, const char* text, int recur) {
  PopupReminder r;
  r.Name = QString::fromLatin1(name);
  r.Text = QString::fromLatin1(text);
  r.DateTime = 45000.5;
  r.Recur = recur;
  return r;
}

class RemindersPageTest : public ::testing::Test {
 protected:
  RemindersPageTest() {
    page = std::make_unique<TFrameRemindersDate>(config, Svc());
    page->Timer1->stop();  // the tests refresh by hand
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
  ASSERT_TRUE(page->editing());
  page->ui.List_Reminders->setCurrentRow(1);
  EXPECT_TRUE(page->editing());
  const auto& list = config.RemindersConfig.Reminders;
  EXPECT_EQ(list[0].Name, "A");
  EXPECT_EQ(list[0].Text, "text of A");
  EXPECT_EQ(list[0].Recur, 1);
  EXPECT_EQ(list[1].Name, "B");
  EXPECT_EQ(list[1].Text, "text of B");
  EXPECT_EQ(list[1].Recur, 3);
  // An edit now goes to B alone, all four editors at once.
  page->ui.Combo_Recur->setCurrentIndex(4);
  EXPECT_EQ(list[1].Recur, 4);
  EXPECT_EQ(list[1].Text, "text of B");
  EXPECT_EQ(list[0].Recur, 1);
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
  EXPECT_EQ(config.RemindersConfig.Reminders[0].Recur, 2);
}

TEST_F(MainWindowTest, EditFromAPopupShowsThePageWithThatReminderSelected) {
  Cfg().RemindersConfig.Reminders = {Reminder("A", "", 0), Reminder("B", "", 0),
                                     Reminder("C", "text of C", 0)};
  form->scheduler().steps.CheckPopupReminders = [] { Cfg().DynamicConfig.EditReminderIndex = 2; };
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
}  // namespace
