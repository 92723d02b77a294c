#include "platform/DesktopNotifications.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QVariantMap>

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

QDBusMessage Call(const QString& method) {
  return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

// The body as a server that reads markup shows it: every character the user typed.
QString MarkupSafe(const QString& text) { return text.toHtmlEscaped(); }
}  // namespace

DesktopNotifications::DesktopNotifications(QObject* parent) : INotifications(parent) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;  // no session bus: nothing to notify
  watcher_ = new QDBusServiceWatcher(
      kService, bus,
      QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration,
      this);
  connect(watcher_, &QDBusServiceWatcher::serviceRegistered, this, [this] {
    SetAvailable(true);
    AskCapabilities();
  });
  connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
    ServerGone();
    SetAvailable(activatable_);
  });
  bus.connect(QString(), kPath, kInterface, QStringLiteral("ActionInvoked"), this,
              SLOT(OnActionInvoked(uint, QString)));
  bus.connect(QString(), kPath, kInterface, QStringLiteral("NotificationClosed"), this,
              SLOT(OnNotificationClosed(uint, uint)));
  // A server that the bus starts on the first call (mako, dunst, xfce4-notifyd) counts too.
  if (QDBusConnectionInterface* daemon = bus.interface()) {
    const QDBusReply<QStringList> activatable = daemon->activatableServiceNames();
    activatable_ = activatable.isValid() && activatable.value().contains(kService);
    available_ = daemon->isServiceRegistered(kService).value() || activatable_;
  }
  if (available_) AskCapabilities();
}

DesktopNotifications::~DesktopNotifications() {
  // Reminders answered in the program must not be left behind in the notification centre.
  for (auto it = sent_.cbegin(); it != sent_.cend(); ++it) {
    if (it->id == 0) continue;
    QDBusMessage close = Call(QStringLiteral("CloseNotification"));
    close << it->id;
    QDBusConnection::sessionBus().call(close, QDBus::NoBlock);
  }
}

void DesktopNotifications::SetAvailable(bool available) {
  if (available == available_) return;
  available_ = available;
  emit AvailableChanged(available);
}

void DesktopNotifications::AskCapabilities() {
  auto* pending = new QDBusPendingCallWatcher(
      QDBusConnection::sessionBus().asyncCall(Call(QStringLiteral("GetCapabilities"))), this);
  connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
    const QDBusPendingReply<QStringList> reply = *w;
    if (reply.isValid()) markup_ = reply.value().contains(QStringLiteral("body-markup"));
    w->deleteLater();
  });
}

quint64 DesktopNotifications::Notify(const DesktopNotification& n) {
  if (!available_) return 0;
  QStringList actions;
  for (const DesktopNotification::Action& a : n.actions) actions << a.key << a.label;
  QVariantMap hints;
  hints.insert(QStringLiteral("urgency"), QVariant::fromValue(static_cast<uchar>(n.urgency)));
  // Lets the server show the program's name and icon and group its notifications.
  hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("quillatorne"));
  if (!n.category.isEmpty()) hints.insert(QStringLiteral("category"), n.category);
  QDBusMessage notify = Call(QStringLiteral("Notify"));
  const QString app = QCoreApplication::applicationName();
  notify << (app.isEmpty() ? QStringLiteral("Quillatorne") : app) << uint(0)
         << (n.icon.isEmpty() ? QStringLiteral("quillatorne") : n.icon) << n.summary
         << (markup_ ? MarkupSafe(n.body) : n.body) << actions << hints << qint32(n.timeoutMs);

  const quint64 handle = nextHandle_++;
  sent_.insert(handle, Sent{});
  // Never wait for the server: a hung one must not freeze the program.
  auto* pending =
      new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(notify), this);
  connect(pending, &QDBusPendingCallWatcher::finished, this,
          [this, handle](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            const QDBusPendingReply<uint> reply = *w;
            auto it = sent_.find(handle);
            if (it == sent_.end()) return;
            if (!reply.isValid()) {
              Forget(handle);
              emit Closed(handle);
              return;
            }
            it->id = reply.value();
            if (it->closeAsked) Close(handle);
          });
  return handle;
}

void DesktopNotifications::Close(quint64 handle) {
  auto it = sent_.find(handle);
  if (it == sent_.end()) return;
  if (it->id == 0) {
    it->closeAsked = true;  // done when the server tells its number
    return;
  }
  QDBusMessage close = Call(QStringLiteral("CloseNotification"));
  close << it->id;
  QDBusConnection::sessionBus().call(close, QDBus::NoBlock);
  // The server confirms with NotificationClosed, which forgets it.
}

quint64 DesktopNotifications::HandleOf(uint id) const {
  for (auto it = sent_.cbegin(); it != sent_.cend(); ++it)
    if (it->id == id && id != 0) return it.key();
  return 0;
}

void DesktopNotifications::Forget(quint64 handle) { sent_.remove(handle); }

void DesktopNotifications::OnActionInvoked(uint id, const QString& key) {
  // The signal goes to every program on the bus; only ours are answered.
  if (const quint64 handle = HandleOf(id)) emit ActionInvoked(handle, key);
}

void DesktopNotifications::OnNotificationClosed(uint id, uint) {
  const quint64 handle = HandleOf(id);
  if (!handle) return;
  Forget(handle);
  emit Closed(handle);
}

void DesktopNotifications::ServerGone() {
  const QList<quint64> handles = sent_.keys();
  sent_.clear();
  for (quint64 handle : handles) emit Closed(handle);
}
