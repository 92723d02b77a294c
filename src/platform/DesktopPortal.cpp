#include "platform/DesktopPortal.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QObject>
#include <QThread>
#include <QTimer>
#include <QVariantMap>
#include <atomic>
#include <memory>

namespace {
const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kWallpaper = QStringLiteral("org.freedesktop.portal.Wallpaper");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");

// A token of our own for the request, so its object path is known before the call is made.
QString NextHandleToken() {
  static std::atomic<unsigned> counter{0};
  return QStringLiteral("quillatorne%1_%2").arg(::getpid()).arg(++counter);
}

// Where the portal puts the request: the sender's unique name without ':', dots as '_'.
QString RequestPath(const QString& uniqueName, const QString& token) {
  QString sender = uniqueName;
  if (sender.startsWith(QLatin1Char(':'))) sender.remove(0, 1);
  sender.replace(QLatin1Char('.'), QLatin1Char('_'));
  return kPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

QString Seconds(int ms) { return QString::number((ms + 999) / 1000); }

QString CallFailure(const QDBusError& error, int timeoutMs) {
  switch (error.type()) {
    case QDBusError::ServiceUnknown:
      return QStringLiteral("no desktop portal runs on the session bus");
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownMethod:
    case QDBusError::UnknownObject:
      return QStringLiteral(
          "the desktop portal has no Wallpaper interface here (its backend for this desktop "
          "cannot set wallpapers)");
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
      return QStringLiteral("the desktop portal did not answer within %1 seconds")
          .arg(Seconds(timeoutMs));
    case QDBusError::Disconnected:
    case QDBusError::NoServer:
      return QStringLiteral("there is no session bus to reach the desktop portal on");
    default:
      return QStringLiteral("the desktop portal failed: %1").arg(error.message());
  }
}
}  // namespace

// Receives the request's Response signal on the exchange's thread.
class PortalRequest : public QObject {
  Q_OBJECT
 public:
  bool answered = false;
  uint code = 2;

 signals:
  void Done();

 public slots:
  void Response(uint responseCode, const QVariantMap&) {
    if (answered) return;
    answered = true;
    code = responseCode;
    emit Done();
  }
};

namespace {
bool Exchange(QDBusConnection bus, const QString& file, int timeoutMs, QString* error) {
  QElapsedTimer clock;
  clock.start();
  if (!bus.isConnected()) {
    *error = QStringLiteral("there is no session bus to reach the desktop portal on");
    return false;
  }
  const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = QStringLiteral("could not open %1 for the desktop portal").arg(file);
    return false;
  }
  QDBusUnixFileDescriptor picture(fd);  // a duplicate, which the message carries
  ::close(fd);

  // Listening before asking: a portal may answer before its reply to the call arrives.
  const QString token = NextHandleToken();
  const QString expected = RequestPath(bus.baseService(), token);
  PortalRequest request;
  QStringList listened;
  auto listen = [&](const QString& path) {
    if (bus.connect(QString(), path, kRequest, QStringLiteral("Response"), &request,
                    SLOT(Response(uint, QVariantMap))))
      listened << path;
  };
  listen(expected);

  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kWallpaper,
                                                     QStringLiteral("SetWallpaperFile"));
  const QVariantMap options{{QStringLiteral("handle_token"), token},
                            {QStringLiteral("show-preview"), false},
                            {QStringLiteral("set-on"), QStringLiteral("background")}};
  call << QString() << QVariant::fromValue(picture) << options;
  const QDBusMessage reply = bus.call(call, QDBus::Block, timeoutMs);

  auto stopListening = [&] {
    for (const QString& path : listened)
      bus.disconnect(QString(), path, kRequest, QStringLiteral("Response"), &request,
                     SLOT(Response(uint, QVariantMap)));
  };
  if (reply.type() != QDBusMessage::ReplyMessage) {
    stopListening();
    *error = CallFailure(QDBusError(reply), timeoutMs);
    return false;
  }
  const QString handle = reply.arguments().value(0).value<QDBusObjectPath>().path();
  // Portals older than the handle token chose the path themselves.
  if (!handle.isEmpty() && handle != expected) listen(handle);

  if (!request.answered) {
    const qint64 left = timeoutMs - clock.elapsed();
    if (left > 0) {
      QEventLoop loop;
      QObject::connect(&request, &PortalRequest::Done, &loop, &QEventLoop::quit);
      QTimer::singleShot(static_cast<int>(left), &loop, &QEventLoop::quit);
      loop.exec();
    }
  }
  stopListening();
  if (!request.answered) {
    // Withdrawn, so that the picture does not change behind the user's back later on.
    if (!handle.isEmpty())
      bus.send(QDBusMessage::createMethodCall(kService, handle, kRequest, QStringLiteral("Close")));
    *error = QStringLiteral("the desktop portal did not answer within %1 seconds")
                 .arg(Seconds(timeoutMs));
    return false;
  }
  switch (request.code) {
    case 0:
      return true;
    case 1:
      *error = QStringLiteral("the wallpaper change was cancelled at the desktop portal");
      return false;
    default:
      *error = QStringLiteral(
          "the desktop portal refused to set the wallpaper (the desktop may not allow "
          "applications to set backgrounds)");
      return false;
  }
}
}  // namespace

bool SetWallpaperThroughPortal(const QDBusConnection& bus, const QString& file, int timeoutMs,
                               QString* error) {
  // The answer comes as a signal, which needs an event loop; a thread of its own keeps the
  // caller's loop (and everything it would run meanwhile) out of the wait.
  bool ok = false;
  QString reason;
  std::unique_ptr<QThread> thread(
      QThread::create([&] { ok = Exchange(bus, file, timeoutMs, &reason); }));
  thread->start();
  thread->wait();  // bounded: every step of the exchange has its share of timeoutMs
  if (!ok && error) *error = reason;
  return ok;
}

#include "DesktopPortal.moc"
