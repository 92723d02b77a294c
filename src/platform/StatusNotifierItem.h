#pragma once
// A tray icon as org.kde.StatusNotifierItem on the session bus, with its menu exported through
// com.canonical.dbusmenu: the tray protocol of Plasma, GNOME's AppIndicator extension, waybar
// and most panels today. It registers with the StatusNotifierWatcher whenever one appears,
// so a panel that starts late or restarts gets the icon too.
#include <QDBusConnection>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>

#include "platform/DBusMenuTypes.h"

class DBusMenuExporter;
class QDBusServiceWatcher;
class QMenu;

class StatusNotifierItem : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
  Q_PROPERTY(QString Category READ Category)
  Q_PROPERTY(QString Id READ Id)
  Q_PROPERTY(QString Title READ Title)
  Q_PROPERTY(QString Status READ Status)
  Q_PROPERTY(int WindowId READ WindowId)
  Q_PROPERTY(QString IconThemePath READ IconThemePath)
  Q_PROPERTY(QString IconName READ IconName)
  Q_PROPERTY(SniPixmapList IconPixmap READ IconPixmap)
  Q_PROPERTY(QString OverlayIconName READ OverlayIconName)
  Q_PROPERTY(SniPixmapList OverlayIconPixmap READ OverlayIconPixmap)
  Q_PROPERTY(QString AttentionIconName READ AttentionIconName)
  Q_PROPERTY(SniPixmapList AttentionIconPixmap READ AttentionIconPixmap)
  Q_PROPERTY(QString AttentionMovieName READ AttentionMovieName)
  Q_PROPERTY(SniToolTip ToolTip READ ToolTip)
  Q_PROPERTY(bool ItemIsMenu READ ItemIsMenu)
  Q_PROPERTY(QDBusObjectPath Menu READ Menu)

 public:
  static constexpr const char* kWatcherService = "org.kde.StatusNotifierWatcher";

  // id names the item to the panel ("quillatorne"); the menu is exported when given.
  StatusNotifierItem(const QDBusConnection& bus, const QString& id, QObject* parent = nullptr);
  ~StatusNotifierItem() override;

  void setIcon(const QIcon& icon);
  void setAttentionIcon(const QIcon& icon);
  void setToolTip(const QString& text);
  void setMenu(QMenu* menu);
  void SetNeedsAttention(bool on);
  bool needsAttention() const { return attention_; }

  // Puts the item on the bus and offers it to the watcher, now and whenever one appears.
  void Show();
  // Takes it off the bus; the panel drops the icon.
  void Hide();
  bool shown() const { return shown_; }
  // Whether a watcher has taken the item: the icon is in a panel.
  bool registered() const { return registered_; }
  // Whether a watcher runs on the bus now.
  bool WatcherPresent() const;
  QString serviceName() const { return service_; }
  DBusMenuExporter* menuExporter() const { return exporter_; }

  QString Category() const { return QStringLiteral("ApplicationStatus"); }
  QString Id() const { return id_; }
  QString Title() const { return QStringLiteral("Quillatorne"); }
  QString Status() const;
  int WindowId() const { return 0; }
  QString IconThemePath() const { return {}; }
  QString IconName() const { return {}; }
  SniPixmapList IconPixmap() const { return pixmaps_; }
  QString OverlayIconName() const { return {}; }
  SniPixmapList OverlayIconPixmap() const { return {}; }
  QString AttentionIconName() const { return {}; }
  SniPixmapList AttentionIconPixmap() const { return attentionPixmaps_; }
  QString AttentionMovieName() const { return {}; }
  SniToolTip ToolTip() const { return SniToolTip{{}, {}, toolTip_, {}}; }
  bool ItemIsMenu() const { return false; }
  QDBusObjectPath Menu() const;

  // The pictures of an icon as the protocol carries them.
  static SniPixmapList Pixmaps(const QIcon& icon);

 public Q_SLOTS:
  void Activate(int x, int y);
  void SecondaryActivate(int x, int y);
  void ContextMenu(int x, int y);
  void Scroll(int delta, const QString& orientation);
  // A panel that knows Wayland hands over the token that lets the window come forward.
  void ProvideXdgActivationToken(const QString& token);

 Q_SIGNALS:
  // The protocol's change signals.
  void NewTitle();
  void NewIcon();
  void NewAttentionIcon();
  void NewOverlayIcon();
  void NewToolTip();
  void NewStatus(const QString& status);

  // For the owner.
  void activated(int x, int y);
  void secondaryActivated(int x, int y);
  void contextMenuRequested(int x, int y);
  void registeredChanged(bool registered);

 private:
  void Register();
  void WatcherChanged(const QString& newOwner);

  QDBusConnection bus_;
  QString id_;
  QString service_;
  QString toolTip_;
  SniPixmapList pixmaps_;
  SniPixmapList attentionPixmaps_;
  QPointer<QMenu> menu_;
  DBusMenuExporter* exporter_ = nullptr;
  QDBusServiceWatcher* watcher_ = nullptr;
  bool attention_ = false;
  bool shown_ = false;
  bool registered_ = false;
};
