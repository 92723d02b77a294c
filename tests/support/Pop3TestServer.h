#pragma once
// A POP3 server that plays a script, one script per accepted connection, on 127.0.0.1 and a
// free port, on a thread of its own. Every wait is bounded: the server stops by itself.
#include <QByteArray>
#include <QList>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

class ScriptedPop3Server {
 public:
  struct Step {
    enum Kind { Send, Receive, Close, Silent, Hold } kind;
    QByteArray data;
  };
  static Step Send(const QByteArray& line) { return {Step::Send, line}; }
  static Step Receive() { return {Step::Receive, {}}; }  // one line from the client
  static Step Close() { return {Step::Close, {}}; }      // hang up now
  static Step Silent() { return {Step::Silent, {}}; }    // say nothing until the client goes
  static Step Hold() { return {Step::Hold, {}}; }        // say nothing until Release()
  // The usual dialogue up to STAT's reply, with a count and a size.
  static QList<Step> Mailbox(int count);

  explicit ScriptedPop3Server(QList<QList<Step>> sessions);
  ~ScriptedPop3Server();
  quint16 port() const { return port_; }
  QByteArray address() const;  // "127.0.0.1:port"
  // Waits for the scripts to end (or stops waiting for connections that never come).
  void Finish();
  int accepted() const { return accepted_; }
  // Waits until n connections have been accepted; false when they never come.
  bool WaitForAccepted(int n);
  // Lets a session waiting at Hold go on.
  void Release();
  // Every line the clients sent, terminators included, in order.
  QList<QByteArray> received();

 private:
  void Run();
  bool Session(int fd, const QList<Step>& steps);

  QList<QList<Step>> sessions_;
  int listenFd_ = -1;
  quint16 port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> accepted_{0};
  std::mutex m_;
  std::condition_variable changed_;  // accepted_ or released_
  bool released_ = false;
  QList<QByteArray> received_;
  std::thread thread_;
};

// A loopback port on which nothing listens.
quint16 ClosedLoopbackPort();
