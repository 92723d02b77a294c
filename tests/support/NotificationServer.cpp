#include "support/NotificationServer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QJsonDocument>
#include <QUuid>

#include "support/E2E.h"

NotificationServer::NotificationServer(const QString& busAddress) : address_(busAddress) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  process_.setProcessEnvironment(env);
  process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process_.start(QStringLiteral(QUILLATORNE_NOTIFICATION_SERVER), {});
  QByteArray out;
  const bool ready =
      process_.waitForStarted(10000) && WaitUntil(
                                            [&] {
                                              out += process_.readAllStandardOutput();
                                              return out.contains("ready\n") ||
                                                     process_.state() == QProcess::NotRunning;
                                            },
                                            20000);
  if (!ready || !out.contains("ready\n")) {
    error_ = QStringLiteral("the notification server did not come up");
    return;
  }
  connection_ = QStringLiteral("notification-control-") + QUuid::createUuid().toString();
  if (!QDBusConnection::connectToBus(busAddress, connection_).isConnected())
    error_ = QStringLiteral("cannot reach the private bus");
}

NotificationServer::~NotificationServer() {
  Stop();
  if (!connection_.isEmpty()) QDBusConnection::disconnectFromBus(connection_);
}

void NotificationServer::Stop() {
  if (process_.state() == QProcess::NotRunning) return;
  process_.terminate();
  if (!process_.waitForFinished(5000)) process_.kill();
  process_.waitForFinished(2000);
}

QVariant NotificationServer::Call(const QString& method, const QVariantList& args) const {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.quillatorne.TestNotifications"), QStringLiteral("/Control"),
      QStringLiteral("org.quillatorne.TestNotifications"), method);
  call.setArguments(args);
  const QDBusMessage reply = QDBusConnection(connection_).call(call, QDBus::Block, 10000);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
  return reply.arguments().first();
}

QJsonArray NotificationServer::List() const {
  return QJsonDocument::fromJson(Call(QStringLiteral("List"), {}).toString().toUtf8()).array();
}

QJsonObject NotificationServer::Find(const QString& summary) const {
  for (const QJsonValue& v : List())
    if (v.toObject().value(QStringLiteral("summary")).toString() == summary) return v.toObject();
  return {};
}

bool NotificationServer::InvokeAction(uint id, const QString& key) const {
  return Call(QStringLiteral("InvokeAction"), {id, key}).toBool();
}

bool NotificationServer::Dismiss(uint id) const {
  return Call(QStringLiteral("Dismiss"), {id}).toBool();
}
