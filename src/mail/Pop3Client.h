#pragma once
// The mailbox probe: a blocking, line-oriented POP3 conversation (greeting, USER, PASS,
// STAT, QUIT) on the thread that owns the client.
#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <atomic>
#include <memory>
#include <stdexcept>

class QTcpSocket;

// A failed step of the probe, with its description.
class Pop3Error : public std::runtime_error {
 public:
  explicit Pop3Error(const QByteArray& description);
  explicit Pop3Error(const QString& description) : Pop3Error(description.toUtf8()) {}
  QByteArray description() const { return QByteArray(what()); }
};

class Pop3Client {
 public:
  static constexpr int kDefaultPort = 110;
  // A silent server must not hold a check for ever: every single wait gets this long.
  static constexpr int kDefaultTimeOut = 30000;
  static constexpr qsizetype kMaxLine = 65536;

  Pop3Client();
  virtual ~Pop3Client();
  Pop3Client(const Pop3Client&) = delete;
  Pop3Client& operator=(const Pop3Client&) = delete;

  QString Host;
  int Port = kDefaultPort;
  QString UserID;
  QString Password;
  int TimeOut = kDefaultTimeOut;  // milliseconds per wait; 0 means no limit

  bool ConnectionOpen() const { return open_; }
  int MessageCount() const { return messageCount_; }
  const QByteArray& LastReply() const { return lastReply_; }

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

  // The reply rules, shared with the tests.
  static QByteArray Field(const QByteArray& line, int n);  // 1-based, split on single spaces
  static bool IsPositive(const QByteArray& line);
  static int ParseCount(const QByteArray& field);

 private:
  void OpenConnection();
  bool Resolve(quint32* address);
  QDeadlineTimer Deadline() const;
  void CheckAbandon();
  [[noreturn]] void FailSocket();
  void CloseNow();
  void CloseGracefully();

  std::unique_ptr<QTcpSocket> socket_;
  bool open_ = false;
  int messageCount_ = 0;
  QByteArray lastReply_;
  const std::atomic<bool>* abandon_ = nullptr;
};
