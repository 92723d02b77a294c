#pragma once
// Where the mail accounts' passwords are kept: in the desktop's keyring when a Secret
// Service runs, else in the settings file (mode 0600) as before.
#include <QString>

struct EmailAccount;

// True when passwords go to the keyring.
bool PasswordsInKeyring();
// The accounts page's one line on where the passwords are kept.
QString PasswordStorageNote();

// What the settings file keeps as the account's password. Empty once the keyring holds
// it; until then the file keeps it, and a copy is on its way to the keyring (when that has
// arrived the settings are saved again, which takes it out of the file).
QString PasswordForFile(const EmailAccount& account);

// After loading: asks the keyring, without waiting, for the passwords the file did not hold;
// each fills its account's empty password when it arrives.
void FetchMailPasswords();
// Passwords asked for and not yet answered: timed checks wait for them.
bool MailPasswordsPending();

// Forgets what the keyring is known to hold (a new run, for the tests).
void ResetMailPasswords();
