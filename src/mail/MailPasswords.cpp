#include "mail/MailPasswords.h"

#include <QHash>
#include <QSet>
#include <QUuid>

#include "platform/Keyring.h"
#include "settings/Config.h"

namespace {
struct Kept {
  QHash<QString, QString> inKeyring;  // what the keyring is known to hold, by key
  QSet<QString> known;                // keys that may have an entry there
  // Accounts given a key of their own at load because another account had their entry:
  // that entry, read in place of theirs until theirs holds a password.
  QHash<QString, QString> sharedEntry;
  QSet<QString> writing;     // key + '\n' + password on its way there
  bool landed = false;       // a write has arrived since the last follow-up save
  bool followingUp = false;  // saving because writes arrived: that save starts none
  int pending = 0;           // reads not yet answered
};

Kept& TheKept() {
  static Kept kept;
  return kept;
}

// Answers from before a reset belong to another run.
int& Run() {
  static int run = 0;
  return run;
}

IKeyring* Usable(IKeyring* k) { return k && k->Available() ? k : nullptr; }

// Where accounts stored without a key of their own kept their password.
QString SharedKey(const EmailAccount& a) { return a.User + '@' + a.Server; }

QString NewKey() {
  return QStringLiteral("account ") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

// Gives every account a key no other account has. A key it has stays (the first account
// of two with one alike keeps it). An account loaded without one keeps "user@server" when
// no other account has that; any other gets a new key.
void GiveKeys(QList<EmailAccount>& accounts, bool loaded) {
  Kept& kept = TheKept();
  QSet<QString> taken;
  QList<EmailAccount*> keyless;
  for (EmailAccount& a : accounts) {
    if (!a.PasswordKey.isEmpty() && !taken.contains(a.PasswordKey))
      taken.insert(a.PasswordKey);
    else
      keyless << &a;
  }
  for (EmailAccount* a : std::as_const(keyless)) {
    const QString shared = a->PasswordKey.isEmpty() ? SharedKey(*a) : a->PasswordKey;
    if (loaded && a->PasswordKey.isEmpty() && !taken.contains(shared)) {
      a->PasswordKey = shared;
    } else {
      a->PasswordKey = NewKey();
      // Its password, if any, is still where the other account's is.
      if (loaded) kept.sharedEntry.insert(a->PasswordKey, shared);
    }
    taken.insert(a->PasswordKey);
  }
}

void Forget(IKeyring* keyring, const QString& key) {
  Kept& kept = TheKept();
  kept.known.remove(key);
  kept.inKeyring.remove(key);
  keyring->Remove(key, [key, run = Run()](bool ok) {
    if (!ok && run == Run()) TheKept().known.insert(key);  // tried again at the next save
  });
}

void Store(IKeyring* keyring, const QString& key, const QString& password,
           const std::function<void()>& requestSave) {
  Kept& kept = TheKept();
  const QString job = key + '\n' + password;
  if (kept.writing.contains(job)) return;
  kept.writing.insert(job);
  kept.known.insert(key);
  keyring->Write(key, password, [key, job, password, requestSave, run = Run()](bool ok) {
    if (run != Run()) return;
    Kept& k = TheKept();
    k.writing.remove(job);
    if (ok) {
      k.inKeyring.insert(key, password);
      k.sharedEntry.remove(key);
      k.landed = true;
    }
    if (!k.writing.isEmpty() || !k.landed) return;
    // Now the file can do without them: one save, which starts no writes, so a save
    // never leads to another.
    k.landed = false;
    k.followingUp = true;
    if (requestSave) requestSave();
    k.followingUp = false;
  });
}

// Reads `entry` for the account keyed `account`; fills it if it is still waiting.
void Ask(IKeyring* keyring, QList<EmailAccount>& accounts, const QString& entry,
         const QString& account) {
  ++TheKept().pending;
  keyring->Read(entry, [keyring, &accounts, entry, account, run = Run()](bool found,
                                                                         const QString& password) {
    if (run != Run()) return;
    Kept& k = TheKept();
    --k.pending;
    if (!found || password.isEmpty()) {
      const QString shared = k.sharedEntry.value(account);
      if (entry == account && !shared.isEmpty()) Ask(keyring, accounts, shared, account);
      return;
    }
    k.inKeyring.insert(entry, password);
    // Only into an account still waiting for it: one the user has typed a password into
    // keeps the typed one.
    bool filled = false;
    for (EmailAccount& a : accounts) {
      if (a.PasswordKey == account && a.Password.isEmpty()) {
        a.Password = password;
        filled = true;
      }
    }
    if (filled) emit MailPasswordEvents().arrived();
  });
}
}  // namespace

bool PasswordsInKeyring(IKeyring* keyring) { return Usable(keyring) != nullptr; }

QString PasswordStorageNote(IKeyring* keyring) {
  return PasswordsInKeyring(keyring)
             ? QStringLiteral("Passwords are kept in the desktop's keyring.")
             : QStringLiteral("No keyring is running: passwords are kept in the settings file, "
                              "readable only by you.");
}

void KeyMailPasswords(QList<EmailAccount>& accounts, IKeyring* usable) {
  IKeyring* keyring = Usable(usable);
  if (!keyring) return;
  GiveKeys(accounts, false);
  Kept& kept = TheKept();
  QSet<QString> used;
  for (const EmailAccount& a : std::as_const(accounts)) {
    used.insert(a.PasswordKey);
    if (a.Password.isEmpty() && kept.sharedEntry.contains(a.PasswordKey))
      used.insert(kept.sharedEntry.value(a.PasswordKey));
  }
  // A deleted account's entry.
  const QSet<QString> known = kept.known;
  for (const QString& key : known)
    if (!used.contains(key)) Forget(keyring, key);
}

EmailAccount AccountForFile(const EmailAccount& account, IKeyring* usable,
                            const std::function<void()>& requestSave) {
  EmailAccount stored = account;
  IKeyring* keyring = Usable(usable);
  // A record that was never keyed (not the program's own) keeps its password in the file.
  if (!keyring || account.PasswordKey.isEmpty()) return stored;
  Kept& kept = TheKept();
  if (account.Password.isEmpty()) {
    // Nothing under its new key yet: the next run looks where this one did.
    if (kept.sharedEntry.contains(account.PasswordKey)) stored.PasswordKey.clear();
    return stored;
  }
  const auto found = kept.inKeyring.constFind(account.PasswordKey);
  if (found != kept.inKeyring.cend() && *found == account.Password) {
    stored.Password.clear();
    return stored;
  }
  if (!kept.followingUp) Store(keyring, account.PasswordKey, account.Password, requestSave);
  return stored;
}

void FetchMailPasswords(QList<EmailAccount>& accounts, IKeyring* usable) {
  IKeyring* keyring = Usable(usable);
  if (!keyring) return;
  Kept& kept = TheKept();
  GiveKeys(accounts, true);
  for (const EmailAccount& a : std::as_const(accounts)) {
    kept.known.insert(a.PasswordKey);
    if (kept.sharedEntry.contains(a.PasswordKey))
      kept.known.insert(kept.sharedEntry[a.PasswordKey]);
  }
  for (const EmailAccount& a : std::as_const(accounts))
    if (a.Password.isEmpty()) Ask(keyring, accounts, a.PasswordKey, a.PasswordKey);
}

bool MailPasswordsPending() { return TheKept().pending > 0; }

MailPasswordNews& MailPasswordEvents() {
  static MailPasswordNews news;
  return news;
}

void ResetMailPasswords() {
  TheKept() = Kept();
  ++Run();
}
