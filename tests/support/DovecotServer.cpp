#include "support/DovecotServer.h"

#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QThread>

#include "support/Pop3TestServer.h"

namespace {
struct Ids {
  QString mailUser;      // owns the mailboxes; never root
  QString internalUser;  // Dovecot's unprivileged helpers
  QString loginUser;
  uid_t uid = 0;
  gid_t gid = 0;
};

bool PickUsers(Ids* ids, QString* error) {
  if (::geteuid() != 0) {
    // Not root: Dovecot runs entirely as us.
    const passwd* me = ::getpwuid(::geteuid());
    if (!me) return *error = QStringLiteral("no passwd entry for the current user"), false;
    ids->mailUser = ids->internalUser = ids->loginUser = QString::fromLocal8Bit(me->pw_name);
    ids->uid = me->pw_uid;
    ids->gid = me->pw_gid;
    return true;
  }
  const passwd* nobody = ::getpwnam("nobody");
  if (!nobody) return *error = QStringLiteral("user 'nobody' is missing"), false;
  for (const char* user : {"dovecot", "dovenull"}) {
    if (!::getpwnam(user)) {
      *error =
          QStringLiteral("user '%1' is missing (package dovecot-core)").arg(QLatin1String(user));
      return false;
    }
  }
  ids->mailUser = QStringLiteral("nobody");
  ids->internalUser = QStringLiteral("dovecot");
  ids->loginUser = QStringLiteral("dovenull");
  ids->uid = nobody->pw_uid;
  ids->gid = nobody->pw_gid;
  return true;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// As root the mail user must reach the folder, so it goes where everyone may walk: /tmp,
// whatever TMPDIR says.
QString TempTemplate() {
  const QString base = ::geteuid() == 0 ? QStringLiteral("/tmp") : QDir::tempPath();
  return base + QStringLiteral("/quillatorne-dovecot-XXXXXX");
}

bool Own(const QString& path, const Ids& ids) {
  return ::geteuid() != 0 || ::chown(QFile::encodeName(path).constData(), ids.uid, ids.gid) == 0;
}
}  // namespace

DovecotServer::DovecotServer(const QList<Mailbox>& boxes, const Tls& tls,
                             const DovecotImapOptions& imap)
    : dir_(TempTemplate()) {
  if (!dir_.isValid()) {
    error_ = QStringLiteral("no temporary folder");
    return;
  }
  if (!Prepare(boxes, tls, imap)) return;
  const QString exe = QStandardPaths::findExecutable(QStringLiteral("dovecot")).isEmpty()
                          ? QStringLiteral("/usr/sbin/dovecot")
                          : QStandardPaths::findExecutable(QStringLiteral("dovecot"));
  if (!QFile::exists(exe)) {
    error_ = QStringLiteral(
        "dovecot is not installed (packages dovecot-pop3d, dovecot-imapd, scripts/setup.sh)");
    return;
  }
  process_.setProgram(exe);
  process_.setArguments(
      {QStringLiteral("-F"), QStringLiteral("-c"), dir_.path() + "/dovecot.conf"});
  process_.setProcessChannelMode(QProcess::MergedChannels);
  // The server goes with the test process, however that ends.
  process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
  process_.start();
  if (!process_.waitForStarted(10000)) {
    error_ = QStringLiteral("dovecot did not start: ") + process_.errorString();
    return;
  }
  if (!WaitForGreeting()) {
    error_ = QStringLiteral("dovecot gave no POP3 greeting on port %1.\nOutput: %2\nLog:\n%3")
                 .arg(port_)
                 .arg(QString::fromLocal8Bit(process_.readAll()), LogTail());
  }
}

DovecotServer::~DovecotServer() {
  if (process_.state() != QProcess::NotRunning) {
    process_.terminate();
    if (!process_.waitForFinished(10000)) {
      process_.kill();
      process_.waitForFinished(3000);
    }
  }
}

bool DovecotServer::Prepare(const QList<Mailbox>& boxes, const Tls& tls,
                            const DovecotImapOptions& imap) {
  Ids ids;
  if (!PickUsers(&ids, &error_)) return false;
  uid_ = ids.uid;
  gid_ = ids.gid;
  const QString root = dir_.path();
  // The mail user and Dovecot's helpers must be able to walk into our folder.
  QFile::setPermissions(root, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                  QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                  QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                  QFileDevice::ExeOther);
  QDir(root).mkpath(QStringLiteral("run"));
  QDir(root).mkpath(QStringLiteral("state"));

  QByteArray passwd;
  for (const Mailbox& box : boxes) {
    const QString home = root + "/mail/" + box.user;
    for (const char* sub : {"cur", "new", "tmp"}) QDir().mkpath(home + "/Maildir/" + sub);
    for (int i = 1; i <= box.messages; ++i) {
      const QString file =
          QStringLiteral("%1/Maildir/cur/17000000%2.M%2P1.quillatorne-test:2,S").arg(home).arg(i);
      const QByteArray message = "From: sender@example.invalid\r\nTo: " + box.user.toUtf8() +
                                 "@example.invalid\r\nSubject: message " + QByteArray::number(i) +
                                 "\r\n\r\nBody " + QByteArray::number(i) + "\r\n";
      if (!WriteFile(file, message)) return error_ = QStringLiteral("cannot write ") + file, false;
    }
    for (int i = 1; i <= box.unseen; ++i) {
      const int n = box.messages + i;
      const QString file =
          QStringLiteral("%1/Maildir/new/17000000%2.M%2P1.quillatorne-test").arg(home).arg(n);
      const QByteArray message = "From: Sender " + QByteArray::number(n) +
                                 " <sender@example.invalid>\r\nTo: " + box.user.toUtf8() +
                                 "@example.invalid\r\nSubject: unseen " + QByteArray::number(n) +
                                 "\r\n\r\nBody " + QByteArray::number(n) + "\r\n";
      if (!WriteFile(file, message)) return error_ = QStringLiteral("cannot write ") + file, false;
    }
    for (const QString& p : {root + "/mail", home, home + "/Maildir", home + "/Maildir/cur",
                             home + "/Maildir/new", home + "/Maildir/tmp"})
      if (!Own(p, ids)) return error_ = QStringLiteral("cannot hand over ") + p, false;
    for (const char* sub : {"cur", "new"})
      for (const QString& f : QDir(home + "/Maildir/" + sub).entryList(QDir::Files))
        Own(home + "/Maildir/" + sub + "/" + f, ids);
    passwd += QStringLiteral("%1:{PLAIN}%2:%3:%4::%5::\n")
                  .arg(box.user, box.password)
                  .arg(ids.uid)
                  .arg(ids.gid)
                  .arg(home)
                  .toUtf8();
  }
  if (!WriteFile(root + "/passwd", passwd))
    return error_ = QStringLiteral("cannot write passwd"), false;
  QFile::setPermissions(root + "/passwd", QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ReadGroup | QFileDevice::ReadOther);

  port_ = ClosedLoopbackPort();
  do imapPort_ = ClosedLoopbackPort();
  while (imapPort_ == port_);
  QString sslConf = QStringLiteral("ssl = no\ndisable_plaintext_auth = no\n");
  QString tlsListener;
  if (!tls.certFile.isEmpty()) {
    do tlsPort_ = ClosedLoopbackPort();
    while (tlsPort_ == port_ || tlsPort_ == imapPort_);
    do imapTlsPort_ = ClosedLoopbackPort();
    while (imapTlsPort_ == port_ || imapTlsPort_ == imapPort_ || imapTlsPort_ == tlsPort_);
    sslConf = QStringLiteral("ssl = %1\nssl_cert = <%2\nssl_key = <%3\n"
                             "disable_plaintext_auth = %4\n")
                  .arg(QString::fromLatin1(tls.required ? "required" : "yes"), tls.certFile,
                       tls.keyFile, QString::fromLatin1(tls.required ? "yes" : "no"));
    tlsListener = QStringLiteral("  inet_listener pop3s {\n    address = 127.0.0.1\n"
                                 "    port = %1\n    ssl = yes\n  }\n")
                      .arg(tlsPort_);
  }
  QString imapListeners = QStringLiteral(
                              "  inet_listener imap {\n    address = 127.0.0.1\n"
                              "    port = %1\n  }\n")
                              .arg(imapPort_);
  if (imapTlsPort_)
    imapListeners += QStringLiteral(
                         "  inet_listener imaps {\n    address = 127.0.0.1\n"
                         "    port = %1\n    ssl = yes\n  }\n")
                         .arg(imapTlsPort_);
  // Without IDLE in the list the client must fall back to timed checks.
  const QString imapCaps =
      imap.idle ? QString()
                : QStringLiteral(
                      "imap_capability = IMAP4rev1 SASL-IR LOGIN-REFERRALS ID ENABLE "
                      "LITERAL+ STARTTLS AUTH=PLAIN\n");
  const QString conf = QStringLiteral(
                           "base_dir = %1/run\n"
                           "state_dir = %1/state\n"
                           "log_path = %1/dovecot.log\n"
                           "info_log_path = %1/dovecot.log\n"
                           "protocols = pop3 imap\n"
                           "listen = 127.0.0.1\n"
                           "%5"
                           "auth_mechanisms = plain\n"
                           "auth_verbose = yes\n"
                           // failed logins are part of the tests: no penalty delays
                           "auth_failure_delay = 0\n"
                           "login_trusted_networks = 127.0.0.0/8\n"
                           "default_internal_user = %2\n"
                           "default_login_user = %3\n"
                           "first_valid_uid = 1\n"
                           "mail_location = maildir:~/Maildir\n"
                           "passdb {\n  driver = passwd-file\n  args = %1/passwd\n}\n"
                           "userdb {\n  driver = passwd-file\n  args = %1/passwd\n}\n"
                           "service pop3-login {\n  inet_listener pop3 {\n"
                           "    address = 127.0.0.1\n    port = %4\n  }\n%6}\n"
                           "service imap-login {\n%7}\n"
                           "%8")
                           .arg(root, ids.internalUser, ids.loginUser)
                           .arg(port_)
                           .arg(sslConf, tlsListener, imapListeners, imapCaps);
  if (!WriteFile(root + "/dovecot.conf", conf.toUtf8()))
    return error_ = QStringLiteral("cannot write dovecot.conf"), false;
  return true;
}

bool DovecotServer::WaitForGreeting() {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 20000) {
    if (process_.state() == QProcess::NotRunning) return false;
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), port_);
    if (s.waitForConnected(1000) && s.waitForReadyRead(3000) && s.readAll().startsWith("+OK")) {
      s.write("QUIT\r\n");
      s.waitForBytesWritten(1000);
      return true;
    }
    QThread::msleep(100);
  }
  return false;
}

bool DovecotServer::Deliver(const QString& user, const QByteArray& from,
                            const QByteArray& subject) {
  const QString box = dir_.path() + "/mail/" + user + "/Maildir";
  const QString name = QStringLiteral("18000000%1.M%1P1.quillatorne-test").arg(++delivered_);
  const QByteArray message = "From: " + from + "\r\nTo: " + user.toUtf8() +
                             "@example.invalid\r\nSubject: " + subject + "\r\n\r\nHello\r\n";
  // Written aside and renamed in, so the server never sees half a message.
  if (!WriteFile(box + "/tmp/" + name, message)) return false;
  if (::geteuid() == 0 &&
      ::chown(QFile::encodeName(box + "/tmp/" + name).constData(), uid_, gid_) != 0)
    return false;
  return QFile::rename(box + "/tmp/" + name, box + "/new/" + name);
}

QString DovecotServer::log() const {
  QFile f(dir_.path() + "/dovecot.log");
  return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
}

QStringList DovecotServer::logins() const {
  QStringList lines;
  for (const QString& line : log().split('\n'))
    if (line.contains(QStringLiteral("Login: user=<"))) lines << line;
  return lines;
}

QString DovecotServer::LogTail() const {
  QFile f(dir_.path() + "/dovecot.log");
  if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("(no log)");
  return QString::fromLocal8Bit(f.readAll().right(4000));
}
