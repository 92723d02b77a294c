#pragma once
// A panel of the test's own on a private bus: the StatusNotifierWatcher that items register
// with, and a host that reads an item's properties and menu and clicks them, as waybar or
// Plasma's panel would.
#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <optional>

#include "platform/DBusMenuTypes.h"

class TrayHost : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
  Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ RegisteredStatusNotifierItems)
  Q_PROPERTY(bool IsStatusNotifierHostRegistered READ IsStatusNotifierHostRegistered)
  Q_PROPERTY(int ProtocolVersion READ ProtocolVersion)

 public:
  explicit TrayHost(const QString& busAddress);
  ~TrayHost() override;
  // Takes the watcher's name, as a panel that starts; false when it could not.
  bool Start();
  // Gives it up, as a panel that quits.
  void Stop();

  QStringList RegisteredStatusNotifierItems() const { return items_; }
  bool IsStatusNotifierHostRegistered() const { return true; }
  int ProtocolVersion() const { return 0; }

  // As a panel: an item's property, its left click, its menu and a click on a menu item.
  QVariant ItemProperty(const QString& service, const QString& name) const;
  bool Activate(const QString& service) const;
  std::optional<DBusMenuLayoutItem> Layout(const QString& service) const;
  bool ClickMenuItem(const QString& service, int id) const;
  // The menu item with that label (mnemonics as dbusmenu writes them), or -1.
  static int IdOfLabel(const DBusMenuLayoutItem& menu, const QString& label);

 public Q_SLOTS:
  void RegisterStatusNotifierItem(const QString& service);
  void RegisterStatusNotifierHost(const QString& service);

 Q_SIGNALS:
  void StatusNotifierItemRegistered(const QString& service);
  void StatusNotifierItemUnregistered(const QString& service);
  void StatusNotifierHostRegistered();

 private:
  QString MenuPath(const QString& service) const;

  QString connectionName_;
  QDBusConnection bus_;
  QStringList items_;
  bool started_ = false;
};
