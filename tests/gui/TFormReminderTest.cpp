#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include "TypeKey.h"
#include "reminders/TForm_Reminder.h"
#include "settings/Config.h"

namespace {

PopupReminder Reminder(int recur, bool snoozed) {
  PopupReminder r;
  r.Name = QStringLiteral("Dentist");
  r.Text = QStringLiteral("Bring the forms\nand the card");
  r.Recur = static_cast<Recurrence>(recur);
  r.IsSnoozed = snoozed;
  return r;
}

struct ButtonCase {
  const char* name;
  int recur;
  bool snoozed;
  bool test;
  bool edit;
  bool snooze;
};
void PrintTo(const ButtonCase& c, std::ostream* os) { *os << c.name; }

class ReminderButtons : public ::testing::TestWithParam<ButtonCase> {};

TEST_P(ReminderButtons, EnabledAsTheReminderAllows) {
  const ButtonCase& c = GetParam();
  TForm_Reminder form;
  form.Fill(Reminder(c.recur, c.snoozed), c.test);
  EXPECT_EQ(form.Button_Edit->isEnabled(), c.edit);
  EXPECT_EQ(form.Button_Snooze->isEnabled(), c.snooze);
  EXPECT_TRUE(form.Button_Close->isEnabled());
  EXPECT_EQ(!form.Label_Snoozed->isHidden(), c.snoozed);
  EXPECT_EQ(form.Label_Snoozed->text(), ":SNOOZED:");
  EXPECT_EQ(form.Edit_Text->text(), "Dentist");
  EXPECT_EQ(form.Memo_Message->toPlainText(), "Bring the forms\nand the card");
}

INSTANTIATE_TEST_SUITE_P(Cases, ReminderButtons,
                         ::testing::Values(ButtonCase{"OneOff", 0, false, false, false, true},
                                           ButtonCase{"Daily", 1, false, false, true, true},
                                           ButtonCase{"Yearly", 4, false, false, true, true},
                                           ButtonCase{"Snoozed", 2, true, false, false, true},
                                           ButtonCase{"TestMode", 3, false, true, false, false},
                                           ButtonCase{"TestModeOneOff", 0, false, true, false,
                                                      false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReminderWindow, RefillingClearsTheSnoozedLabel) {
  TForm_Reminder form;
  form.Fill(Reminder(0, true), false);
  form.Fill(Reminder(1, false), false);
  EXPECT_TRUE(form.Label_Snoozed->isHidden());
  EXPECT_TRUE(form.Button_Edit->isEnabled());
}

TEST(ReminderWindow, SnoozeMenuHasTheTenChoicesEveryTime) {
  const QStringList captions = {"1 minute",          "3 minutes",  "7 minutes",  "10 minutes",
                                "15 minutes",        "20 minutes", "30 minutes", "1 hour",
                                "1 hour 30 minutes", "2 hours"};
  const int minutes[] = {1, 3, 7, 10, 15, 20, 30, 60, 90, 120};
  for (int item = 0; item < 10; ++item) {
    TForm_Reminder form;
    form.Fill(Reminder(0, false), false);
    form.Menu_Pulldown->addAction(QStringLiteral("left over"));
    form.RebuildSnoozeMenu();
    form.RebuildSnoozeMenu();
    const QList<QAction*> items = form.Menu_Pulldown->actions();
    ASSERT_EQ(items.size(), 10);
    EXPECT_EQ(items[item]->text(), captions[item]);
    EXPECT_EQ(items[item]->data().toInt(), item);
    items[item]->trigger();
    EXPECT_TRUE(form.answered());
    EXPECT_EQ(form.answer().answer, ReminderResult::Snooze);
    EXPECT_EQ(form.answer().minutes, minutes[item]) << captions[item].toStdString();
  }
}

struct ClickCase {
  const char* name;
  std::function<void(TForm_Reminder&)> act;
  ReminderResult::Answer answer;
  int minutes;
};
void PrintTo(const ClickCase& c, std::ostream* os) { *os << c.name; }

class ReminderAnswers : public ::testing::TestWithParam<ClickCase> {};

// Shown modally as the scheduler shows it; the action runs inside the modal loop.
TEST_P(ReminderAnswers, EachWayOutAnswers) {
  const ClickCase& c = GetParam();
  TForm_Reminder form;
  form.Fill(Reminder(1, false), false);
  bool wasVisible = false;
  QTimer::singleShot(0, &form, [&] {
    wasVisible = form.isVisible();
    c.act(form);
  });
  form.ShowModal();
  EXPECT_TRUE(wasVisible);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.Menu_Pulldown->actions().size(), 10);
  EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(form.answered());
  EXPECT_EQ(form.answer().answer, c.answer);
  EXPECT_EQ(form.answer().minutes, c.minutes);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, ReminderAnswers,
    ::testing::Values(
        ClickCase{"CloseBox", [](TForm_Reminder& f) { f.close(); }, ReminderResult::Close, 0},
        // From the keyboard, once the user has moved the focus to a button.
        ClickCase{"TabToEditThenSpace",
                  [](TForm_Reminder& f) {
                    TypeKey(f, Qt::Key_Tab);
                    TypeKey(f, Qt::Key_Space);
                  },
                  ReminderResult::Edit, 0},
        ClickCase{"ReturnOnTheFocusedCloseButton",
                  [](TForm_Reminder& f) {
                    f.Button_Close->setFocus();
                    TypeKey(f, Qt::Key_Return);
                  },
                  ReminderResult::Close, 0},
        ClickCase{"SpaceOnTheFocusedSnoozeButton",
                  [](TForm_Reminder& f) {
                    f.Button_Snooze->setFocus();
                    TypeKey(f, Qt::Key_Space);
                  },
                  ReminderResult::Snooze, 5},
        ClickCase{"CloseButton", [](TForm_Reminder& f) { f.Button_Close->click(); },
                  ReminderResult::Close, 0},
        ClickCase{"EditButton", [](TForm_Reminder& f) { f.Button_Edit->click(); },
                  ReminderResult::Edit, 0},
        ClickCase{"SnoozeFace", [](TForm_Reminder& f) { f.Button_Snooze->click(); },
                  ReminderResult::Snooze, 5},
        ClickCase{"SnoozeMenu",
                  [](TForm_Reminder& f) { f.Menu_Pulldown->actions().at(8)->trigger(); },
                  ReminderResult::Snooze, 90}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReminderWindow, FixedLayoutWithTheSpecifiedTexts) {
  TForm_Reminder form;
  EXPECT_EQ(form.size(), QSize(474, 235));
  EXPECT_EQ(form.Label_Caption->text(), "Quillatorne reminder");
  EXPECT_EQ(form.Button_Snooze->text(), "Snooze for 5 minutes");
  EXPECT_EQ(form.Button_Edit->text(), "Edit");
  EXPECT_EQ(form.Button_Close->text(), "Close");
  EXPECT_EQ(form.Button_Snooze->menu(), form.Menu_Pulldown);
  EXPECT_TRUE(form.Edit_Text->isReadOnly());
  EXPECT_TRUE(form.Memo_Message->isReadOnly());
  EXPECT_FALSE(form.answered());
  EXPECT_EQ(form.answer().answer, ReminderResult::Close);
  EXPECT_EQ(QFontMetrics(form.Label_Caption->font()).height(), 27);
  EXPECT_EQ(form.Label_Caption->palette().color(form.Label_Caption->foregroundRole()),
            QColor(Qt::blue));
}

// Keys meant for another program, pressed just as the popup appears, must not answer it.
TEST(ReminderWindow, AppearsWithoutTakingTheKeyboardAndKeysAnswerNothing) {
  TForm_Reminder form;
  form.Fill(Reminder(1, false), false);
  bool checked = false;
  QTimer::singleShot(0, &form, [&] {
    checked = true;
    EXPECT_EQ(form.windowType(), Qt::Tool);
    EXPECT_TRUE(form.testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(form.isActiveWindow());
    EXPECT_EQ(form.focusWidget(), form.Memo_Message);
    for (QPushButton* b : {form.Button_Edit, form.Button_Close}) {
      EXPECT_FALSE(b->isDefault()) << b->text().toStdString();
      EXPECT_FALSE(b->autoDefault()) << b->text().toStdString();
    }
    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Space}) {
      TypeKey(form, key);
      EXPECT_TRUE(form.isVisible()) << "key " << key;
    }
    EXPECT_FALSE(form.answered());
    form.close();  // the close box still answers
  });
  form.ShowModal();
  ASSERT_TRUE(checked);
  EXPECT_TRUE(form.answered());
  EXPECT_EQ(form.answer().answer, ReminderResult::Close);
}

}  // namespace
