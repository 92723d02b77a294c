#include "app/SingleInstance.h"

#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>

namespace {
const QByteArray kShow = "show\n";
const QByteArray kAnswer = "ok\n";
}  // namespace

QString InstanceDirectory() {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir())
    return QDir::cleanPath(runtime);
  const QString dir = QDir::tempPath() + QStringLiteral("/quillatorne-%1").arg(::getuid());
  QDir().mkpath(dir);
  QFile::setPermissions(dir,
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  return dir;
}

SingleInstance::SingleInstance(const QString& dir)
    : dir_(dir.isEmpty() ? InstanceDirectory() : dir) {}

SingleInstance::~SingleInstance() {
  if (server_) server_->close();
  // The lock goes last, so a newcomer never finds the lock free and our socket still there.
  server_.reset();
  lock_.reset();
}

bool SingleInstance::Acquire() {
  lock_ = std::make_unique<QLockFile>(lockPath());
  // Only a dead owner makes the lock stale, however old it is.
  lock_->setStaleLockTime(0);
  if (!lock_->tryLock(0)) {
    if (lock_->error() == QLockFile::LockFailedError) return false;
    // The folder is not writable: run without the guard rather than not at all.
    return true;
  }
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  // We hold the lock, so a socket file still there belongs to a run that has ended.
  QLocalServer::removeServer(socketPath());
  connect(server_.get(), &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
  server_->listen(socketPath());
  return true;
}

void SingleInstance::OnConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      if (!socket->canReadLine()) return;
      const QByteArray line = socket->readLine(64);
      if (line == kShow) {
        socket->write(kAnswer);
        socket->flush();
        emit showRequested();
      }
      socket->disconnectFromServer();
    });
  }
}

bool SingleInstance::NotifyRunning() {
  // The first copy may still be starting and not listening yet: try for a few seconds.
  for (int attempt = 0; attempt < 25; ++attempt) {
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (socket.waitForConnected(1000)) {
      socket.write(kShow);
      if (!socket.waitForBytesWritten(2000)) return false;
      QByteArray reply;
      while (!reply.contains('\n') && socket.waitForReadyRead(5000)) reply += socket.readAll();
      return reply == kAnswer;
    }
    QThread::msleep(200);
  }
  return false;
}
