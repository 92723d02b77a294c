#pragma once
// A real POP3 and IMAP server for the tests: Dovecot with a configuration of our own in a
// temporary folder, on 127.0.0.1 and free ports, with mailboxes holding known numbers of seen
// and unseen messages, and more delivered while it runs.
// It runs as our child and ends with the object, or with the test process if that dies.
#include <sys/types.h>
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

// What the IMAP side offers.
struct DovecotImapOptions {
  bool idle = true;  // false: IDLE is not among the capabilities
};

class DovecotServer {
 public:
  struct Mailbox {
    QString user;
    QString password;
    int messages;    // already seen
    int unseen = 0;  // not yet seen, after those
  };
  using Tls = DovecotTls;
  explicit DovecotServer(const QList<Mailbox>& boxes, const Tls& tls = {},
                         const DovecotImapOptions& imap = {});
  ~DovecotServer();
  bool ok() const { return error_.isEmpty(); }
  // Why it could not be started, with the end of its log.
  QString error() const { return error_; }
  quint16 port() const { return port_; }
  QString address() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }
  quint16 tlsPort() const { return tlsPort_; }
  // IMAP with STARTTLS when TLS is set up, and IMAP over TLS.
  quint16 imapPort() const { return imapPort_; }
  QString imapAddress() const { return QStringLiteral("127.0.0.1:%1").arg(imapPort_); }
  quint16 imapTlsPort() const { return imapTlsPort_; }
  // Puts a new, unseen message into the user's INBOX as a delivery agent does. The header
  // values go as they are: encoded words included.
  bool Deliver(const QString& user, const QByteArray& from, const QByteArray& subject);
  // The server's log so far, and its lines of successful logins ("..., TLS, ..." under TLS).
  QString log() const;
  QStringList logins() const;

 private:
  bool Prepare(const QList<Mailbox>& boxes, const Tls& tls, const DovecotImapOptions& imap);
  bool WaitForGreeting();
  QString LogTail() const;

  QTemporaryDir dir_;  // see the constructor for where
  QProcess process_;
  quint16 port_ = 0;
  quint16 tlsPort_ = 0;
  quint16 imapPort_ = 0;
  quint16 imapTlsPort_ = 0;
  int delivered_ = 0;
  uid_t uid_ = 0;
  gid_t gid_ = 0;
  QString error_;
};
