#include "pages/TFrameRemindersDate.h"

#include <QLocale>
#include <QSet>
#include <QStyle>
#include <QTimer>

#include "platform/DateTime.h"
#include "platform/Services.h"
#include "reminders/PopupScheduler.h"
#include "reminders/TForm_Reminder.h"

namespace {
constexpr int kIdRole = Qt::UserRole;

// The locale's short date and long time; a time zone name would only be in the way here.
QString DateTimeFormat() {
  const QLocale locale;
  QString time = locale.timeFormat(QLocale::LongFormat);
  time.remove(QLatin1Char('t'));
  return locale.dateFormat(QLocale::ShortFormat) + QLatin1Char(' ') + time.trimmed();
}
}  // namespace

TFrameRemindersDate::TFrameRemindersDate(Config& config, Services& services, QWidget* parent)
    : SettingsPage(config, services, parent),
      RefreshTimer(new QTimer(this)),
      editors_(
          this, [this] { return SelectedReminder(); }, ItemEditors<PopupReminder>::Writes::AtOnce) {
  ui.setupUi(this);
  ui.DateTimePicker->setDisplayFormat(DateTimeFormat());
  ui.DateTimePicker->setMinimumDateTime(DaysToDateTime(0));
  ui.Button_New->setIcon(style()->standardIcon(QStyle::SP_FileDialogNewFolder));
  ui.Button_Delete->setIcon(style()->standardIcon(QStyle::SP_DialogDiscardButton));
  ui.Button_DeleteAll->setIcon(style()->standardIcon(QStyle::SP_TrashIcon));
  ui.Button_Test->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));

  connect(ui.List_Reminders, &QListWidget::currentRowChanged, this, [this] {
    if (!loading()) List_RemindersClick();
  });
  connect(ui.Button_New, &QToolButton::clicked, this, [this] { Button_NewClick(); });
  connect(ui.Button_Delete, &QToolButton::clicked, this, [this] { Button_DeleteClick(); });
  connect(ui.Button_DeleteAll, &QToolButton::clicked, this, [this] { Button_DeleteAllClick(); });
  connect(ui.Button_Test, &QToolButton::clicked, this, [this] { Button_TestClick(); });
  editors_.Bind(ui.Edit_Name, &PopupReminder::Name);
  editors_.Bind(ui.Memo_Message, &PopupReminder::Text);
  editors_.Bind(ui.DateTimePicker, &PopupReminder::DateTime);
  // The items stand for the recurrences by their numbers.
  editors_.Bind(ui.Combo_Recur, &PopupReminder::Recur);
  // The list follows the typing, letter by letter.
  editors_.edited = [this] { ui.List_Reminders->currentItem()->setText(ui.Edit_Name->text()); };

  connect(&ReminderLists(), &ReminderListEvents::changed, this, [this] { FollowList(); });
  Bind(ui.Check_DesktopNotifications, config.RemindersConfig.DesktopNotifications);

  RefreshTimer->setInterval(500);
  RefreshWhileShown(RefreshTimer, [this] { UpdateReminderControls(); });
}

int TFrameRemindersDate::Selected() const {
  const int row = ui.List_Reminders->currentRow();
  return row < 0 ? -1 : IndexOfReminder(config.RemindersConfig.Reminders, RowId(row));
}

PopupReminder* TFrameRemindersDate::SelectedReminder() {
  const int i = Selected();
  return i < 0 ? nullptr : &config.RemindersConfig.Reminders[i];
}

quint64 TFrameRemindersDate::RowId(int row) const {
  const QListWidgetItem* item = ui.List_Reminders->item(row);
  return item ? item->data(kIdRole).toULongLong() : 0;
}

int TFrameRemindersDate::RowOf(quint64 id) const {
  for (int row = 0; row < ui.List_Reminders->count(); ++row)
    if (RowId(row) == id) return row;
  return -1;
}

void TFrameRemindersDate::FillRows() {
  LoadGuard guard(this);
  ui.List_Reminders->clear();
  QSet<quint64> seen;
  for (PopupReminder& r : config.RemindersConfig.Reminders) {
    // An entry made without NewPopupReminder(), or a copy of another, needs its own.
    if (r.Id == 0 || seen.contains(r.Id)) r.Id = NextReminderId();
    seen.insert(r.Id);
    auto* item = new QListWidgetItem(r.Name, ui.List_Reminders);
    item->setData(kIdRole, QVariant::fromValue(r.Id));
  }
  SelectRow(ui.List_Reminders, -1);
}

void TFrameRemindersDate::LoadFromConfig() {
  SettingsPage::LoadFromConfig();
  FillRows();
  SelectRow(ui.List_Reminders, 0);
  List_RemindersClick();
}

void TFrameRemindersDate::SelectReminder(int index) {
  // The index is a place in the list as it is now, so the rows are made from it again.
  FillRows();
  SelectRow(ui.List_Reminders, index);
  List_RemindersClick();
}

void TFrameRemindersDate::FollowList() {
  const int row = ui.List_Reminders->currentRow();
  const quint64 selected = RowId(row);
  // The selected reminder first, then the ones after it, nearest first, then those before.
  QList<quint64> candidates;
  if (row >= 0) {
    for (int r = row; r < ui.List_Reminders->count(); ++r) candidates << RowId(r);
    for (int r = row - 1; r >= 0; --r) candidates << RowId(r);
  }
  FillRows();
  int target = -1;
  for (const quint64 id : candidates)
    if ((target = RowOf(id)) >= 0) break;
  if (target < 0 && ui.List_Reminders->count() > 0) target = 0;
  SelectRow(ui.List_Reminders, target);
  // Filling the editors again would move the cursor of someone typing in them.
  if (RowId(target) == selected && editors_.ShowsSelected()) return;
  List_RemindersClick();
}

void TFrameRemindersDate::UpdateReminderControls() {
  const bool on = Selected() >= 0;
  for (QWidget* w :
       {static_cast<QWidget*>(ui.List_Reminders), static_cast<QWidget*>(ui.Edit_Name),
        static_cast<QWidget*>(ui.Memo_Message), static_cast<QWidget*>(ui.DateTimePicker),
        static_cast<QWidget*>(ui.Combo_Recur), static_cast<QWidget*>(ui.Button_Delete),
        static_cast<QWidget*>(ui.Button_DeleteAll), static_cast<QWidget*>(ui.Button_Test)})
    w->setEnabled(on);
  ui.Button_New->setEnabled(true);
  if (!on) editors_.Fill();  // blank
}

void TFrameRemindersDate::List_RemindersClick() {
  UpdateReminderControls();
  editors_.Fill();
}

void TFrameRemindersDate::Button_NewClick() {
  const PopupReminder r = NewPopupReminder(NowDays(*services.clock));
  config.RemindersConfig.Reminders.append(r);
  FillRows();
  SelectRow(ui.List_Reminders, RowOf(r.Id));
  List_RemindersClick();
  emit settingsChanged();
}

void TFrameRemindersDate::Button_DeleteClick() {
  const int asked = Selected();
  if (asked < 0) return;
  const quint64 id = config.RemindersConfig.Reminders[asked].Id;
  if (!Confirmed(QStringLiteral("Do you want to delete selected reminder?"))) return;
  // The box kept the event loop running: a popup answered meanwhile may have taken this
  // reminder away or moved it in the list.
  auto& list = config.RemindersConfig.Reminders;
  const int i = IndexOfReminder(list, id);
  if (i < 0) return;
  list.removeAt(i);
  FillRows();
  SelectNeighbour(ui.List_Reminders, i);
  List_RemindersClick();
  emit settingsChanged();
}

void TFrameRemindersDate::Button_DeleteAllClick() {
  if (!Confirmed(QStringLiteral("Do you want to delete ALL reminders?"))) return;
  config.RemindersConfig.Reminders.clear();
  FillRows();
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
