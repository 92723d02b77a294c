#include "pages/TFrameEmailAccounts.h"

#include <QStyle>

#include "mail/MailCheck.h"
#include "platform/Services.h"
#include "settings/PasswordKeeper.h"
#include "widgets/AccessibleComboBox.h"

TFrameEmailAccounts::TFrameEmailAccounts(Config& config, Services& services, QWidget* parent)
    : SettingsPage(config, services, parent),
      editors_(
          this, [this] { return SelectedAccount(); },
          ItemEditors<EmailAccount>::Writes::WhenAsked) {
  ui.setupUi(this);
  QStyle* s = style();
  ui.Button_NewAccount->setIcon(s->standardIcon(QStyle::SP_FileDialogNewFolder));
  ui.Button_DeleteAccount->setIcon(s->standardIcon(QStyle::SP_DialogDiscardButton));
  ui.Button_DeleteAll->setIcon(s->standardIcon(QStyle::SP_TrashIcon));
  ui.Button_Check->setIcon(s->standardIcon(QStyle::SP_BrowserReload));
  ui.Button_CheckAll->setIcon(s->standardIcon(QStyle::SP_DialogApplyButton));

  connect(ui.Button_NewAccount, &QToolButton::clicked, this,
          &TFrameEmailAccounts::Button_NewAccountClick);
  connect(ui.Button_DeleteAccount, &QToolButton::clicked, this,
          &TFrameEmailAccounts::Button_DeleteAccountClick);
  connect(ui.Button_DeleteAll, &QToolButton::clicked, this,
          &TFrameEmailAccounts::Button_DeleteAllClick);
  connect(ui.Button_Check, &QToolButton::clicked, this, &TFrameEmailAccounts::Button_CheckClick);
  connect(ui.Button_CheckAll, &QToolButton::clicked, this,
          &TFrameEmailAccounts::Button_CheckAllClick);
  AnnounceByItsName(ui.Combo_Protocol);
  for (const MailProtocolChoice& c : kMailProtocolChoices)
    ui.Combo_Protocol->addItem(QString::fromLatin1(c.text), static_cast<int>(c.protocol));
  AnnounceByItsName(ui.Combo_Security);
  for (MailSecurity security : kMailSecurityChoices)
    ui.Combo_Security->addItem(QString(), static_cast<int>(security));
  ShowPorts();
  // The ports each security choice names follow the protocol.
  connect(ui.Combo_Protocol, &QComboBox::currentIndexChanged, this,
          &TFrameEmailAccounts::ShowPorts);
  // With no account selected the check box shows what a new account starts with.
  editors_.Bind(ui.Edit_AccountName, &EmailAccount::Name);
  editors_.Bind(ui.Check_Enable, &EmailAccount::EnableCheck, true);
  editors_.Bind(ui.Edit_Server, &EmailAccount::Server);
  editors_.Bind(ui.Edit_User, &EmailAccount::User);
  editors_.Bind(ui.Edit_Password, &EmailAccount::Password);
  editors_.BindByData(ui.Combo_Protocol, &EmailAccount::Protocol);
  editors_.BindByData(ui.Combo_Security, &EmailAccount::Security);

  connect(ui.Button_Save, &QPushButton::clicked, this, &TFrameEmailAccounts::Button_SaveClick);
  // A click, or the keyboard moving the selection: both are the user choosing.
  connect(ui.List_Accounts, &QListWidget::currentRowChanged, this, [this] {
    if (!loading()) List_AccountsClick();
  });
  // Clicking the selected line again starts it over: unsaved edits are dropped.
  connect(ui.List_Accounts, &QListWidget::itemClicked, this, [this] {
    if (!loading()) List_AccountsClick();
  });
  for (QLineEdit* edit : {ui.Edit_AccountName, ui.Edit_Server, ui.Edit_User, ui.Edit_Password}) {
    connect(edit, &QLineEdit::textChanged, this, &TFrameEmailAccounts::Edit_AccountNameChange);
    // Enter in an edit saves, as the button would.
    connect(edit, &QLineEdit::returnPressed, this, [this] {
      if (ui.Button_Save->isEnabled()) ui.Button_Save->click();
    });
  }
  connect(ui.Button_ShowPassword, &QToolButton::toggled, this, &TFrameEmailAccounts::ShowPassword);
  // The page is filled at start-up, before the keyring has answered.
  if (services.passwords)
    connect(services.passwords, &PasswordKeeper::arrived, this,
            &TFrameEmailAccounts::PasswordsArrived);

  RefreshTimer = new QTimer(this);
  RefreshTimer->setInterval(1000);
  RefreshWhileShown(RefreshTimer, [this] { UpdateAccountControls(); });
  // Shown or not, the page follows a check started elsewhere: at its end at once, and at its
  // start when it is next shown (before that nobody sees the controls).
  connect(&MailChecks(), &MailCheckEvents::ended, this, &TFrameEmailAccounts::UpdateAccountControls);
  UpdateAccountControls();
}

void TFrameEmailAccounts::LoadFromConfig() {
  ui.Label_PasswordStorage->setText(PasswordKeeper::StorageNote(services.passwords));
  {
    LoadGuard guard(this);
    ui.List_Accounts->clear();
    for (const EmailAccount& a : config.EmailConfig.Accounts) ui.List_Accounts->addItem(a.Name);
    SelectRow(ui.List_Accounts, 0);
  }
  List_AccountsClick();
}

EmailAccount* TFrameEmailAccounts::SelectedAccount() {
  const int row = ui.List_Accounts->currentRow();
  auto& accounts = config.EmailConfig.Accounts;
  return row >= 0 && row < accounts.size() ? &accounts[row] : nullptr;
}

void TFrameEmailAccounts::List_AccountsClick() {
  editors_.Fill();
  shownPassword_ = ui.Edit_Password->text();
  // Another account's password starts hidden again.
  ui.Button_ShowPassword->setChecked(false);
  UpdateAccountControls();
}

void TFrameEmailAccounts::UpdateAccountControls() {
  const bool selected = ui.List_Accounts->currentRow() >= 0;
  const bool busy = config.DynamicConfig.EmailCheckRunning;
  const bool any = ui.List_Accounts->count() > 0;
  const bool editable = selected && !busy;
  for (QWidget* w : std::initializer_list<QWidget*>{
           ui.Edit_AccountName, ui.Edit_Server, ui.Edit_User, ui.Edit_Password,
           ui.Button_ShowPassword, ui.Combo_Protocol, ui.Combo_Security, ui.Check_Enable})
    w->setEnabled(editable);
  ui.Button_NewAccount->setEnabled(!busy);
  ui.Button_DeleteAccount->setEnabled(editable);
  ui.Button_DeleteAll->setEnabled(any && !busy);
  ui.Button_Check->setEnabled(editable);
  ui.Button_CheckAll->setEnabled(any && !busy);
  const bool filled = !ui.Edit_AccountName->text().isEmpty() && !ui.Edit_Server->text().isEmpty() &&
                      !ui.Edit_User->text().isEmpty() && !ui.Edit_Password->text().isEmpty();
  ui.Button_Save->setEnabled(editable && filled);
}

void TFrameEmailAccounts::Button_NewAccountClick() {
  if (config.DynamicConfig.EmailCheckRunning) return;
  const EmailAccount account = NewEmailAccount();
  config.EmailConfig.Accounts.append(account);
  {
    LoadGuard guard(this);
    ui.List_Accounts->addItem(account.Name);
  }
  SelectRow(ui.List_Accounts, ui.List_Accounts->count() - 1);
  List_AccountsClick();
  ui.Edit_AccountName->setFocus();
  ui.Edit_AccountName->selectAll();
  emit settingsChanged();
}

void TFrameEmailAccounts::Button_SaveClick() {
  if (config.DynamicConfig.EmailCheckRunning || !editors_.Store()) return;
  ui.List_Accounts->currentItem()->setText(SelectedAccount()->Name);
  emit settingsChanged();
}

void TFrameEmailAccounts::Button_DeleteAccountClick() {
  const int row = ui.List_Accounts->currentRow();
  if (row < 0 || config.DynamicConfig.EmailCheckRunning) return;
  if (!Confirmed(QStringLiteral("Do you want to delete selected account?"))) return;
  // The answer took a while: a check may have started meanwhile.
  if (config.DynamicConfig.EmailCheckRunning || row >= config.EmailConfig.Accounts.size()) {
    UpdateAccountControls();
    return;
  }
  config.EmailConfig.Accounts.removeAt(row);
  {
    LoadGuard guard(this);
    delete ui.List_Accounts->takeItem(row);
  }
  SelectNeighbour(ui.List_Accounts, row);
  List_AccountsClick();
  emit settingsChanged();
}

void TFrameEmailAccounts::Button_DeleteAllClick() {
  if (ui.List_Accounts->count() == 0 || config.DynamicConfig.EmailCheckRunning) return;
  if (!Confirmed(QStringLiteral("Do you want to delete ALL accounts?"))) return;
  if (config.DynamicConfig.EmailCheckRunning) {
    UpdateAccountControls();
    return;
  }
  config.EmailConfig.Accounts.clear();
  {
    LoadGuard guard(this);
    ui.List_Accounts->clear();
  }
  List_AccountsClick();
  emit settingsChanged();
}

void TFrameEmailAccounts::Button_CheckClick() {
  const int row = ui.List_Accounts->currentRow();
  if (row < 0) return;
  StartMailCheck(config, services, false, row);
  UpdateAccountControls();
}

void TFrameEmailAccounts::Button_CheckAllClick() {
  StartMailCheck(config, services, false, -1);
  UpdateAccountControls();
}

void TFrameEmailAccounts::Edit_AccountNameChange() { UpdateAccountControls(); }

void TFrameEmailAccounts::ShowPorts() {
  const int data = ui.Combo_Protocol->currentData().toInt();
  const MailProtocol protocol = MailProtocolFromInt(data);
  for (int i = 0; i < ui.Combo_Security->count(); ++i)
    ui.Combo_Security->setItemText(
        i, MailSecurityText(MailSecurityFromInt(ui.Combo_Security->itemData(i).toInt()), protocol));
}

void TFrameEmailAccounts::PasswordsArrived() {
  const int row = ui.List_Accounts->currentRow();
  if (row < 0 || row >= config.EmailConfig.Accounts.size()) return;
  // A password the user has typed meanwhile stays.
  if (ui.Edit_Password->text() != shownPassword_) return;
  shownPassword_ = config.EmailConfig.Accounts.at(row).Password;
  ui.Edit_Password->setText(shownPassword_);
}

void TFrameEmailAccounts::ShowPassword(bool shown) {
  ui.Edit_Password->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
  ui.Button_ShowPassword->setText(shown ? QStringLiteral("Hide") : QStringLiteral("Show"));
  ui.Button_ShowPassword->setAccessibleName(shown ? QStringLiteral("Hide password")
                                                  : QStringLiteral("Show password"));
}
