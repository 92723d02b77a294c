#pragma once
// Where the mail accounts' passwords are kept: in the desktop's keyring when a Secret
// Service runs, else in the settings file (mode 0600) as before.
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

struct EmailAccount;
class IKeyring;

// Each takes the keyring in use; none (or one with no Secret Service behind it) keeps the
// passwords in the settings file.

// True when passwords go to the keyring.
bool PasswordsInKeyring(IKeyring* keyring);
// The accounts page's one line on where the passwords are kept.
QString PasswordStorageNote(IKeyring* keyring);

// Before the settings are saved: gives every account a keyring entry of its own, and
// removes the entries of accounts that are gone.
void KeyMailPasswords(QList<EmailAccount>& accounts, IKeyring* keyring);

// The account as the settings file keeps it. Its password is empty once the keyring holds
// it; until then the file keeps it, and a copy is on its way to the keyring (when every copy
// has arrived, requestSave is called once, so that a save takes them out of the file).
EmailAccount AccountForFile(const EmailAccount& account, IKeyring* keyring,
                            const std::function<void()>& requestSave);

// After loading: asks the keyring, without waiting, for the passwords the file did not hold;
// each fills its account's empty password in `accounts` when it arrives (the list must
// outlive the run, or the run end first: ResetMailPasswords).
void FetchMailPasswords(QList<EmailAccount>& accounts, IKeyring* keyring);
// Passwords asked for and not yet answered: timed checks wait for them.
bool MailPasswordsPending();

// Announces passwords from the keyring that have filled accounts.
class MailPasswordNews : public QObject {
  Q_OBJECT
 signals:
  void arrived();
};
MailPasswordNews& MailPasswordEvents();

// Forgets what the keyring is known to hold (a new run, for the tests).
void ResetMailPasswords();
