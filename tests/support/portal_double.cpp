// A test double of the XDG desktop portal's Wallpaper interface, on the session bus it is
// started on, for the answers the real portal gives only when something is wrong:
//   portal_double silent  takes the request and never answers it (no Response signal);
//   portal_double mute    never replies to the call at all;
//   portal_double eager   sends the Response (success) before the call's own reply.
// Prints "ready" once it owns org.freedesktop.portal.Desktop, then one line per event:
// "request <path>", "closed <path>".
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QVariantMap>
#include <cstdio>

namespace {
QString Mode;

void Say(const QString& line) {
  std::printf("%s\n", qPrintable(line));
  std::fflush(stdout);
}

QString RequestPath(const QString& sender, const QString& token) {
  QString s = sender.mid(1);
  s.replace(QLatin1Char('.'), QLatin1Char('_'));
  return QStringLiteral("/org/freedesktop/portal/desktop/request/") + s + QLatin1Char('/') + token;
}
}  // namespace

class Request : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Request")
 public:
  Request(const QString& path, QObject* parent) : QObject(parent), path_(path) {}
 public slots:
  void Close() { Say(QStringLiteral("closed ") + path_); }

 private:
  QString path_;
};

class Wallpaper : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Wallpaper")
 public slots:
  QDBusObjectPath SetWallpaperFile(const QString&, const QDBusUnixFileDescriptor&,
                                   const QVariantMap& options, const QDBusMessage& message) {
    const QString path =
        RequestPath(message.service(), options.value(QStringLiteral("handle_token")).toString());
    Say(QStringLiteral("request ") + path);
    if (Mode == QLatin1String("mute")) {
      message.setDelayedReply(true);  // and no reply ever comes
      return {};
    }
    if (Mode == QLatin1String("eager")) {
      QDBusMessage response = QDBusMessage::createTargetedSignal(
          message.service(), path, QStringLiteral("org.freedesktop.portal.Request"),
          QStringLiteral("Response"));
      response << 0u << QVariantMap();
      QDBusConnection::sessionBus().send(response);
    } else {
      QDBusConnection::sessionBus().registerObject(path, new Request(path, this),
                                                   QDBusConnection::ExportAllSlots);
    }
    return QDBusObjectPath(path);
  }
};

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  Mode = app.arguments().value(1);
  QDBusConnection bus = QDBusConnection::sessionBus();
  Wallpaper wallpaper;
  if (!bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &wallpaper,
                          QDBusConnection::ExportAllSlots) ||
      !bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"))) {
    std::fprintf(stderr, "portal_double: cannot take the portal's name\n");
    return 1;
  }
  Say(QStringLiteral("ready"));
  return app.exec();
}

#include "portal_double.moc"
