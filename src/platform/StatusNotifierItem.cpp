#include "platform/StatusNotifierItem.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QImage>
#include <QMenu>
#include <QtEndian>
#include <atomic>

#include "platform/DBusMenuExporter.h"

namespace {
constexpr const char* kItemPath = "/StatusNotifierItem";
constexpr const char* kMenuPath = "/MenuBar";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
constexpr const char* kWatcherInterface = "org.kde.StatusNotifierWatcher";

QString NextServiceName() {
  static std::atomic<int> count{0};
  return QStringLiteral("org.kde.StatusNotifierItem-%1-%2")
      .arg(QCoreApplication::applicationPid())
      .arg(++count);
}
}  // namespace

StatusNotifierItem::StatusNotifierItem(const QDBusConnection& bus, const QString& id,
                                       QObject* parent)
    : QObject(parent), bus_(bus), id_(id), service_(NextServiceName()) {
  RegisterTrayDBusTypes();
  watcher_ = new QDBusServiceWatcher(QString::fromLatin1(kWatcherService), bus_,
                                     QDBusServiceWatcher::WatchForOwnerChange, this);
  connect(watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
          [this](const QString&, const QString&, const QString& newOwner) {
            WatcherChanged(newOwner);
          });
}

StatusNotifierItem::~StatusNotifierItem() { Hide(); }

SniPixmapList StatusNotifierItem::Pixmaps(const QIcon& icon) {
  SniPixmapList out;
  for (int size : {16, 22, 24, 32, 48}) {
    QImage image = icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
    if (image.isNull()) continue;
    if (image.width() != size || image.height() != size)
      image = image.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QByteArray bytes(static_cast<qsizetype>(size) * size * 4, Qt::Uninitialized);
    auto* out32 = reinterpret_cast<quint32*>(bytes.data());
    for (int y = 0; y < size; ++y) {
      const auto* line = reinterpret_cast<const quint32*>(image.constScanLine(y));
      for (int x = 0; x < size; ++x) out32[y * size + x] = qToBigEndian(line[x]);
    }
    out << SniPixmap{size, size, bytes};
  }
  return out;
}

void StatusNotifierItem::setIcon(const QIcon& icon) {
  pixmaps_ = Pixmaps(icon);
  if (shown_) emit NewIcon();
}

void StatusNotifierItem::setAttentionIcon(const QIcon& icon) {
  attentionPixmaps_ = Pixmaps(icon);
  if (shown_) emit NewAttentionIcon();
}

void StatusNotifierItem::setToolTip(const QString& text) {
  if (toolTip_ == text) return;
  toolTip_ = text;
  if (shown_) emit NewToolTip();
}

void StatusNotifierItem::setMenu(QMenu* menu) {
  menu_ = menu;
  delete exporter_;
  exporter_ = menu ? new DBusMenuExporter(menu, this) : nullptr;
  if (shown_ && exporter_)
    bus_.registerObject(QString::fromLatin1(kMenuPath), exporter_,
                        QDBusConnection::ExportAllContents);
}

QString StatusNotifierItem::Status() const {
  return attention_ ? QStringLiteral("NeedsAttention") : QStringLiteral("Active");
}

void StatusNotifierItem::SetNeedsAttention(bool on) {
  if (attention_ == on) return;
  attention_ = on;
  if (shown_) emit NewStatus(Status());
}

QDBusObjectPath StatusNotifierItem::Menu() const {
  return QDBusObjectPath(exporter_ ? QString::fromLatin1(kMenuPath) : QStringLiteral("/"));
}

bool StatusNotifierItem::WatcherPresent() const {
  if (!bus_.isConnected() || !bus_.interface()) return false;
  return bus_.interface()->isServiceRegistered(QString::fromLatin1(kWatcherService));
}

void StatusNotifierItem::Show() {
  if (shown_ || !bus_.isConnected()) return;
  bus_.registerObject(QString::fromLatin1(kItemPath), this, QDBusConnection::ExportAllContents);
  if (exporter_)
    bus_.registerObject(QString::fromLatin1(kMenuPath), exporter_,
                        QDBusConnection::ExportAllContents);
  bus_.registerService(service_);
  shown_ = true;
  if (WatcherPresent()) Register();
}

void StatusNotifierItem::Hide() {
  if (!shown_) return;
  shown_ = false;
  // The watcher and the panel see the name go and drop the icon.
  bus_.unregisterService(service_);
  bus_.unregisterObject(QString::fromLatin1(kItemPath));
  bus_.unregisterObject(QString::fromLatin1(kMenuPath));
  if (registered_) {
    registered_ = false;
    emit registeredChanged(false);
  }
}

void StatusNotifierItem::Register() {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QString::fromLatin1(kWatcherService), QString::fromLatin1(kWatcherPath),
      QString::fromLatin1(kWatcherInterface), QStringLiteral("RegisterStatusNotifierItem"));
  call << service_;
  auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
  connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
    w->deleteLater();
    const bool ok = !w->isError();
    if (!shown_ || ok == registered_) return;
    registered_ = ok;
    emit registeredChanged(ok);
  });
}

void StatusNotifierItem::WatcherChanged(const QString& newOwner) {
  if (newOwner.isEmpty()) {
    // The panel went away (a restart, say); the next watcher gets the item again.
    if (registered_) {
      registered_ = false;
      emit registeredChanged(false);
    }
    return;
  }
  if (shown_) Register();
}

void StatusNotifierItem::Activate(int x, int y) { emit activated(x, y); }
void StatusNotifierItem::SecondaryActivate(int x, int y) { emit secondaryActivated(x, y); }
void StatusNotifierItem::ContextMenu(int x, int y) { emit contextMenuRequested(x, y); }
void StatusNotifierItem::Scroll(int, const QString&) {}

void StatusNotifierItem::ProvideXdgActivationToken(const QString& token) {
  // Qt's Wayland plugin takes the token from here when the window next asks to be active.
  if (!token.isEmpty()) qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
}
