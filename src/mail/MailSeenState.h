#pragma once
// What "Count only new messages" has counted already: per account, the identities of the
// messages the last successful check saw (POP3 UIDL, IMAP unseen UIDs). A small file beside
// the settings, not the settings themselves: it changes on every check.
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

class MailSeenState {
 public:
  // <config folder>/mail-seen.json
  static QString DefaultPath();
  explicit MailSeenState(QString path) : path_(std::move(path)) {}

  // A missing or damaged file reads as nothing seen.
  void Load();
  // Replaces the file whole; false when it could not be written.
  bool Save() const;

  // The ids not counted before, in the order given.
  QStringList NewOf(const QString& account, const QStringList& ids) const;
  // From now on `ids` are the account's counted ones (those gone from the server are
  // forgotten).
  void Remember(const QString& account, const QStringList& ids);
  // Both at once.
  QStringList TakeNew(const QString& account, const QStringList& ids);

 private:
  QString path_;
  QHash<QString, QSet<QString>> seen_;
};
