#include "mail/MailSeenState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include "platform/Paths.h"

QString MailSeenState::DefaultPath() {
  return ConfigDirectory() + QStringLiteral("/mail-seen.json");
}

void MailSeenState::Load() {
  seen_.clear();
  QFile f(path_);
  if (!f.open(QIODevice::ReadOnly)) return;
  const QJsonObject accounts = QJsonDocument::fromJson(f.readAll()).object();
  for (auto it = accounts.begin(); it != accounts.end(); ++it) {
    QSet<QString>& ids = seen_[it.key()];
    for (const QJsonValue& id : it.value().toArray()) ids.insert(id.toString());
  }
}

bool MailSeenState::Save() const {
  QJsonObject accounts;
  for (auto it = seen_.begin(); it != seen_.end(); ++it) {
    QStringList ids(it.value().begin(), it.value().end());
    ids.sort();  // a stable file for a stable mailbox
    accounts.insert(it.key(), QJsonArray::fromStringList(ids));
  }
  QDir().mkpath(QFileInfo(path_).path());
  QSaveFile f(path_);
  if (!f.open(QIODevice::WriteOnly)) return false;
  // It names servers and users: the owner's alone, like the settings.
  f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  f.write(QJsonDocument(accounts).toJson(QJsonDocument::Compact));
  return f.commit();
}

QStringList MailSeenState::NewOf(const QString& account, const QStringList& ids) const {
  const auto seen = seen_.constFind(account);
  if (seen == seen_.cend()) return ids;
  QStringList fresh;
  for (const QString& id : ids)
    if (!seen->contains(id)) fresh << id;
  return fresh;
}

void MailSeenState::Remember(const QString& account, const QStringList& ids) {
  seen_[account] = QSet<QString>(ids.begin(), ids.end());
}

QStringList MailSeenState::TakeNew(const QString& account, const QStringList& ids) {
  QStringList fresh = NewOf(account, ids);
  Remember(account, ids);
  return fresh;
}
