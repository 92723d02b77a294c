#include "pages/TFrameRemindersDate.h"

#include <QLocale>
#include <QStyle>
#include <QTimer>

#include "platform/DateTime.h"
#include "platform/Services.h"
#include "reminders/TForm_Reminder.h"

namespace {
// The locale's short date and long time; a time zone name would only be in the way here.
QString DateTimeFormat() {
  const QLocale locale;
  QString time = locale.timeFormat(QLocale::LongFormat);
  time.remove(QLatin1Char('t'));
  return locale.dateFormat(QLocale::ShortFormat) + QLatin1Char(' ') + time.trimmed();
}
}  // namespace

TFrameRemindersDate::TFrameRemindersDate(Config& config, Services& services, QWidget* parent)
    : SettingsPage(config, services, parent), Timer1(new QTimer(this)) {
  ui.setupUi(this);
  ui.DateTimePicker->setDisplayFormat(DateTimeFormat());
  ui.DateTimePicker->setMinimumDateTime(DaysToDateTime(0));
  ui.Button_New->setIcon(style()->standardIcon(QStyle::SP_FileDialogNewFolder));
  ui.Button_Delete->setIcon(style()->standardIcon(QStyle::SP_DialogDiscardButton));
  ui.Button_DeleteAll->setIcon(style()->standardIcon(QStyle::SP_TrashIcon));
  ui.Button_Test->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));

  connect(ui.List_Reminders, &QListWidget::currentRowChanged, this,
          [this] { List_RemindersClick(); });
  connect(ui.Button_New, &QToolButton::clicked, this, [this] { Button_NewClick(); });
  connect(ui.Button_Delete, &QToolButton::clicked, this, [this] { Button_DeleteClick(); });
  connect(ui.Button_DeleteAll, &QToolButton::clicked, this, [this] { Button_DeleteAllClick(); });
  connect(ui.Button_Test, &QToolButton::clicked, this, [this] { Button_TestClick(); });
  connect(ui.Edit_Name, &QLineEdit::textChanged, this, [this](const QString& name) {
    // The list follows the typing, letter by letter.
    if (editing_ && Selected() >= 0) ui.List_Reminders->item(Selected())->setText(name);
    Store();
  });
  connect(ui.Memo_Message, &QPlainTextEdit::textChanged, this, [this] { Store(); });
  connect(ui.DateTimePicker, &QDateTimeEdit::dateTimeChanged, this, [this] { Store(); });
  connect(ui.Combo_Recur, &QComboBox::currentIndexChanged, this, [this] { Store(); });

  Timer1->setInterval(500);
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
  Timer1->start();
}

int TFrameRemindersDate::Selected() const {
  const int row = ui.List_Reminders->currentRow();
  return row >= 0 && row < config.RemindersConfig.Reminders.size() ? row : -1;
}

void TFrameRemindersDate::LoadFromConfig() {
  editing_ = false;
  {
    const QSignalBlocker block(ui.List_Reminders);
    ui.List_Reminders->clear();
    for (const PopupReminder& r : config.RemindersConfig.Reminders)
      ui.List_Reminders->addItem(r.Name);
    ui.List_Reminders->setCurrentRow(ui.List_Reminders->count() > 0 ? 0 : -1);
  }
  List_RemindersClick();
}

void TFrameRemindersDate::SelectReminder(int index) {
  {
    const QSignalBlocker block(ui.List_Reminders);
    ui.List_Reminders->setCurrentRow(index);
  }
  List_RemindersClick();
}

void TFrameRemindersDate::Timer1Timer() {
  const bool on = Selected() >= 0;
  for (QWidget* w :
       {static_cast<QWidget*>(ui.List_Reminders), static_cast<QWidget*>(ui.Edit_Name),
        static_cast<QWidget*>(ui.Memo_Message), static_cast<QWidget*>(ui.DateTimePicker),
        static_cast<QWidget*>(ui.Combo_Recur), static_cast<QWidget*>(ui.Button_Delete),
        static_cast<QWidget*>(ui.Button_DeleteAll), static_cast<QWidget*>(ui.Button_Test)})
    w->setEnabled(on);
  ui.Button_New->setEnabled(true);
  if (!on) {
    const bool was = editing_;
    editing_ = false;
    ui.Edit_Name->clear();
    ui.Memo_Message->clear();
    ui.DateTimePicker->setDateTime(DaysToDateTime(0));
    ui.Combo_Recur->setCurrentIndex(-1);
    editing_ = was;
  }
}

void TFrameRemindersDate::List_RemindersClick() {
  editing_ = false;
  Timer1Timer();
  const int i = Selected();
  if (i >= 0) {
    const PopupReminder& r = config.RemindersConfig.Reminders[i];
    ui.Edit_Name->setText(r.Name);
    ui.Memo_Message->setPlainText(r.Text);
    ui.DateTimePicker->setDateTime(DaysToDateTime(r.DateTime));
    ui.Combo_Recur->setCurrentIndex(r.Recur >= 0 && r.Recur < ui.Combo_Recur->count() ? r.Recur
                                                                                      : -1);
  }
  editing_ = true;
}

void TFrameRemindersDate::Store() {
  const int i = Selected();
  if (!editing_ || i < 0) return;
  PopupReminder& r = config.RemindersConfig.Reminders[i];
  r.Name = ui.Edit_Name->text();
  r.Text = ui.Memo_Message->toPlainText();
  r.DateTime = DateTimeToDays(ui.DateTimePicker->dateTime());
  // A recurrence no item stands for stays as it was.
  if (ui.Combo_Recur->currentIndex() >= 0) r.Recur = ui.Combo_Recur->currentIndex();
  emit settingsChanged();
}

void TFrameRemindersDate::Button_NewClick() {
  editing_ = false;
  const PopupReminder r = NewPopupReminder();
  config.RemindersConfig.Reminders.append(r);
  {
    const QSignalBlocker block(ui.List_Reminders);
    ui.List_Reminders->addItem(r.Name);
    ui.List_Reminders->setCurrentRow(ui.List_Reminders->count() - 1);
  }
  editing_ = true;
  List_RemindersClick();
  emit settingsChanged();
}

void TFrameRemindersDate::Button_DeleteClick() {
  const int i = Selected();
  if (i < 0 || !Confirmed(QStringLiteral("Do you want to delete selected reminder?"))) return;
  // The box kept the event loop running; the list may have been filled again meanwhile.
  if (i != Selected()) return;
  config.RemindersConfig.Reminders.removeAt(i);
  {
    const QSignalBlocker block(ui.List_Reminders);
    delete ui.List_Reminders->takeItem(i);
    const int n = ui.List_Reminders->count();
    ui.List_Reminders->setCurrentRow(n == 0 ? -1 : std::min(i, n - 1));
  }
  List_RemindersClick();
  emit settingsChanged();
}

void TFrameRemindersDate::Button_DeleteAllClick() {
  if (!Confirmed(QStringLiteral("Do you want to delete ALL reminders?"))) return;
  config.RemindersConfig.Reminders.clear();
  {
    const QSignalBlocker block(ui.List_Reminders);
    ui.List_Reminders->clear();
  }
  List_RemindersClick();
  emit settingsChanged();
}

void TFrameRemindersDate::Button_TestClick() {
  const int i = Selected();
  if (i < 0) return;
  // A copy: the try-out never changes the reminder, whatever happens to the list meanwhile.
  const PopupReminder reminder = config.RemindersConfig.Reminders[i];
  TForm_Reminder window(this);
  window.Fill(reminder, true);
  window.exec();
}
