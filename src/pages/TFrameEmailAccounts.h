#pragma once
#include <QTimer>

#include "pages/ItemEditors.h"
#include "pages/SettingsPage.h"
#include "ui_TFrameEmailAccounts.h"

// The POP3 and IMAP accounts and the manual checks. The page is the only editor of the account
// list, and while a check runs it lets nothing change the list: the worker reads it.
class TFrameEmailAccounts : public SettingsPage {
  Q_OBJECT

 public:
  TFrameEmailAccounts(Config& config, Services& services, QWidget* parent = nullptr);

  void LoadFromConfig() override;

  void Button_NewAccountClick();
  void Button_DeleteAccountClick();
  void Button_DeleteAllClick();
  void Button_CheckClick();
  void Button_CheckAllClick();
  void Button_SaveClick();
  void List_AccountsClick();
  void Edit_AccountNameChange();
  // The security choices name the ports of the chosen protocol.
  void ShowPorts();
  // Passwords from the keyring have filled accounts: the selected one shows its own.
  void PasswordsArrived();
  // Enables what may be used now: a selection, a running check, the four edits filled.
  void UpdateAccountControls();

  Ui::TFrameEmailAccounts ui;
  QTimer* RefreshTimer = nullptr;

 private:
  EmailAccount* SelectedAccount();
  void ShowPassword(bool shown);

  // The selected account's seven settings; written by Save.
  ItemEditors<EmailAccount> editors_;
  QString shownPassword_;  // the selected account's password when it was shown
};
