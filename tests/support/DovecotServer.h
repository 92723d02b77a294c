#pragma once
// A real POP3 server for the tests: Dovecot with a configuration of our own in a temporary
// folder, on 127.0.0.1 and a free port, with mailboxes holding known numbers of messages.
// It runs as our child and ends with the object, or with the test process if that dies.
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// TLS with this certificate: STARTTLS on port() and implicit TLS on tlsPort(). With
// required, logins without TLS are refused, except (as Dovecot always does) from the same
// address, which every loopback test client is: the log tells which logins had TLS.
struct DovecotTls {
  QString certFile;
  QString keyFile;
  bool required = false;
};

class DovecotServer {
 public:
  struct Mailbox {
    QString user;
    QString password;
    int messages;
  };
  using Tls = DovecotTls;
  explicit DovecotServer(const QList<Mailbox>& boxes, const Tls& tls = {});
  ~DovecotServer();
  bool ok() const { return error_.isEmpty(); }
  // Why it could not be started, with the end of its log.
  QString error() const { return error_; }
  quint16 port() const { return port_; }
  QString address() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }
  quint16 tlsPort() const { return tlsPort_; }
  // The server's log so far, and its lines of successful logins ("..., TLS, ..." under TLS).
  QString log() const;
  QStringList logins() const;

 private:
  bool Prepare(const QList<Mailbox>& boxes, const Tls& tls);
  bool WaitForGreeting();
  QString LogTail() const;

  QTemporaryDir dir_;  // see the constructor for where
  QProcess process_;
  quint16 port_ = 0;
  quint16 tlsPort_ = 0;
  QString error_;
};
