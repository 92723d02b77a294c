#include "platform/Keyring.h"

#include <qt6keychain/keychain.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>

namespace {
const QString kService = QStringLiteral("Quillatorne");
}

bool SecretServiceKeyring::Available() {
  // Asked once a run: the answer decides where the settings file's passwords go.
  if (available_ < 0) {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    available_ = bus.isConnected() && bus.interface() &&
                 bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.secrets"));
  }
  return available_ == 1;
}

void SecretServiceKeyring::Read(const QString& key,
                                std::function<void(bool found, const QString& password)> done) {
  auto* job = new QKeychain::ReadPasswordJob(kService);
  job->setAutoDelete(true);
  job->setInsecureFallback(false);
  job->setKey(key);
  QObject::connect(job, &QKeychain::Job::finished, [done = std::move(done)](QKeychain::Job* j) {
    done(j->error() == QKeychain::NoError,
         static_cast<QKeychain::ReadPasswordJob*>(j)->textData());
  });
  job->start();
}

void SecretServiceKeyring::Write(const QString& key, const QString& password,
                                 std::function<void(bool ok)> done) {
  auto* job = new QKeychain::WritePasswordJob(kService);
  job->setAutoDelete(true);
  job->setInsecureFallback(false);
  job->setKey(key);
  job->setTextData(password);
  QObject::connect(job, &QKeychain::Job::finished, [done = std::move(done)](QKeychain::Job* j) {
    done(j->error() == QKeychain::NoError);
  });
  job->start();
}

void SecretServiceKeyring::Remove(const QString& key, std::function<void(bool ok)> done) {
  auto* job = new QKeychain::DeletePasswordJob(kService);
  job->setAutoDelete(true);
  job->setInsecureFallback(false);
  job->setKey(key);
  QObject::connect(job, &QKeychain::Job::finished, [done = std::move(done)](QKeychain::Job* j) {
    done(j->error() == QKeychain::NoError || j->error() == QKeychain::EntryNotFound);
  });
  job->start();
}
