#include "support/RadicaleServer.h"

#include <sys/prctl.h>

#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QThread>
#include <csignal>

#include "support/Pop3TestServer.h"

RadicaleServer::RadicaleServer(const QString& user, const QString& password)
    : user_(user), password_(password) {
  const QString exe = QStandardPaths::findExecutable(QStringLiteral("radicale"));
  if (exe.isEmpty()) {
    error_ = QStringLiteral("radicale is not installed (package radicale, scripts/setup.sh)");
    return;
  }
  QFile users(dir_.path() + "/users");
  if (!users.open(QIODevice::WriteOnly) ||
      users.write((user + ':' + password + '\n').toUtf8()) < 0) {
    error_ = QStringLiteral("cannot write the password file");
    return;
  }
  users.close();
  port_ = ClosedLoopbackPort();
  process_.setProgram(exe);
  process_.setArguments({QStringLiteral("--config"), QString(), QStringLiteral("--debug"),
                         QStringLiteral("--server-hosts"),
                         QStringLiteral("127.0.0.1:%1").arg(port_), QStringLiteral("--auth-type"),
                         QStringLiteral("htpasswd"), QStringLiteral("--auth-htpasswd-filename"),
                         users.fileName(), QStringLiteral("--auth-htpasswd-encryption"),
                         QStringLiteral("plain"), QStringLiteral("--storage-filesystem-folder"),
                         dir_.path() + "/store"});
  process_.setProcessChannelMode(QProcess::MergedChannels);
  process_.setStandardOutputFile(dir_.path() + "/log");
  process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
  process_.start();
  if (!process_.waitForStarted(10000)) {
    error_ = QStringLiteral("radicale did not start: ") + process_.errorString();
    return;
  }
  for (int i = 0; i < 200; ++i) {
    QTcpSocket probe;
    probe.connectToHost(QStringLiteral("127.0.0.1"), port_);
    if (probe.waitForConnected(100)) break;
    QThread::msleep(50);
  }
  const int made = Request("MKCALENDAR", calendarUrl(), {});
  if (made != 201) error_ = QStringLiteral("radicale did not make the calendar (%1)").arg(made);
}

RadicaleServer::~RadicaleServer() { Stop(); }

void RadicaleServer::Stop() {
  if (process_.state() == QProcess::NotRunning) return;
  process_.terminate();
  if (!process_.waitForFinished(5000)) {
    process_.kill();
    process_.waitForFinished(5000);
  }
}

QString RadicaleServer::calendarUrl() const {
  return QStringLiteral("http://127.0.0.1:%1/%2/calendar/").arg(port_).arg(user_);
}

bool RadicaleServer::Put(const QString& name, const QByteArray& ics) {
  const int status = Request("PUT", calendarUrl() + name + ".ics", ics);
  return status == 201 || status == 204;
}

bool RadicaleServer::Delete(const QString& name) {
  const int status = Request("DELETE", calendarUrl() + name + ".ics", {});
  return status == 200 || status == 204;
}

int RadicaleServer::RequestCount() const {
  QFile log(dir_.path() + "/log");
  if (!log.open(QIODevice::ReadOnly)) return -1;
  return int(log.readAll().count(" request for "));
}

int RadicaleServer::Request(const QByteArray& verb, const QString& url, const QByteArray& body) {
  QNetworkAccessManager network;
  QNetworkRequest request{QUrl(url)};
  request.setRawHeader("Authorization", "Basic " + (user_ + ':' + password_).toUtf8().toBase64());
  if (verb == "PUT") request.setRawHeader("Content-Type", "text/calendar; charset=utf-8");
  QNetworkReply* reply = network.sendCustomRequest(request, verb, body);
  QEventLoop loop;
  QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  if (!reply->isFinished()) loop.exec();
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  delete reply;
  return status;
}
