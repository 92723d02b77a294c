#pragma once
// The window a popup reminder pops up in: name, text, and the answers Close, Edit and
// Snooze (five minutes, or a choice from the arrow's menu).
#include <QDialog>
#include <QString>
#include <array>

#include "reminders/ReminderPopup.h"

class QLabel;
class QLineEdit;
class QEventLoop;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QToolButton;
struct PopupReminder;

struct SnoozeChoice {
  QString caption;
  int minutes;
};
constexpr int kSnoozeChoiceCount = 10;
// The snooze menu, in menu order; built once.
const std::array<SnoozeChoice, kSnoozeChoiceCount>& SnoozeChoices();

class TForm_Reminder : public QDialog {
  Q_OBJECT

 public:
  explicit TForm_Reminder(QWidget* parent = nullptr);

  // Labels, texts and which buttons are enabled; test mode offers Close only.
  void Fill(const PopupReminder& reminder, bool test);
  // Rebuilds the snooze menu, shows the window in front of everything else but without
  // taking the keyboard focus, and returns when it closes. (A try-out from the reminders
  // page fills in test mode and calls exec() instead: no menu, answer ignored.)
  void ShowModal();
  // Empties Menu_Pulldown and adds one item per snooze choice, tagged with its position.
  void RebuildSnoozeMenu();
  // Raises the window over other applications' windows without taking the keyboard.
  void BringToFront();

  ReminderResult answer() const { return answer_; }
  // Whether a handler or the close box answered (not the event loop being shut down).
  bool answered() const { return answered_; }

  QWidget* ElPanelCaption = nullptr;
  QLabel* Label_Caption = nullptr;
  QLabel* Label_Snoozed = nullptr;
  QLabel* Image1 = nullptr;
  QLineEdit* Edit_Text = nullptr;
  QPlainTextEdit* Memo_Message = nullptr;
  QPushButton* Button_Edit = nullptr;
  QPushButton* Button_Close = nullptr;
  QToolButton* Button_Snooze = nullptr;
  QMenu* Menu_Pulldown = nullptr;

  void Button_CloseClick();
  void Button_EditClick();
  void Button_SnoozeClick();
  void SnoozeChoiceClick(int tag);
  // An answer given elsewhere (the reminder's desktop notification), as its button gives it.
  void AnswerFromOutside(const ReminderResult& answer);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;
  void keyPressEvent(QKeyEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void Answer(ReminderResult::Answer answer, int minutes);

  ReminderResult answer_;
  bool answered_ = false;
  QEventLoop* loop_ = nullptr;  // while ShowModal waits
};

// Whether a reminder window is open and waiting for its answer.
bool ReminderWindowOpen();

// The production popup: a TForm_Reminder per reminder, not in test mode.
IReminderPopup& WindowReminderPopup();
