#pragma once
// The mailbox probe: a blocking, line-oriented POP3 conversation (greeting, USER, PASS,
// STAT, QUIT) on the thread that owns the client.
#include <QByteArray>
#include <QDeadlineTimer>
#include <QHash>
#include <QSslConfiguration>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <optional>
#include <stdexcept>

#include "mail/MailHeaders.h"
#include "settings/Config.h"

class QSslSocket;

// What went wrong, in the terms the user is told.
enum class Pop3Failure {
  CannotConnect,          // no address, refused, unreachable, timed out while connecting
  NoAnswer,               // the server went silent or hung up
  CertificateNotTrusted,  // the TLS certificate failed verification
  NoTls,                  // STARTTLS refused, or no TLS could be agreed
  LoginRefused,           // USER or PASS refused, or none given
  ServerRefused,          // a negative greeting or STAT
  NoNetwork,              // the name does not resolve or no network is up (yet)
  Abandoned,              // the program is quitting
};

// A failed step of the probe, with its description and what kind of failure it is.
class Pop3Error : public std::runtime_error {
 public:
  explicit Pop3Error(const QByteArray& description,
                     Pop3Failure failure = Pop3Failure::ServerRefused);
  explicit Pop3Error(const QString& description,
                     Pop3Failure failure = Pop3Failure::ServerRefused)
      : Pop3Error(description.toUtf8(), failure) {}
  QByteArray description() const { return QByteArray(what()); }
  Pop3Failure failure() const { return failure_; }

 private:
  Pop3Failure failure_;
};

class Pop3Client {
 public:
  static constexpr int kDefaultPort = 110;
  static constexpr int kTlsPort = 995;
  // The port an account's security implies when its Server names none.
  static int DefaultPort(MailSecurity security) {
    return security == MailSecurity::SslTls ? kTlsPort : kDefaultPort;
  }
  // A silent server must not hold a check for ever: every single wait gets this long.
  static constexpr int kDefaultTimeOut = 30000;
  static constexpr qsizetype kMaxLine = 65536;
  // UIDL of a mailbox of some hundred thousand messages fits.
  static constexpr qsizetype kMaxMultiLine = 16 << 20;

  Pop3Client();
  virtual ~Pop3Client();
  Pop3Client(const Pop3Client&) = delete;
  Pop3Client& operator=(const Pop3Client&) = delete;

  QString Host;
  int Port = kDefaultPort;
  QString UserID;
  QString Password;
  int TimeOut = kDefaultTimeOut;  // milliseconds per wait; 0 means no limit
  MailSecurity Security = MailSecurity::None;
  // Trusted CAs and the rest of TLS; unset, SystemTls() when TLS is first needed (setting
  // up TLS takes a while, and plain accounts never need it).
  std::optional<QSslConfiguration> Tls;

  bool ConnectionOpen() const { return open_; }
  // After a successful Connect: who the counted messages are, stable across checks (UIDL),
  // and the sender and subject of some of them (TOP n 0), in the order asked.
  // None when the server keeps no such list.
  virtual std::optional<QStringList> MessageIds();
  virtual QList<MailSummary> Summaries(const QStringList& ids);
  int MessageCount() const { return messageCount_; }
  const QByteArray& LastReply() const { return lastReply_; }
  // The server closed the connection of the last Connect before we did.
  bool HungUp() const { return hungUp_; }

  // Opens the connection, reads the greeting, logs in and asks STAT. On failure the
  // connection is already closed and a Pop3Error says why.
  virtual void Connect();
  // QUIT and close when a connection is open; fails when QUIT is not answered positively.
  virtual void Disconnect();

  void Writeln(const QByteArray& text);
  // The next line, terminator included; the empty line when the server has closed.
  QByteArray ReadLn();
  QByteArray Transaction(const QByteArray& command);

  // Set from another thread to end every wait at once (the program is quitting).
  void SetAbandonFlag(const std::atomic<bool>* flag) { abandon_ = flag; }

  // The system's CAs, and those a file named by SSL_CERT_FILE adds, as for every program
  // built on OpenSSL.
  static QSslConfiguration SystemTls();

  // The reply rules, shared with the tests.
  static QByteArray Field(const QByteArray& line, int n);  // 1-based, split on single spaces
  static bool IsPositive(const QByteArray& line);
  static int ParseCount(const QByteArray& field);

 protected:
  // The connection layer, shared with the IMAP client so that both speak one TLS policy.
  void OpenConnection();
  bool Resolve(quint32* address);
  QDeadlineTimer Deadline() const;
  void CheckAbandon();
  [[noreturn]] void FailSocket();
  void CloseNow();
  void CloseGracefully();
  void NoticeHangUp();
  void StartTls();
  [[noreturn]] void Fail(const QByteArray& description, Pop3Failure failure);
  // No user name or password, or one that would smuggle a line break: fails at once.
  void CheckCredentials();
  // Exactly n bytes (an IMAP literal); fewer when the server hangs up first.
  QByteArray ReadBytes(qsizetype n);
  // True once something can be read or the server has hung up; false when ms have passed.
  bool WaitForData(int ms);
  // The lines of a multi-line reply up to its lone ".", dot-stuffing undone.
  QByteArray ReadMultiLine();

  std::unique_ptr<QSslSocket> socket_;
  bool open_ = false;
  bool hungUp_ = false;
  int messageCount_ = 0;
  QByteArray lastReply_;
  const std::atomic<bool>* abandon_ = nullptr;
  QHash<QString, int> numbers_;  // UIDL's message numbers
};
