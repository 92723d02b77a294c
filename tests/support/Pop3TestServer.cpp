#include "support/Pop3TestServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr int kWaitMs = 20000;  // the longest the server waits for anything

int ListenOnLoopback(quint16* port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 8) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    ::close(fd);
    return -1;
  }
  *port = ntohs(a.sin_port);
  return fd;
}

// On the system clock: ThreadSanitizer follows timed waits on that clock only.
std::chrono::system_clock::time_point Limit() {
  return std::chrono::system_clock::now() + std::chrono::milliseconds(kWaitMs);
}

bool WaitReadable(int fd, int ms) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, ms) > 0;
}
}  // namespace

QList<ScriptedPop3Server::Step> ScriptedPop3Server::Mailbox(int count) {
  return {Send("+OK ready\r\n"),
          Receive(),
          Send("+OK\r\n"),
          Receive(),
          Send("+OK logged in\r\n"),
          Receive(),
          Send("+OK " + QByteArray::number(count) + " 4096\r\n")};
}

ScriptedPop3Server::ScriptedPop3Server(QList<QList<Step>> sessions)
    : sessions_(std::move(sessions)) {
  listenFd_ = ListenOnLoopback(&port_);
  if (listenFd_ >= 0) thread_ = std::thread([this] { Run(); });
}

ScriptedPop3Server::~ScriptedPop3Server() {
  Release();
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listenFd_ >= 0) ::close(listenFd_);
}

QByteArray ScriptedPop3Server::address() const { return "127.0.0.1:" + QByteArray::number(port_); }

bool ScriptedPop3Server::WaitForAccepted(int n) {
  std::unique_lock<std::mutex> lock(m_);
  return changed_.wait_until(lock, Limit(), [&] { return accepted_ >= n; });
}

void ScriptedPop3Server::Release() {
  {
    std::lock_guard<std::mutex> lock(m_);
    released_ = true;
  }
  changed_.notify_all();
}

void ScriptedPop3Server::Finish() {
  Release();
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

QList<QByteArray> ScriptedPop3Server::received() {
  std::lock_guard<std::mutex> lock(m_);
  // A copy of its own: the list's shared data, released outside the lock while the server
  // thread appends, is synchronised inside Qt, where ThreadSanitizer cannot see it.
  QList<QByteArray> copy;
  copy.reserve(received_.size());
  for (const QByteArray& line : std::as_const(received_))
    copy << QByteArray(line.constData(), line.size());
  return copy;
}

void ScriptedPop3Server::Run() {
  for (const auto& steps : sessions_) {
    // Wait for the client in short slices, so Finish() ends a wait for a client that never comes.
    int waited = 0;
    while (!WaitReadable(listenFd_, 50)) {
      waited += 50;
      if (stop_ || waited >= kWaitMs) return;
    }
    const int fd = ::accept(listenFd_, nullptr, nullptr);
    if (fd < 0) return;
    {
      std::lock_guard<std::mutex> lock(m_);
      ++accepted_;
    }
    changed_.notify_all();
    const bool go_on = Session(fd, steps);
    ::close(fd);
    if (!go_on) return;
  }
}

bool ScriptedPop3Server::Session(int fd, const QList<Step>& steps) {
  QByteArray pending;
  // One line from the client, or false when it hung up or stayed silent too long.
  auto readLine = [&]() -> bool {
    for (;;) {
      const qsizetype lf = pending.indexOf('\n');
      if (lf >= 0) {
        std::lock_guard<std::mutex> lock(m_);
        received_ << pending.left(lf + 1);
        pending.remove(0, lf + 1);
        return true;
      }
      if (!WaitReadable(fd, kWaitMs)) return false;
      char buf[4096];
      const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n <= 0) return false;
      pending.append(buf, n);
    }
  };
  for (const Step& s : steps) {
    switch (s.kind) {
      case Step::Send:
        if (::send(fd, s.data.constData(), s.data.size(), MSG_NOSIGNAL) != s.data.size())
          return true;
        break;
      case Step::Receive:
        if (!readLine()) return true;
        break;
      case Step::Close:
        return true;
      case Step::Silent:
        while (readLine()) {
        }
        return true;
      case Step::Hold: {
        std::unique_lock<std::mutex> lock(m_);
        changed_.wait_until(lock, Limit(), [&] { return released_; });
        break;
      }
    }
  }
  // Whatever else the client says (QUIT, say) is recorded until it hangs up.
  while (readLine()) {
    const QByteArray last = received().last();
    if (last.startsWith("QUIT")) {
      const QByteArray bye = "+OK bye\r\n";
      ::send(fd, bye.constData(), bye.size(), MSG_NOSIGNAL);
    }
  }
  return true;
}

quint16 ClosedLoopbackPort() {
  quint16 port = 0;
  const int fd = ListenOnLoopback(&port);
  if (fd >= 0) ::close(fd);
  return port;
}
