#include "platform/DesktopTrayIcon.h"

#include <QDBusConnection>
#include <QGuiApplication>
#include <QMenu>
#include <QTimer>
#include <atomic>

#include "platform/StatusNotifierItem.h"

namespace {
// A classic tray cannot announce itself: look again now and then, not in a loop. While a
// session starts its panel may come up after us: every few seconds for the first minute,
// then (a desktop without one, say) every half minute, which costs far less than the tick.
constexpr int kClassicRetryMs = 3000;
constexpr int kBlinkMs = 500;  // a classic icon asking for attention changes picture
constexpr int kQuickLooks = 20;
constexpr int kSlowRetryMs = 30000;
constexpr int kNoTrayGraceMs = 15000;

QString NextConnectionName() {
  static std::atomic<int> count{0};
  return QStringLiteral("quillatorne-tray-%1").arg(++count);
}

}  // namespace

bool DesktopTrayIcon::CanPopUpMenus() {
  return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

DesktopTrayIcon::DesktopTrayIcon(const QString& id, QObject* parent, const QString& busAddress)
    : QObject(parent), connectionName_(NextConnectionName()) {
  // A connection of its own: the item's object path is the same for every item, so two icons
  // of one program cannot share one.
  const QDBusConnection bus =
      busAddress.isEmpty()
          ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName_)
          : QDBusConnection::connectToBus(busAddress, connectionName_);
  sni_ = new StatusNotifierItem(bus, id, this);
  connect(sni_, &StatusNotifierItem::activated, this,
          [this] { emit activated(QSystemTrayIcon::Trigger); });
  connect(sni_, &StatusNotifierItem::secondaryActivated, this,
          [this] { emit activated(QSystemTrayIcon::MiddleClick); });
  connect(sni_, &StatusNotifierItem::contextMenuRequested, this, [this] {
    // On Wayland a menu needs a parent surface we do not have; the panel shows the exported
    // one instead.
    if (CanPopUpMenus()) emit activated(QSystemTrayIcon::Context);
  });
  connect(sni_, &StatusNotifierItem::registeredChanged, this, &DesktopTrayIcon::Place);

  retry_ = new QTimer(this);
  retry_->setInterval(kClassicRetryMs);
  connect(retry_, &QTimer::timeout, this, &DesktopTrayIcon::Place);
  grace_ = new QTimer(this);
  blink_ = new QTimer(this);
  blink_->setInterval(kBlinkMs);
  connect(blink_, &QTimer::timeout, this, [this] {
    blinkOn_ = !blinkOn_;
    classic_->setIcon(ClassicPicture());
  });
  grace_->setSingleShot(true);
  grace_->setInterval(kNoTrayGraceMs);
  connect(grace_, &QTimer::timeout, this, [this] {
    if (!waitingForTray() || toldNoTray_) return;
    toldNoTray_ = true;
    emit noTrayFound();
  });
}

DesktopTrayIcon::~DesktopTrayIcon() {
  delete sni_;
  sni_ = nullptr;
  QDBusConnection::disconnectFromBus(connectionName_);
}

void DesktopTrayIcon::setIcon(const QIcon& icon) {
  icon_ = icon;
  sni_->setIcon(icon);
  if (classic_)
    classic_->setIcon(ClassicPicture());
}

void DesktopTrayIcon::setAttentionIcon(const QIcon& icon) {
  attentionIcon_ = icon;
  sni_->setAttentionIcon(icon);
  Blink();
}

void DesktopTrayIcon::setToolTip(const QString& text) {
  toolTip_ = text;
  sni_->setToolTip(text);
  if (classic_) classic_->setToolTip(text);
}

void DesktopTrayIcon::setMenu(QMenu* menu) {
  menu_ = menu;
  sni_->setMenu(menu);
}

void DesktopTrayIcon::SetNeedsAttention(bool on) {
  sni_->SetNeedsAttention(on);
  Blink();
}

void DesktopTrayIcon::Blink() {
  // A classic tray has no attention state: the icon itself blinks, starting on the attention
  // picture. A panel that reads the status needs no timer of ours.
  const bool wanted = classic_ && needsAttention() && !attentionIcon_.isNull();
  if (wanted && !blink_->isActive()) {
    blinkOn_ = true;
    blink_->start();
  } else if (!wanted) {
    blinkOn_ = false;
    blink_->stop();
  }
  if (classic_) classic_->setIcon(ClassicPicture());
}

QIcon DesktopTrayIcon::ClassicPicture() const {
  return blinkOn_ ? attentionIcon_ : icon_;
}

bool DesktopTrayIcon::needsAttention() const { return sni_->needsAttention(); }

void DesktopTrayIcon::setNoTrayGraceMs(int ms) { grace_->setInterval(ms); }

void DesktopTrayIcon::show() {
  if (wanted_) return;
  wanted_ = true;
  sni_->Show();
  Place();
  if (waitingForTray() && !toldNoTray_) grace_->start();
}

void DesktopTrayIcon::hide() {
  wanted_ = false;
  retry_->stop();
  grace_->stop();
  sni_->Hide();
  if (classic_) classic_->hide();
}

bool DesktopTrayIcon::isVisible() const {
  return wanted_ && (sni_->registered() || (classic_ && classic_->isVisible()));
}

bool DesktopTrayIcon::activateIsTheOnlyClick() const { return sni_->registered(); }

bool DesktopTrayIcon::ClassicTrayAvailable() {
  // Asked only while no watcher runs: Qt decides once per process whether its own icon
  // speaks D-Bus, and the classic icon must not become a second StatusNotifierItem.
  if (sni_->WatcherPresent()) return false;
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
  if (!classic_) {
    classic_ = new QSystemTrayIcon(this);
    classic_->setToolTip(toolTip_);
    connect(classic_, &QSystemTrayIcon::activated, this, &DesktopTrayIcon::activated);
    Blink();
  }
  return true;
}

void DesktopTrayIcon::Place() {
  if (!wanted_) return;
  if (sni_->registered()) {
    retry_->stop();
    if (classic_) classic_->hide();
    return;
  }
  if (ClassicTrayAvailable()) {
    retry_->stop();
    classic_->show();
    return;
  }
  // The watcher's arrival is seen at once; a classic tray only by looking.
  ++looks_;
  retry_->setInterval(looks_ > kQuickLooks ? kSlowRetryMs : kClassicRetryMs);
  if (!retry_->isActive()) retry_->start();
}
