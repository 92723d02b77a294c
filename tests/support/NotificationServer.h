#pragma once
// The tests' notification server (notification_server.cpp) on a given session bus, and the
// user's hand on it: list what it shows, invoke an action, dismiss.
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>

class NotificationServer {
 public:
  explicit NotificationServer(const QString& busAddress);
  ~NotificationServer();
  bool ok() const { return error_.isEmpty(); }
  QString error() const { return error_; }

  // What is shown now, oldest first: objects with id, summary, body, actions (key, label,
  // ...), urgency, desktopEntry, timeout.
  QJsonArray List() const;
  // The shown notification with that summary; empty when there is none.
  QJsonObject Find(const QString& summary) const;
  bool InvokeAction(uint id, const QString& key) const;
  bool Dismiss(uint id) const;
  // Ends the server, as a notification daemon that quits.
  void Stop();

 private:
  QVariant Call(const QString& method, const QVariantList& args) const;

  QProcess process_;
  QString address_;
  QString connection_;
  QString error_;
};
