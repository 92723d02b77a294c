#include "app/SingleInstance.h"

#include <cstdio>

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSysInfo>
#include <QThread>
#include <QTimer>

#include "platform/LocalListener.h"
#include "platform/PrivateFolder.h"

namespace {
const QByteArray kAnswer = "ok\n";
const QByteArray kRefusal = "unknown request\n";
// A request refused for a reason the sender can show: "refused: <reason>".
const QByteArray kRefusedFor = "refused: ";
// A client that says nothing for this long is dropped: idle connections must not pile up
// and use every descriptor the program has.
constexpr int kIdleMs = 5000;
// A request is one short line; anything longer is not ours.
constexpr qint64 kLongestRequest = 64 * 1024;
}  // namespace

QString ChooseInstanceDirectory(const InstancePlaces& places, QString* warning, QString* error) {
  if (!places.runtimeDir.isEmpty() && QDir::isAbsolutePath(places.runtimeDir) &&
      IsPrivateFolder(places.runtimeDir, places.uid))
    return QDir::cleanPath(places.runtimeDir);
  const QString shared =
      QDir::cleanPath(places.tempDir) + QStringLiteral("/quillatorne-%1").arg(places.uid);
  if (MakePrivateFolder(shared, places.uid)) return shared;
  if (MakePrivateFolder(places.fallbackDir, places.uid)) {
    if (warning) {
      *warning = QStringLiteral(
                     "%1 is not a private folder of this user (another user's, open to others "
                     "or a link); using %2 instead.")
                     .arg(shared, places.fallbackDir);
    }
    return QDir::cleanPath(places.fallbackDir);
  }
  if (error) {
    *error = QStringLiteral(
                 "Quillatorne cannot keep its one-instance lock: neither %1 nor %2 is a private "
                 "folder of this user.")
                 .arg(shared, places.fallbackDir);
  }
  return QString();
}

QString InstanceDirectory(QString* warning, QString* error) {
  QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
  if (cache.isEmpty() || !QDir::isAbsolutePath(cache)) cache = QDir::homePath() + "/.cache";
  InstancePlaces places;
  places.runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
  places.tempDir = QDir::tempPath();
  // Named after the machine: a home folder shared between machines holds one per machine.
  places.fallbackDir = cache + QStringLiteral("/Quillatorne/run-") + QSysInfo::machineHostName();
  places.uid = CurrentUserId();
  return ChooseInstanceDirectory(places, warning, error);
}

SingleInstance::SingleInstance(const QString& dir) : dir_(dir) {}

SingleInstance::~SingleInstance() {
  // The lock goes last, so a newcomer never finds the lock free and our socket still there.
  server_.reset();
  lock_.reset();
}

bool SingleInstance::TryLock() {
  lock_ = std::make_unique<QLockFile>(lockPath());
  // Only a dead owner makes the lock stale, however old it is.
  lock_->setStaleLockTime(0);
  if (!lock_->tryLock(0)) {
    if (lock_->error() == QLockFile::LockFailedError) return false;
    // The folder is not writable: run without the guard rather than not at all.
    lock_.reset();
  }
  return true;
}

void SingleInstance::Listen() {
  if (!lock_ || server_) return;
  server_ = std::make_unique<LocalListener>();
  connect(server_.get(), &LocalListener::connection, this, &SingleInstance::OnConnection);
  // We hold the lock, so a socket file still there belongs to a run that has ended.
  QString error;
  if (!server_->Listen(socketPath(), &error)) {
    std::fprintf(stderr, "Quillatorne: cannot listen on %s: %s\n", qPrintable(socketPath()),
                 qPrintable(error));
  }
}

bool SingleInstance::Acquire() {
  if (!TryLock()) return false;
  Listen();
  return true;
}

void SingleInstance::OnConnection(QLocalSocket* socket) {
  connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
  auto* idle = new QTimer(socket);
  idle->setSingleShot(true);
  connect(idle, &QTimer::timeout, socket, [socket] {
    socket->abort();
    socket->deleteLater();
  });
  idle->start(kIdleMs);
  connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
    if (!socket->canReadLine()) {
      if (socket->bytesAvailable() > kLongestRequest) socket->abort();
      return;
    }
    const std::optional<Command> command = DecodeCommand(socket->readLine(kLongestRequest));
    QString problem;
    if (command && check_) problem = check_(*command);
    if (!command) {
      socket->write(kRefusal);
    } else if (!problem.isEmpty()) {
      socket->write(kRefusedFor + problem.simplified().toUtf8() + '\n');
    } else {
      socket->write(kAnswer);
    }
    socket->flush();
    socket->disconnectFromServer();
    if (!command || !problem.isEmpty()) return;
    // Carried out from the event loop: a verb that opens a box or ends the program must
    // not do so inside this socket's handler.
    QMetaObject::invokeMethod(
        this, [this, c = *command] { emit commandReceived(c); }, Qt::QueuedConnection);
  });
}

bool SingleInstance::Send(const Command& command, QString* error, int attempts) {
  QString why;
  // The first copy may still be starting and not listening yet: try for a few seconds.
  for (int attempt = 0; attempt < attempts; ++attempt) {
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (socket.waitForConnected(1000)) {
      socket.write(EncodeCommand(command));
      QByteArray reply;
      if (socket.waitForBytesWritten(2000)) {
        while (!reply.contains('\n') && socket.waitForReadyRead(5000)) reply += socket.readAll();
      }
      if (reply == kAnswer) return true;
      if (reply.startsWith(kRefusedFor)) {
        // The running copy's own words say it all.
        if (error) *error = QString::fromUtf8(reply.mid(kRefusedFor.size()).trimmed());
        return false;
      }
      why = reply.isEmpty() ? QStringLiteral("it did not answer")
                            : QStringLiteral("it answered: ") + QString::fromUtf8(reply.trimmed());
      break;
    }
    why = socket.errorString();
    if (attempt + 1 < attempts) QThread::msleep(200);
  }
  if (error) {
    *error = QStringLiteral(
                 "Quillatorne is running, but the request could not be handed to it "
                 "through %1: %2")
                 .arg(socketPath(), why);
  }
  return false;
}
