#include "support/TrayHost.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <atomic>

namespace {
const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kMenuInterface = QStringLiteral("com.canonical.dbusmenu");

QString NextName() {
  static std::atomic<int> n{0};
  return QStringLiteral("test-tray-host-%1").arg(++n);
}

// Blocking, but with the event loop running: an item in this process answers meanwhile.
QDBusMessage Call(const QDBusConnection& bus, const QString& service, const QString& path,
                  const QString& interface, const QString& method, const QVariantList& args) {
  QDBusMessage m = QDBusMessage::createMethodCall(service, path, interface, method);
  m.setArguments(args);
  return bus.call(m, QDBus::BlockWithGui, 10000);
}
}  // namespace

TrayHost::TrayHost(const QString& busAddress)
    : connectionName_(NextName()),
      bus_(QDBusConnection::connectToBus(busAddress, connectionName_)) {
  RegisterTrayDBusTypes();
}

TrayHost::~TrayHost() {
  Stop();
  QDBusConnection::disconnectFromBus(connectionName_);
}

bool TrayHost::Start() {
  if (started_) return true;
  if (!bus_.isConnected()) return false;
  if (!bus_.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                           QDBusConnection::ExportAllContents))
    return false;
  started_ = bus_.registerService(kWatcher);
  return started_;
}

void TrayHost::Stop() {
  if (!started_) return;
  started_ = false;
  items_.clear();
  bus_.unregisterService(kWatcher);
  bus_.unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
}

void TrayHost::RegisterStatusNotifierItem(const QString& service) {
  if (items_.contains(service)) return;
  items_ << service;
  auto* gone =
      new QDBusServiceWatcher(service, bus_, QDBusServiceWatcher::WatchForUnregistration, this);
  connect(gone, &QDBusServiceWatcher::serviceUnregistered, this, [this, gone](const QString& s) {
    items_.removeAll(s);
    gone->deleteLater();
    emit StatusNotifierItemUnregistered(s);
  });
  emit StatusNotifierItemRegistered(service);
}

void TrayHost::RegisterStatusNotifierHost(const QString&) { emit StatusNotifierHostRegistered(); }

QVariant TrayHost::ItemProperty(const QString& service, const QString& name) const {
  const QDBusMessage reply =
      Call(bus_, service, kItemPath, QStringLiteral("org.freedesktop.DBus.Properties"),
           QStringLiteral("Get"), {QStringLiteral("org.kde.StatusNotifierItem"), name});
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
  return reply.arguments().first().value<QDBusVariant>().variant();
}

bool TrayHost::Activate(const QString& service) const {
  const QDBusMessage reply =
      Call(bus_, service, kItemPath, QStringLiteral("org.kde.StatusNotifierItem"),
           QStringLiteral("Activate"), {0, 0});
  return reply.type() == QDBusMessage::ReplyMessage;
}

QString TrayHost::MenuPath(const QString& service) const {
  return ItemProperty(service, QStringLiteral("Menu")).value<QDBusObjectPath>().path();
}

std::optional<DBusMenuLayoutItem> TrayHost::Layout(const QString& service) const {
  const QString path = MenuPath(service);
  if (path.isEmpty() || path == QLatin1String("/")) return std::nullopt;
  // As libdbusmenu clients do when the menu opens.
  Call(bus_, service, path, kMenuInterface, QStringLiteral("AboutToShow"), {0});
  const QDBusMessage reply = Call(bus_, service, path, kMenuInterface, QStringLiteral("GetLayout"),
                                  {0, -1, QStringList()});
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() < 2)
    return std::nullopt;
  return qdbus_cast<DBusMenuLayoutItem>(reply.arguments().at(1));
}

bool TrayHost::ClickMenuItem(const QString& service, int id) const {
  const QString path = MenuPath(service);
  const QDBusMessage reply =
      Call(bus_, service, path, kMenuInterface, QStringLiteral("Event"),
           {id, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(QVariant(0))), 0u});
  return reply.type() == QDBusMessage::ReplyMessage;
}

int TrayHost::IdOfLabel(const DBusMenuLayoutItem& menu, const QString& label) {
  for (const DBusMenuLayoutItem& item : menu.children)
    if (item.properties.value(QStringLiteral("label")).toString() == label) return item.id;
  return -1;
}
