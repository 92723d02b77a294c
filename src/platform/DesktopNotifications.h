#pragma once
// The desktop's notification centre (org.freedesktop.Notifications): GNOME, Plasma, XFCE,
// mako, dunst. Reminders and mail announcements are sent there as well as to their windows.
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

struct DesktopNotification {
  enum Urgency { Low = 0, Normal = 1, Critical = 2 };
  struct Action {
    QString key;
    QString label;
  };
  QString summary;
  QString body;  // plain text; escaped here for servers that read markup
  QString icon;  // an icon name or a file path; empty: the program's own
  QList<Action> actions;
  Urgency urgency = Normal;
  // Milliseconds; -1 the server's choice, 0 never (a critical one stays anyway).
  int timeoutMs = -1;
  QString category;  // "im.received", "email.arrived", ...
};

// A notification is known by a handle of the program's own, valid from the moment it is
// sent: the server's number arrives later, and the program must not wait for it.
class INotifications : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;
  // Whether a notification server is on the bus (or can be started by it).
  virtual bool Available() const = 0;
  // Sends a notification; 0 when there is no server to send it to.
  virtual quint64 Notify(const DesktopNotification& notification) = 0;
  // Withdraws a notification; nothing when it has gone already.
  virtual void Close(quint64 handle) = 0;

 signals:
  // The user chose one of the notification's actions ("default" for a click on its body).
  void ActionInvoked(quint64 handle, const QString& key);
  // The notification went away: expired, dismissed, withdrawn, or its server left.
  void Closed(quint64 handle);
  void AvailableChanged(bool available);
};

// The one on the session bus.
class DesktopNotifications : public INotifications {
  Q_OBJECT

 public:
  explicit DesktopNotifications(QObject* parent = nullptr);
  ~DesktopNotifications() override;
  bool Available() const override { return available_; }
  quint64 Notify(const DesktopNotification& notification) override;
  void Close(quint64 handle) override;
  // Whether the server said it reads markup in the body (then the body is escaped).
  bool ReadsMarkup() const { return markup_; }

 private slots:
  void OnActionInvoked(uint id, const QString& key);
  void OnNotificationClosed(uint id, uint reason);

 private:
  struct Sent {
    uint id = 0;              // the server's; 0 until its answer arrives
    bool closeAsked = false;  // withdrawn before the server answered
  };
  void SetAvailable(bool available);
  void AskCapabilities();
  void ServerGone();
  quint64 HandleOf(uint id) const;
  void Forget(quint64 handle);

  QDBusServiceWatcher* watcher_ = nullptr;
  bool available_ = false;
  bool activatable_ = false;
  bool markup_ = false;
  quint64 nextHandle_ = 1;
  QHash<quint64, Sent> sent_;
};
