#pragma once
// A Secret Service of the test's own: a D-Bus session started with dbus-launch and a
// gnome-keyring-daemon in it, its login keyring created and unlocked with a test password,
// all below a temporary home. While the object lives, this process's session bus is that
// one (set it up before anything in the process touches the session bus).
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class SecretService {
 public:
  SecretService();
  ~SecretService();
  bool ok() const { return error_.isEmpty(); }
  QString error() const { return error_; }
  QString address() const { return address_; }

 private:
  QTemporaryDir dir_;
  qint64 busPid_ = 0;
  QProcess keyring_;
  QString address_;
  QByteArray savedAddress_;
  QString error_;
};
