#pragma once
// The program's icon in whatever tray the desktop has: a StatusNotifierItem where a
// StatusNotifierWatcher runs (the panel draws the exported menu; a left click is Activate),
// else Qt's XEmbed icon on a classic X11 panel. Whichever comes up first, or later (a panel
// started after the program, or restarted), gets the icon.
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>

class QMenu;
class QTimer;
class StatusNotifierItem;

class DesktopTrayIcon : public QObject {
  Q_OBJECT

 public:
  // id names the icon to the panel. busAddress empty: the session bus.
  DesktopTrayIcon(const QString& id, QObject* parent = nullptr, const QString& busAddress = {});
  ~DesktopTrayIcon() override;

  void setIcon(const QIcon& icon);
  QIcon icon() const { return icon_; }
  void setAttentionIcon(const QIcon& icon);
  void setToolTip(const QString& text);
  QString toolTip() const { return toolTip_; }
  // Exported to panels that draw menus themselves; a classic tray leaves the menu to the
  // owner's right-click handler.
  void setMenu(QMenu* menu);
  // The panel marks the icon (StatusNotifierItem status NeedsAttention, the attention icon);
  // on a classic tray, which has no such state, the icon blinks between the two pictures.
  void SetNeedsAttention(bool on);
  bool needsAttention() const;

  void show();
  void hide();
  // In a tray now.
  bool isVisible() const;
  // Shown, but no tray has taken the icon yet.
  bool waitingForTray() const { return wanted_ && !isVisible(); }
  // The panel's single click (Activate) is the only click there is: no double click.
  bool activateIsTheOnlyClick() const;
  // How long after show() with no tray at all noTrayFound() comes (once).
  void setNoTrayGraceMs(int ms);
  StatusNotifierItem* statusNotifierItem() const { return sni_; }
  // Whether a menu of ours may pop up at the mouse: not on Wayland, where a popup needs a
  // parent surface and the panel shows the exported menu instead.
  static bool CanPopUpMenus();

 Q_SIGNALS:
  // As QSystemTrayIcon's; a panel's Activate comes as Trigger.
  void activated(QSystemTrayIcon::ActivationReason reason);
  void noTrayFound();

 private:
  void Place();
  bool ClassicTrayAvailable();
  // Starts or stops the classic icon's blinking to match the attention state.
  void Blink();
  // The picture the classic icon shows now.
  QIcon ClassicPicture() const;

  QString connectionName_;
  StatusNotifierItem* sni_ = nullptr;
  QSystemTrayIcon* classic_ = nullptr;
  QPointer<QMenu> menu_;
  QIcon icon_;
  QIcon attentionIcon_;
  QString toolTip_;
  QTimer* retry_ = nullptr;
  int looks_ = 0;  // looks for a classic tray that found none
  QTimer* grace_ = nullptr;
  QTimer* blink_ = nullptr;  // runs only while a classic icon asks for attention
  bool blinkOn_ = false;  // the classic icon shows the attention picture
  bool wanted_ = false;
  bool toldNoTray_ = false;
};
