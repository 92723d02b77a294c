#pragma once
// A real POP3 server for the tests: Dovecot with a configuration of our own in a temporary
// folder, on 127.0.0.1 and a free port, with mailboxes holding known numbers of messages.
// It runs as our child and ends with the object, or with the test process if that dies.
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class DovecotServer {
 public:
  struct Mailbox {
    QString user;
    QString password;
    int messages;
  };
  explicit DovecotServer(const QList<Mailbox>& boxes);
  ~DovecotServer();
  bool ok() const { return error_.isEmpty(); }
  // Why it could not be started, with the end of its log.
  QString error() const { return error_; }
  quint16 port() const { return port_; }
  QString address() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }

 private:
  bool Prepare(const QList<Mailbox>& boxes);
  bool WaitForGreeting();
  QString LogTail() const;

  QTemporaryDir dir_;  // see the constructor for where
  QProcess process_;
  quint16 port_ = 0;
  QString error_;
};
