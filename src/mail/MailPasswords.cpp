#include "mail/MailPasswords.h"

#include <QHash>
#include <QSet>

#include "platform/Keyring.h"
#include "platform/Services.h"
#include "settings/Config.h"
#include "settings/ConfigStore.h"

namespace {
struct Kept {
  QHash<QString, QString> inKeyring;  // what the keyring is known to hold, by key
  QSet<QString> writing;              // key + '\n' + password on its way there
  int pending = 0;                    // reads not yet answered
};

Kept& TheKept() {
  static Kept kept;
  return kept;
}

IKeyring* Keyring() {
  IKeyring* k = Svc().keyring;
  return k && k->Available() ? k : nullptr;
}

// One entry per mailbox: the same user on the same server has one password.
QString KeyOf(const EmailAccount& a) { return a.User + '@' + a.Server; }
}  // namespace

bool PasswordsInKeyring() { return Keyring() != nullptr; }

QString PasswordStorageNote() {
  return PasswordsInKeyring()
             ? QStringLiteral("Passwords are kept in the desktop's keyring.")
             : QStringLiteral("No keyring is running: passwords are kept in the settings file, "
                              "readable only by you.");
}

QString PasswordForFile(const EmailAccount& account) {
  IKeyring* keyring = Keyring();
  if (!keyring || account.Password.isEmpty()) return account.Password;
  Kept& kept = TheKept();
  const QString key = KeyOf(account);
  const auto found = kept.inKeyring.constFind(key);
  if (found != kept.inKeyring.cend() && *found == account.Password) return QString();
  const QString job = key + '\n' + account.Password;
  if (!kept.writing.contains(job)) {
    kept.writing.insert(job);
    keyring->Write(key, account.Password, [key, job, password = account.Password](bool ok) {
      Kept& k = TheKept();
      k.writing.remove(job);
      if (!ok) return;  // the file keeps it
      k.inKeyring.insert(key, password);
      SaveConfig();  // now the file can do without it
    });
  }
  return account.Password;
}

void FetchMailPasswords() {
  IKeyring* keyring = Keyring();
  if (!keyring) return;
  QSet<QString> asked;
  for (const EmailAccount& a : std::as_const(Cfg().EmailConfig.Accounts)) {
    const QString key = KeyOf(a);
    if (!a.Password.isEmpty() || a.User.isEmpty() || asked.contains(key)) continue;
    asked.insert(key);
    ++TheKept().pending;
    keyring->Read(key, [key](bool found, const QString& password) {
      Kept& k = TheKept();
      --k.pending;
      if (!found || password.isEmpty()) return;
      k.inKeyring.insert(key, password);
      // Only into accounts still waiting for it: one the user has typed a password into
      // keeps the typed one.
      for (EmailAccount& a : Cfg().EmailConfig.Accounts)
        if (a.Password.isEmpty() && KeyOf(a) == key) a.Password = password;
    });
  }
}

bool MailPasswordsPending() { return TheKept().pending > 0; }

void ResetMailPasswords() { TheKept() = Kept(); }
