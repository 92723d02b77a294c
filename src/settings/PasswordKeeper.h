#pragma once
// Where the passwords of the mail accounts and of the agenda's calendars are kept: in the
// desktop's keyring when a Secret Service runs, else in the settings file (mode 0600). One
// keeper for the run, made by the main window and handed down with the services.
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <functional>

struct Config;
class IKeyring;

class PasswordKeeper : public QObject {
  Q_OBJECT
 public:
  // None (or a keyring with no Secret Service behind it) keeps the passwords in the file.
  explicit PasswordKeeper(IKeyring* keyring, QObject* parent = nullptr);

  // True when passwords go to the keyring.
  bool InKeyring() const;
  // The pages' one line on where the keeper (none: the file) keeps the passwords.
  static QString StorageNote(const PasswordKeeper* keeper);

  // After loading: asks the keyring, without waiting, for the passwords the file did not
  // hold; each fills its account's or calendar's empty password in `config` when it arrives
  // (the record must outlive the keeper).
  void Fetch(Config& config);
  // Passwords asked for and not yet answered: timed mail checks and the agenda's fetches
  // wait for them.
  bool Pending() const { return pending_ > 0; }

  // Before the settings are saved: gives every account and calendar a keyring entry of its
  // own, and removes the entries of those that are gone.
  void GiveKeys(Config& config);
  // A password and its entry's key as the settings file keeps them (changing the copies it
  // is given). The password is emptied once the keyring holds it; until then the file keeps
  // it, and a copy is on its way to the keyring (when every copy has arrived, requestSave is
  // called once, so that a save takes them out of the file).
  void ForFile(QString& password, QString& key, const std::function<void()>& requestSave);

 signals:
  // Passwords from the keyring have filled accounts or calendars.
  void arrived();

 private:
  void Keys(Config& config, bool loaded);
  void Forget(const QString& key);
  void Store(const QString& key, const QString& password,
             const std::function<void()>& requestSave);
  void Ask(const QString& entry, const QString& owner);

  IKeyring* keyring_;
  Config* config_ = nullptr;           // filled by the answers
  QHash<QString, QString> inKeyring_;  // what the keyring is known to hold, by key
  QSet<QString> known_;                // keys that may have an entry there
  // Accounts given a key of their own at load because another account had their entry:
  // that entry, read in place of theirs until theirs holds a password.
  QHash<QString, QString> sharedEntry_;
  QSet<QString> writing_;     // key + '\n' + password on its way there
  bool landed_ = false;       // a write has arrived since the last follow-up save
  bool followingUp_ = false;  // saving because writes arrived: that save starts none
  int pending_ = 0;           // reads not yet answered
};
