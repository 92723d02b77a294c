#include "settings/PasswordKeeper.h"

#include <QPointer>
#include <QUuid>

#include "platform/Keyring.h"
#include "settings/Config.h"

namespace {
// One password of the record and the key of its entry.
struct Slot {
  QString* password;
  QString* key;
  // Where it was kept before each had a key of its own (mail: "user@server"); empty: nowhere.
  QString legacy;
  // The first word of the new keys of its kind: mail's and the agenda's entries never meet.
  QString kind;
};

QList<Slot> Slots(Config& c) {
  QList<Slot> entries;
  for (EmailAccount& a : c.EmailConfig.Accounts)
    entries << Slot{&a.Password, &a.PasswordKey, a.User + '@' + a.Server, QStringLiteral("account")};
  for (AgendaCalendar& a : c.AgendaConfig.Calendars)
    entries << Slot{&a.Password, &a.PasswordKey, QString(), QStringLiteral("calendar")};
  return entries;
}

QString NewKey(const QString& kind) {
  return kind + QLatin1Char(' ') + QUuid::createUuid().toString(QUuid::WithoutBraces);
}
}  // namespace

PasswordKeeper::PasswordKeeper(IKeyring* keyring, QObject* parent)
    : QObject(parent), keyring_(keyring) {}

bool PasswordKeeper::InKeyring() const { return keyring_ && keyring_->Available(); }

QString PasswordKeeper::StorageNote(const PasswordKeeper* keeper) {
  return keeper && keeper->InKeyring() ? QStringLiteral("Passwords are kept in the desktop's keyring.")
                     : QStringLiteral("No keyring is running: passwords are kept in the settings "
                                      "file, readable only by you.");
}

// Gives every account and calendar a key no other has. A key it has stays (the first of two
// with one alike keeps it). An account loaded without one keeps its old entry's key when no
// other has that; any other gets a new key.
void PasswordKeeper::Keys(Config& config, bool loaded) {
  const QList<Slot> entries = Slots(config);
  QSet<QString> taken;
  QList<const Slot*> keyless;
  for (const Slot& s : entries) {
    if (!s.key->isEmpty() && !taken.contains(*s.key))
      taken.insert(*s.key);
    else
      keyless << &s;
  }
  for (const Slot* s : std::as_const(keyless)) {
    const QString shared = s->key->isEmpty() ? s->legacy : *s->key;
    if (loaded && s->key->isEmpty() && !shared.isEmpty() && !taken.contains(shared)) {
      *s->key = shared;
    } else {
      *s->key = NewKey(s->kind);
      // Its password, if any, is still where the other one's is.
      if (loaded && !shared.isEmpty()) sharedEntry_.insert(*s->key, shared);
    }
    taken.insert(*s->key);
  }
}

void PasswordKeeper::Forget(const QString& key) {
  known_.remove(key);
  inKeyring_.remove(key);
  keyring_->Remove(key, [self = QPointer(this), key](bool ok) {
    if (!ok && self) self->known_.insert(key);  // tried again at the next save
  });
}

void PasswordKeeper::Store(const QString& key, const QString& password,
                           const std::function<void()>& requestSave) {
  const QString job = key + '\n' + password;
  if (writing_.contains(job)) return;
  writing_.insert(job);
  known_.insert(key);
  keyring_->Write(key, password, [self = QPointer(this), key, job, password, requestSave](bool ok) {
    if (!self) return;
    self->writing_.remove(job);
    if (ok) {
      self->inKeyring_.insert(key, password);
      self->sharedEntry_.remove(key);
      self->landed_ = true;
    }
    if (!self->writing_.isEmpty() || !self->landed_) return;
    // Now the file can do without them: one save, which starts no writes, so a save never
    // leads to another.
    self->landed_ = false;
    self->followingUp_ = true;
    if (requestSave) requestSave();
    self->followingUp_ = false;
  });
}

// Reads `entry` for the account or calendar keyed `owner`; fills it if it is still waiting.
void PasswordKeeper::Ask(const QString& entry, const QString& owner) {
  ++pending_;
  keyring_->Read(entry, [self = QPointer(this), entry, owner](bool found,
                                                              const QString& password) {
    if (!self) return;
    --self->pending_;
    if (!found || password.isEmpty()) {
      const QString shared = self->sharedEntry_.value(owner);
      if (entry == owner && !shared.isEmpty()) self->Ask(shared, owner);
      return;
    }
    self->inKeyring_.insert(entry, password);
    // Only into one still waiting for it: one the user has typed a password into keeps the
    // typed one.
    bool filled = false;
    if (self->config_)
      for (const Slot& s : Slots(*self->config_)) {
        if (*s.key == owner && s.password->isEmpty()) {
          *s.password = password;
          filled = true;
        }
      }
    if (filled) emit self->arrived();
  });
}

void PasswordKeeper::GiveKeys(Config& config) {
  if (!InKeyring()) return;
  Keys(config, false);
  QSet<QString> used;
  for (const Slot& s : Slots(config)) {
    used.insert(*s.key);
    if (s.password->isEmpty() && sharedEntry_.contains(*s.key))
      used.insert(sharedEntry_.value(*s.key));
  }
  // A deleted account's or calendar's entry.
  const QSet<QString> known = known_;
  for (const QString& key : known)
    if (!used.contains(key)) Forget(key);
}

void PasswordKeeper::ForFile(QString& password, QString& key,
                             const std::function<void()>& requestSave) {
  // A record that was never keyed (not the program's own) keeps its password in the file.
  if (!InKeyring() || key.isEmpty()) return;
  if (password.isEmpty()) {
    // Nothing under its new key yet: the next run looks where this one did.
    if (sharedEntry_.contains(key)) key.clear();
    return;
  }
  const auto found = inKeyring_.constFind(key);
  if (found != inKeyring_.cend() && *found == password) {
    password.clear();
    return;
  }
  if (!followingUp_) Store(key, password, requestSave);
}

void PasswordKeeper::Fetch(Config& config) {
  config_ = &config;
  if (!InKeyring()) return;
  Keys(config, true);
  const QList<Slot> entries = Slots(config);
  for (const Slot& s : entries) {
    known_.insert(*s.key);
    if (sharedEntry_.contains(*s.key)) known_.insert(sharedEntry_[*s.key]);
  }
  for (const Slot& s : entries)
    if (s.password->isEmpty()) Ask(*s.key, *s.key);
}
