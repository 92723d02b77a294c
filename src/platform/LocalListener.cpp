#include "platform/LocalListener.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QFile>
#include <QFileSystemWatcher>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
// How long accepting rests after running out of descriptors: long enough not to spin,
// short enough that a waiting client (which tries for several seconds) gets through.
constexpr int kPauseMs = 250;
constexpr int kBacklog = 64;

QString ErrnoText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }
}  // namespace

LocalListener::LocalListener(QObject* parent) : QObject(parent) {
  pause_ = new QTimer(this);
  pause_->setSingleShot(true);
  pause_->setInterval(kPauseMs);
  connect(pause_, &QTimer::timeout, this, [this] {
    if (notifier_) notifier_->setEnabled(true);
  });
}

LocalListener::~LocalListener() { Close(); }

bool LocalListener::Listen(const QString& path, QString* error) {
  Close();
  const QByteArray native = QFile::encodeName(path);
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  if (native.size() >= qsizetype(sizeof address.sun_path)) {
    if (error) *error = QStringLiteral("the path is too long for a socket: %1").arg(path);
    return false;
  }
  std::memcpy(address.sun_path, native.constData(), native.size());

  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    if (error) *error = ErrnoText(errno);
    return false;
  }
  ::unlink(native.constData());
  // Made for this user alone from the start: no moment in which others could connect.
  const mode_t mask = ::umask(077);
  const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  const int bindError = errno;
  ::umask(mask);
  if (!bound || ::listen(fd, kBacklog) != 0) {
    if (error) *error = ErrnoText(bound ? errno : bindError);
    ::close(fd);
    return false;
  }
  path_ = path;
  fd_ = fd;
  notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &LocalListener::Accept);
  // Touched once while descriptors are plenty: a checking build's type check of the object
  // needs a descriptor of its own the first time, and the pause comes when there are none.
  notifier_->setEnabled(true);
  // inotify, so it costs nothing while idle.
  watcher_ = new QFileSystemWatcher(QStringList{path_}, this);
  connect(watcher_, &QFileSystemWatcher::fileChanged, this, [this] {
    if (!QFile::exists(path_)) Relisten();
  });
  return true;
}

void LocalListener::Close() {
  // Close may run inside the notifier's or the watcher's own signal: they go later.
  for (QObject* helper : {static_cast<QObject*>(notifier_), static_cast<QObject*>(watcher_)}) {
    if (!helper) continue;
    helper->disconnect(this);
    helper->deleteLater();
  }
  if (notifier_) notifier_->setEnabled(false);
  notifier_ = nullptr;
  watcher_ = nullptr;
  pause_->stop();
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
    ::unlink(QFile::encodeName(path_).constData());
  }
}

void LocalListener::Accept() {
  for (;;) {
    const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (client >= 0) {
      toldPaused_ = false;
      auto* socket = new QLocalSocket(this);
      if (!socket->setSocketDescriptor(client)) {
        ::close(client);
        delete socket;
        continue;
      }
      emit connection(socket);
      continue;
    }
    const int error = errno;
    if (error == EINTR || error == ECONNABORTED) continue;
    if (error == EAGAIN || error == EWOULDBLOCK) return;
    if (error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM) {
      // The connection waits in the queue; try again once something has been closed.
      if (!toldPaused_) {
        toldPaused_ = true;
        Warn(QStringLiteral("could not take a request on %1 (%2); trying again.")
                 .arg(path_, ErrnoText(error)));
      }
      notifier_->setEnabled(false);
      pause_->start();
      return;
    }
    Warn(QStringLiteral("the socket %1 failed (%2); listening anew.").arg(path_, ErrnoText(error)));
    Relisten();
    return;
  }
}

void LocalListener::Relisten() {
  const QString path = path_;
  QString error;
  if (Listen(path, &error)) {
    Warn(QStringLiteral("listening on %1 again.").arg(path));
  } else {
    Warn(QStringLiteral("cannot listen on %1 again: %2").arg(path, error));
  }
}

void LocalListener::Warn(const QString& text) {
  std::fprintf(stderr, "Quillatorne: %s\n", qPrintable(text));
  std::fflush(stderr);
}
