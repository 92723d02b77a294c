// A notification server of the tests' own, on the session bus it is started on: it keeps
// what it is sent and lets the test act as the user through a control object
// (org.quillatorne.TestNotifications at /Control): invoke an action, dismiss, list.
// Prints "ready" once both names are on the bus.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QVariantMap>
#include <cstdio>

namespace {
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

struct Shown {
  QString app, icon, summary, body;
  QStringList actions;
  int urgency = 1;
  QString desktopEntry;
  int timeout = -1;
};

QMap<uint, Shown>& Notifications() {
  static QMap<uint, Shown> shown;
  return shown;
}

void EmitSignal(const QString& name, const QVariantList& args) {
  QDBusMessage signal = QDBusMessage::createSignal(kPath, kInterface, name);
  signal.setArguments(args);
  QDBusConnection::sessionBus().send(signal);
}

void CloseWith(uint id, uint reason) {
  if (Notifications().remove(id) == 0) return;
  EmitSignal(QStringLiteral("NotificationClosed"), {id, reason});
}
}  // namespace

class Server : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public slots:
  uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
              const QString& body, const QStringList& actions, const QVariantMap& hints,
              int timeout) {
    const uint id = replaces && Notifications().contains(replaces) ? replaces : next_++;
    Shown s{app, icon, summary, body, actions, 1, {}, timeout};
    if (hints.contains(QStringLiteral("urgency")))
      s.urgency = hints.value(QStringLiteral("urgency")).toInt();
    s.desktopEntry = hints.value(QStringLiteral("desktop-entry")).toString();
    Notifications()[id] = s;
    std::printf("notify %u %s\n", id, qPrintable(summary));
    std::fflush(stdout);
    return id;
  }
  void CloseNotification(uint id) { CloseWith(id, 3); }
  QStringList GetCapabilities() {
    return {QStringLiteral("actions"), QStringLiteral("body"), QStringLiteral("body-markup")};
  }
  QString GetServerInformation(QString& vendor, QString& version, QString& specVersion) {
    vendor = QStringLiteral("Quillatorne tests");
    version = QStringLiteral("1");
    specVersion = QStringLiteral("1.2");
    return QStringLiteral("test-notification-server");
  }

 private:
  uint next_ = 1;
};

class Control : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.quillatorne.TestNotifications")

 public slots:
  // As a click on the action's button: the action, then the notification goes.
  bool InvokeAction(uint id, const QString& key) {
    if (!Notifications().contains(id)) return false;
    EmitSignal(QStringLiteral("ActionInvoked"), {id, key});
    CloseWith(id, 2);
    return true;
  }
  bool Dismiss(uint id) {
    if (!Notifications().contains(id)) return false;
    CloseWith(id, 2);
    return true;
  }
  // What is on screen now, as a JSON array.
  QString List() {
    QJsonArray list;
    for (auto it = Notifications().cbegin(); it != Notifications().cend(); ++it) {
      list.append(QJsonObject{{"id", static_cast<qint64>(it.key())},
                              {"app", it->app},
                              {"icon", it->icon},
                              {"summary", it->summary},
                              {"body", it->body},
                              {"actions", QJsonArray::fromStringList(it->actions)},
                              {"urgency", it->urgency},
                              {"desktopEntry", it->desktopEntry},
                              {"timeout", it->timeout}});
    }
    return QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Compact));
  }
};

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QDBusConnection bus = QDBusConnection::sessionBus();
  Server server;
  Control control;
  if (!bus.registerObject(kPath, &server, QDBusConnection::ExportAllSlots) ||
      !bus.registerObject(QStringLiteral("/Control"), &control, QDBusConnection::ExportAllSlots) ||
      !bus.registerService(QStringLiteral("org.quillatorne.TestNotifications")) ||
      !bus.registerService(QStringLiteral("org.freedesktop.Notifications"))) {
    std::fprintf(stderr, "cannot register on the session bus: %s\n",
                 qPrintable(bus.lastError().message()));
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  return app.exec();
}

#include "notification_server.moc"
