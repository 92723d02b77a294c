#include "pages/TFrameAgenda.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/Services.h"
#include "settings/PasswordKeeper.h"
#include "widgets/ColorCombo.h"

namespace {
QString ItemText(const AgendaCalendar& c) {
  const QString source = c.URL.trimmed().isEmpty() ? QStringLiteral("(no source)") : c.URL;
  return c.Enabled ? source : source + QStringLiteral(" (off)");
}
}  // namespace

TFrameAgenda::TFrameAgenda(Config& config, Services& services, QWidget* parent)
    : SettingsPage(config, services, parent),
      editors_(
          this, [this] { return Selected(); }, ItemEditors<AgendaCalendar>::Writes::AtOnce) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);

  auto* listLabel = new QLabel(QStringLiteral("&Calendars:"), this);
  List_Calendars = new QListWidget(this);
  List_Calendars->setObjectName(QStringLiteral("List_Calendars"));
  listLabel->setBuddy(List_Calendars);
  auto* buttons = new QVBoxLayout;
  Button_Add = new QPushButton(QStringLiteral("&Add"), this);
  Button_Remove = new QPushButton(QStringLiteral("&Remove"), this);
  Button_Refresh = new QPushButton(QStringLiteral("Re&fresh"), this);
  for (QPushButton* b : {Button_Add, Button_Remove, Button_Refresh}) buttons->addWidget(b);
  buttons->addStretch();
  auto* top = new QHBoxLayout;
  top->addWidget(List_Calendars, 1);
  top->addLayout(buttons);
  layout->addWidget(listLabel);
  layout->addLayout(top, 1);

  auto* form = new QFormLayout;
  Edit_URL = new QLineEdit(this);
  Edit_URL->setPlaceholderText(QStringLiteral("a file, or an https:// address"));
  Edit_User = new QLineEdit(this);
  Edit_Password = new QLineEdit(this);
  Edit_Password->setEchoMode(QLineEdit::Password);
  Combo_Color = new ColorCombo(this);
  form->addRow(QStringLiteral("&Source:"), Edit_URL);
  form->addRow(QStringLiteral("&User name:"), Edit_User);
  form->addRow(QStringLiteral("&Password:"), Edit_Password);
  form->addRow(QStringLiteral("C&olour:"), Combo_Color);
  layout->addLayout(form);
  Label_PasswordStorage = new QLabel(this);
  Label_PasswordStorage->setWordWrap(true);
  layout->addWidget(Label_PasswordStorage);
  Check_Enabled = new QCheckBox(QStringLiteral("Enabled"), this);
  Check_Alarms = new QCheckBox(QStringLiteral("Alarms as popup reminders"), this);
  auto* checks = new QHBoxLayout;
  checks->addWidget(Check_Enabled);
  checks->addWidget(Check_Alarms);
  checks->addStretch();
  layout->addLayout(checks);

  auto* options = new QGridLayout;
  Check_ShowList = new QCheckBox(QStringLiteral("List the coming events under the month"), this);
  Spin_ListDays = new QSpinBox(this);
  Spin_ListDays->setRange(1, 31);
  Spin_RefreshMinutes = new QSpinBox(this);
  Spin_RefreshMinutes->setRange(1, 1440);
  auto* daysLabel = new QLabel(QStringLiteral("&Days in the list:"), this);
  daysLabel->setBuddy(Spin_ListDays);
  auto* refreshLabel = new QLabel(QStringLiteral("Fetch every (&minutes):"), this);
  refreshLabel->setBuddy(Spin_RefreshMinutes);
  options->addWidget(Check_ShowList, 0, 0, 1, 2);
  options->addWidget(daysLabel, 1, 0);
  options->addWidget(Spin_ListDays, 1, 1);
  options->addWidget(refreshLabel, 2, 0);
  options->addWidget(Spin_RefreshMinutes, 2, 1);
  options->setColumnStretch(2, 1);
  layout->addLayout(options);
  Label_Status = new QLabel(this);
  Label_Status->setWordWrap(true);
  layout->addWidget(Label_Status);

  setTabOrder(List_Calendars, Button_Add);
  setTabOrder(Button_Add, Button_Remove);
  setTabOrder(Button_Remove, Button_Refresh);
  setTabOrder(Button_Refresh, Edit_URL);
  setTabOrder(Edit_URL, Edit_User);
  setTabOrder(Edit_User, Edit_Password);
  setTabOrder(Edit_Password, Combo_Color);
  setTabOrder(Combo_Color, Check_Enabled);
  setTabOrder(Check_Enabled, Check_Alarms);
  setTabOrder(Check_Alarms, Check_ShowList);
  setTabOrder(Check_ShowList, Spin_ListDays);
  setTabOrder(Spin_ListDays, Spin_RefreshMinutes);

  auto& a = config.AgendaConfig;
  Bind(Check_ShowList, a.ShowList);
  Bind(Spin_ListDays, a.ListDays);
  Bind(Spin_RefreshMinutes, a.RefreshMinutes);

  // With none selected, the colour a new calendar starts with.
  editors_.Bind(Edit_URL, &AgendaCalendar::URL);
  editors_.Bind(Edit_User, &AgendaCalendar::User);
  editors_.Bind(Edit_Password, &AgendaCalendar::Password);
  editors_.Bind(Combo_Color, &AgendaCalendar::MarkColor, AgendaCalendar().MarkColor);
  editors_.Bind(Check_Enabled, &AgendaCalendar::Enabled);
  editors_.Bind(Check_Alarms, &AgendaCalendar::Alarms);
  editors_.edited = [this] {
    AgendaCalendar& c = *Selected();
    // Spaces around a pasted address are no part of it.
    c.URL = c.URL.trimmed();
    if (QListWidgetItem* item = List_Calendars->currentItem()) item->setText(ItemText(c));
  };
  connect(List_Calendars, &QListWidget::currentRowChanged, this, [this] { FillSelected(); });
  connect(Button_Add, &QPushButton::clicked, this, &TFrameAgenda::Button_AddClick);
  connect(Button_Remove, &QPushButton::clicked, this, &TFrameAgenda::Button_RemoveClick);
  connect(Button_Refresh, &QPushButton::clicked, this, &TFrameAgenda::Button_RefreshClick);
  // The page is filled at start-up, before the keyring has answered: a password that arrives
  // shows (one typed meanwhile is the calendar's already, and stays).
  if (services.passwords)
    connect(services.passwords, &PasswordKeeper::arrived, this, [this] {
      if (!editors_.ShowsSelected()) editors_.Fill();
    });
  // The source, user or password typed: fetch once the typing has paused.
  auto* settle = new QTimer(this);
  settle->setSingleShot(true);
  settle->setInterval(1500);
  connect(settle, &QTimer::timeout, this, &TFrameAgenda::refreshRequested);
  connect(this, &SettingsPage::settingsChanged, settle, qOverload<>(&QTimer::start));
  LoadFromConfig();
}

AgendaCalendar* TFrameAgenda::Selected() {
  const int row = List_Calendars->currentRow();
  auto& calendars = config.AgendaConfig.Calendars;
  return row >= 0 && row < calendars.size() ? &calendars[row] : nullptr;
}

void TFrameAgenda::LoadFromConfig() {
  SettingsPage::LoadFromConfig();
  Label_PasswordStorage->setText(PasswordKeeper::StorageNote(services.passwords));
  LoadGuard guard(this);
  FillList();
}

void TFrameAgenda::FillList() {
  LoadGuard guard(this);
  const int keep = List_Calendars->currentRow();
  List_Calendars->clear();
  for (const AgendaCalendar& c : config.AgendaConfig.Calendars)
    List_Calendars->addItem(ItemText(c));
  const int count = List_Calendars->count();
  List_Calendars->setCurrentRow(count == 0 ? -1 : std::clamp(keep, 0, count - 1));
  FillSelected();
}

void TFrameAgenda::FillSelected() {
  const bool any = Selected() != nullptr;
  for (QWidget* w : std::initializer_list<QWidget*>{Edit_URL, Edit_User, Edit_Password, Combo_Color,
                                                    Check_Enabled, Check_Alarms, Button_Remove})
    w->setEnabled(any);
  editors_.Fill();
}

void TFrameAgenda::Button_AddClick() {
  config.AgendaConfig.Calendars.append(AgendaCalendar());
  FillList();
  List_Calendars->setCurrentRow(List_Calendars->count() - 1);
  Edit_URL->setFocus();
  emit settingsChanged();
}

void TFrameAgenda::Button_RemoveClick() {
  const int i = List_Calendars->currentRow();
  if (!Selected()) return;
  config.AgendaConfig.Calendars.removeAt(i);
  FillList();
  emit settingsChanged();
}

void TFrameAgenda::Button_RefreshClick() { emit refreshRequested(); }

void TFrameAgenda::ShowStatus(const QString& text) { Label_Status->setText(text); }
