#include "reminders/TForm_Reminder.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QToolButton>

#include "platform/WindowActivation.h"
#include "reminders/ReminderNotice.h"
#include "reminders/ReminderTiming.h"
#include "settings/Config.h"
#include "widgets/GradientPanel.h"
#include "widgets/WholeText.h"

namespace {

// The window's layout: the header strip across the top; below it the clock picture on the
// left and, right of it, the name above the message; the buttons along the bottom.
constexpr int kGap = 4;  // between the header and the rest, and at the window's edges
constexpr int kHeaderHeight = 32;
constexpr int kCaptionIndent = 6;   // of the header's texts from the window's sides
constexpr int kCaptionWidth = 300;  // the window's name; a late reminder's line takes it all
constexpr int kSnoozedWidth = 160;
constexpr int kBodyTop = kHeaderHeight + kGap;
constexpr int kClockWidth = 116;
constexpr int kClockHeight = 164;
constexpr int kTextLeft = kClockWidth + 1;
constexpr int kTextWidth = 353;
constexpr int kNameHeight = 32;
constexpr int kMessageTop = kBodyTop + kNameHeight + 2;
constexpr int kMessageHeight = 129;
constexpr int kButtonHeight = 28;
constexpr int kEditButtonWidth = 82;
constexpr int kCloseButtonWidth = 83;
constexpr int kSnoozeButtonWidth = 164;
constexpr int kClientWidth = kTextLeft + kTextWidth + kGap;
constexpr int kClientHeight = kMessageTop + kMessageHeight + kGap + kButtonHeight + kGap;
constexpr int kDefaultSnoozeMinutes = 5;

// The decorative picture: an alarm clock.
QPixmap ClockPicture(int w, int h) {
  QPixmap pm(w, h);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const QPointF c(w / 2.0, h / 2.0 + 6);
  const qreal r = qMin(w, h) / 2.0 - 14;
  p.setPen(QPen(QColor(0x1F, 0x4E, 0x9A), 4));
  p.setBrush(QColor(0xF4, 0xF8, 0xFF));
  p.drawEllipse(c, r, r);
  p.setBrush(QColor(0x1F, 0x4E, 0x9A));
  p.drawEllipse(QPointF(c.x() - r * 0.7, c.y() - r * 1.0), r * 0.22, r * 0.22);
  p.drawEllipse(QPointF(c.x() + r * 0.7, c.y() - r * 1.0), r * 0.22, r * 0.22);
  p.setPen(QPen(QColor(0x1F, 0x4E, 0x9A), 4, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(c, QPointF(c.x(), c.y() - r * 0.65));
  p.drawLine(c, QPointF(c.x() + r * 0.45, c.y() + r * 0.2));
  for (int i = 0; i < 12; ++i) {
    p.save();
    p.translate(c);
    p.rotate(i * 30.0);
    p.drawLine(QPointF(0, -r * 0.85), QPointF(0, -r * 0.75));
    p.restore();
  }
  return pm;
}

class WindowPopup : public IReminderPopup {
 public:
  std::optional<ReminderResult> Show(const PopupReminder& reminder,
                                     INotifications* notifications) override {
    TForm_Reminder form;
    form.Fill(reminder, false);
    // An action of the notification presses the popup's own button, so both answer alike;
    // the popup answered first withdraws the notification.
    std::optional<ReminderNotice> notice;
    if (notifications) {
      notice.emplace(*notifications, reminder, form.Button_Edit->isEnabled(),
                     [&form](ReminderResult answer) { form.AnswerFromOutside(answer); });
    }
    form.ShowModal();
    notice.reset();
    if (!form.answered()) return std::nullopt;
    return form.answer();
  }
};

}  // namespace

const std::array<SnoozeChoice, kSnoozeChoiceCount>& SnoozeChoices() {
  static const std::array<SnoozeChoice, kSnoozeChoiceCount> choices = {{
      {QStringLiteral("1 minute"), 1},
      {QStringLiteral("3 minutes"), 3},
      {QStringLiteral("7 minutes"), 7},
      {QStringLiteral("10 minutes"), 10},
      {QStringLiteral("15 minutes"), 15},
      {QStringLiteral("20 minutes"), 20},
      {QStringLiteral("30 minutes"), 30},
      {QStringLiteral("1 hour"), 60},
      {QStringLiteral("1 hour 30 minutes"), 90},
      {QStringLiteral("2 hours"), 120},
  }};
  return choices;
}

TForm_Reminder::TForm_Reminder(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Form_Reminder"));
  setWindowTitle(QStringLiteral("Quillatorne reminder"));
  // A reminder must be seen: it stays over other applications' windows. It must not take
  // the keyboard from the program the user is typing in, or a key meant for that program
  // would answer it unread.
  // Wayland compositors put a title bar of their own (or the toolkit's) over a window that
  // asks for one: the reminder draws its own header, so there it asks for none. (A frameless
  // window cannot carry the title hints: Qt drops the frameless flag beside them.)
  if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  } else {
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
  }
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFixedSize(kClientWidth, kClientHeight);
  QFont face(QStringLiteral("MS Sans Serif"));
  face.setPointSize(8);
  setFont(face);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Button);

  // The header: white fading into sky blue from left to right.
  ElPanelCaption = new GradientPanel(Qt::white, QColor(0x87, 0xCE, 0xEB), Qt::Horizontal, this);
  ElPanelCaption->setGeometry(0, 0, kClientWidth, kHeaderHeight);
  const QFont captionFont = CaptionStripFont();
  QPalette blue = palette();
  blue.setColor(QPalette::WindowText, Qt::blue);
  Label_Caption = new QLabel(QStringLiteral("Quillatorne reminder"), ElPanelCaption);
  Label_Caption->setFont(captionFont);
  Label_Caption->setPalette(blue);
  Label_Caption->setGeometry(kCaptionIndent, 0, kCaptionWidth, kHeaderHeight);
  Label_Snoozed = new QLabel(QStringLiteral(":SNOOZED:"), ElPanelCaption);
  Label_Snoozed->setFont(captionFont);
  Label_Snoozed->setPalette(blue);
  Label_Snoozed->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Label_Snoozed->setGeometry(kClientWidth - kCaptionIndent - kSnoozedWidth, 0, kSnoozedWidth,
                             kHeaderHeight);
  Label_Snoozed->setVisible(false);
  // On the button-faced window a label would otherwise take the button text's colour.
  for (QLabel* l : {Label_Caption, Label_Snoozed}) l->setForegroundRole(QPalette::WindowText);

  Image_Clock = new QLabel(this);
  Image_Clock->setGeometry(0, kBodyTop, kClockWidth, kClockHeight);
  Image_Clock->setPixmap(ClockPicture(kClockWidth, kClockHeight));

  QFont textFont(QStringLiteral("MS Sans Serif"));
  textFont.setPixelSize(19);
  QPalette navy = palette();
  navy.setColor(QPalette::Text, QColor(0x00, 0x00, 0x80));
  Edit_Text = new QLineEdit(this);
  Edit_Text->setGeometry(kTextLeft, kBodyTop, kTextWidth, kNameHeight);
  TakeWholeText(Edit_Text);
  Memo_Message = new QPlainTextEdit(this);
  Memo_Message->setGeometry(kTextLeft, kMessageTop, kTextWidth, kMessageHeight);
  for (QWidget* w : {static_cast<QWidget*>(Edit_Text), static_cast<QWidget*>(Memo_Message)}) {
    w->setFont(textFont);
    w->setPalette(navy);
  }
  Edit_Text->setReadOnly(true);
  Memo_Message->setReadOnly(true);
  Memo_Message->setTabChangesFocus(true);

  const int buttonsTop = kClientHeight - kButtonHeight - kGap;
  Button_Edit = new QPushButton(style()->standardIcon(QStyle::SP_FileDialogDetailedView),
                                QStringLiteral("Edit"), this);
  Button_Edit->setGeometry(kTextLeft, buttonsTop, kEditButtonWidth, kButtonHeight);
  Button_Close = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton),
                                 QStringLiteral("Close"), this);
  Button_Close->setGeometry(kTextLeft + kEditButtonWidth + kGap, buttonsTop, kCloseButtonWidth,
                            kButtonHeight);
  // No default button: Return answers only the button the user moved the focus to.
  for (QPushButton* b : {Button_Edit, Button_Close}) b->setAutoDefault(false);
  Button_Snooze = new QToolButton(this);
  Button_Snooze->setText(QStringLiteral("Snooze for 5 minutes"));
  Button_Snooze->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
  Button_Snooze->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  Button_Snooze->setPopupMode(QToolButton::MenuButtonPopup);
  Button_Snooze->setGeometry(kClientWidth - kGap - kSnoozeButtonWidth, buttonsTop,
                             kSnoozeButtonWidth, kButtonHeight);
  QFont menuFont(QStringLiteral("Tahoma"));
  Menu_Pulldown = new QMenu(this);
  Menu_Pulldown->setFont(menuFont);
  Button_Snooze->setMenu(Menu_Pulldown);

  // The text holds the focus on appearance, so no key answers before the user chooses.
  Memo_Message->setFocus();

  connect(Button_Close, &QPushButton::clicked, this, &TForm_Reminder::Button_CloseClick);
  connect(Button_Edit, &QPushButton::clicked, this, &TForm_Reminder::Button_EditClick);
  connect(Button_Snooze, &QToolButton::clicked, this, &TForm_Reminder::Button_SnoozeClick);
}

void TForm_Reminder::Fill(const PopupReminder& reminder, bool test) {
  Label_Snoozed->setVisible(reminder.IsSnoozed);
  // A reminder shown late says when it was due, where the header names the window.
  const bool late = reminder.Missed && !reminder.IsSnoozed;
  Label_Caption->setText(late ? MissedCaption(reminder.DateTime)
                              : QStringLiteral("Quillatorne reminder"));
  Label_Caption->setGeometry(
      kCaptionIndent, 0, late ? kClientWidth - 2 * kCaptionIndent : kCaptionWidth, kHeaderHeight);
  Edit_Text->setText(reminder.Name);
  Memo_Message->setPlainText(reminder.Text);
  Button_Edit->setEnabled(!test && !reminder.IsSnoozed && reminder.Recur != Recurrence::None);
  Button_Snooze->setEnabled(!test);
  Button_Close->setEnabled(true);
}

void TForm_Reminder::RebuildSnoozeMenu() {
  Menu_Pulldown->clear();
  const auto& choices = SnoozeChoices();
  for (int tag = 0; tag < kSnoozeChoiceCount; ++tag) {
    QAction* item = Menu_Pulldown->addAction(choices[tag].caption);
    item->setData(tag);
    connect(item, &QAction::triggered, this, [this, tag] { SnoozeChoiceClick(tag); });
  }
}

void TForm_Reminder::BringToFront() { raise(); }

namespace {
int g_openPopups = 0;
}

bool ReminderWindowOpen() { return g_openPopups > 0; }

void TForm_Reminder::ShowModal() {
  RebuildSnoozeMenu();
  // Not modal to the window system, which hands a modal window the keyboard focus as it
  // shows. The caller still waits here until the window is answered. Over an open modal
  // box it belongs to that box, or the box would keep the user from answering it.
  if (QWidget* modal = QApplication::activeModalWidget(); modal && !parentWidget())
    setParent(modal, windowFlags());
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  QEventLoop loop;
  loop_ = &loop;
  ++g_openPopups;
  show();
  BringToFront();
  // The window manager marks it (urgency on X11, xdg-activation on Wayland) for a user who is
  // looking at another window, a full-screen one included.
  AskForAttention(this);
  loop.exec(QEventLoop::DialogExec);
  --g_openPopups;
  loop_ = nullptr;
}

void TForm_Reminder::hideEvent(QHideEvent* event) {
  // Answered, or hidden by the program (as when it quits): the caller goes on. A window
  // system merely minimising it is no answer.
  if (loop_ && !event->spontaneous()) loop_->quit();
  QDialog::hideEvent(event);
}

void TForm_Reminder::Answer(ReminderResult::Answer answer, int minutes) {
  answer_ = ReminderResult{answer, minutes};
  answered_ = true;
}

void TForm_Reminder::AnswerFromOutside(const ReminderResult& answer) {
  switch (answer.answer) {
    case ReminderResult::Close:
      return Button_CloseClick();
    case ReminderResult::Edit:
      if (Button_Edit->isEnabled()) Button_EditClick();
      return;
    case ReminderResult::Snooze:
      if (!Button_Snooze->isEnabled()) return;
      Answer(ReminderResult::Snooze, answer.minutes);
      accept();
      return;
  }
}

void TForm_Reminder::Button_CloseClick() {
  Answer(ReminderResult::Close, 0);
  accept();
}

void TForm_Reminder::Button_EditClick() {
  Answer(ReminderResult::Edit, 0);
  accept();
}

void TForm_Reminder::Button_SnoozeClick() {
  Answer(ReminderResult::Snooze, kDefaultSnoozeMinutes);
  accept();
}

void TForm_Reminder::SnoozeChoiceClick(int tag) {
  if (tag < 0 || tag >= kSnoozeChoiceCount) return;
  Answer(ReminderResult::Snooze, SnoozeChoices()[tag].minutes);
  accept();
}

void TForm_Reminder::reject() {
  // The close box: the window's first answer, Close.
  Answer(ReminderResult::Close, 0);
  QDialog::reject();
}

void TForm_Reminder::keyPressEvent(QKeyEvent* event) {
  // Escape answers nothing; Return and Enter press only a button that holds the focus.
  if (event->matches(QKeySequence::Cancel)) return event->accept();
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (auto* button = qobject_cast<QAbstractButton*>(focusWidget());
        button && button->isEnabled()) {
      button->click();
    }
    return event->accept();
  }
  QDialog::keyPressEvent(event);
}

void TForm_Reminder::closeEvent(QCloseEvent* event) {
  if (!answered_) Answer(ReminderResult::Close, 0);
  QDialog::closeEvent(event);
}

IReminderPopup& WindowReminderPopup() {
  static WindowPopup popup;
  return popup;
}
