#include "support/SecretService.h"

#include <signal.h>
#include <sys/prctl.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

namespace {
// True once a name is on the bus: asked with dbus-send, so that this process's own
// connection to the session bus is not made before the caller wants it.
bool NameOnBus(const QProcessEnvironment& env, const QString& name) {
  QProcess p;
  p.setProcessEnvironment(env);
  p.start(QStringLiteral("dbus-send"),
          {"--session", "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
           "org.freedesktop.DBus.NameHasOwner", "string:" + name});
  return p.waitForFinished(10000) && p.readAll().contains("boolean true");
}
}  // namespace

SecretService::SecretService() {
  if (!dir_.isValid()) {
    error_ = QStringLiteral("no temporary folder");
    return;
  }
  const QString home = dir_.path();
  QDir().mkpath(home + "/run");
  QFile::setPermissions(home + "/run", QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("HOME", home);
  env.insert("XDG_RUNTIME_DIR", home + "/run");
  env.insert("XDG_DATA_HOME", home + "/data");
  env.insert("XDG_CONFIG_HOME", home + "/config");
  env.remove("DISPLAY");  // no X11 session for the bus to attach to

  QProcess launch;
  launch.setProcessEnvironment(env);
  launch.start(QStringLiteral("dbus-launch"), {});
  if (!launch.waitForFinished(20000) || launch.exitCode() != 0) {
    error_ = QStringLiteral("dbus-launch failed (package dbus-x11): ") +
             QString::fromLocal8Bit(launch.readAllStandardError());
    return;
  }
  for (const QByteArray& line : launch.readAllStandardOutput().split('\n')) {
    if (line.startsWith("DBUS_SESSION_BUS_ADDRESS="))
      address_ = QString::fromUtf8(line.mid(line.indexOf('=') + 1));
    if (line.startsWith("DBUS_SESSION_BUS_PID=")) busPid_ = line.mid(line.indexOf('=') + 1).toLongLong();
  }
  if (address_.isEmpty() || busPid_ <= 0) {
    error_ = QStringLiteral("dbus-launch gave no address");
    return;
  }
  env.insert("DBUS_SESSION_BUS_ADDRESS", address_);

  keyring_.setProcessEnvironment(env);
  keyring_.setProcessChannelMode(QProcess::MergedChannels);
  keyring_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
  keyring_.start(QStringLiteral("gnome-keyring-daemon"),
                 {"--foreground", "--unlock", "--components=secrets"});
  if (!keyring_.waitForStarted(10000)) {
    error_ = QStringLiteral("gnome-keyring-daemon did not start (package gnome-keyring)");
    return;
  }
  // --unlock reads the password of the login keyring, made with it when missing.
  keyring_.write("quillatorne-test-password");
  keyring_.waitForBytesWritten(5000);  // no event loop here to write it for us
  keyring_.closeWriteChannel();
  QElapsedTimer t;
  t.start();
  while (!NameOnBus(env, QStringLiteral("org.freedesktop.secrets"))) {
    if (t.elapsed() > 20000 || keyring_.state() == QProcess::NotRunning) {
      error_ = QStringLiteral("no Secret Service on the bus: ") +
               QString::fromLocal8Bit(keyring_.readAll());
      return;
    }
    QThread::msleep(50);
  }
  savedAddress_ = qgetenv("DBUS_SESSION_BUS_ADDRESS");
  qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toUtf8());
}

SecretService::~SecretService() {
  if (!address_.isEmpty()) qputenv("DBUS_SESSION_BUS_ADDRESS", savedAddress_);
  if (keyring_.state() != QProcess::NotRunning) {
    keyring_.terminate();
    if (!keyring_.waitForFinished(5000)) keyring_.kill();
    keyring_.waitForFinished(2000);
  }
  if (busPid_ > 0) ::kill(static_cast<pid_t>(busPid_), SIGTERM);
}
