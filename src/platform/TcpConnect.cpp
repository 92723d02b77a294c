#include "platform/TcpConnect.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

std::optional<quint32> DottedIPv4(const QByteArray& host) {
  in_addr parsed{};
  if (inet_aton(host.constData(), &parsed) && parsed.s_addr != INADDR_NONE)
    return ntohl(parsed.s_addr);
  return std::nullopt;
}

std::optional<quint32> LookUpIPv4(const std::string& name) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  std::optional<quint32> address;
  if (!name.empty() && getaddrinfo(name.c_str(), nullptr, &hints, &result) == 0) {
    for (addrinfo* a = result; a; a = a->ai_next) {
      if (a->ai_family == AF_INET) {
        address = ntohl(reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr.s_addr);
        break;
      }
    }
    freeaddrinfo(result);
  }
  return address;
}

TcpConnection ConnectTcp(quint32 address, quint16 port, const QDeadlineTimer& deadline, int sliceMs,
                         const std::function<bool()>& abandoned) {
  TcpConnection c;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    c.error = errno;
    return c;
  }
  const auto failed = [](int error) {
    return error == ENETUNREACH || error == ENETDOWN ? TcpConnection::NoNetwork
                                                     : TcpConnection::Failed;
  };
  const auto end = [&](TcpConnection::End how) {
    ::close(fd);
    c.end = how;
    return c;
  };
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(address);
  bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
  if (!connected && errno != EINPROGRESS) return end(failed(errno));
  while (!connected) {
    if (abandoned()) return end(TcpConnection::Abandoned);
    if (deadline.hasExpired()) return end(TcpConnection::TimedOut);
    const qint64 left = deadline.isForever() ? sliceMs : deadline.remainingTime();
    pollfd p{fd, POLLOUT, 0};
    if (::poll(&p, 1, static_cast<int>(qBound(qint64(1), left, qint64(sliceMs)))) <= 0) continue;
    int error = 0;
    socklen_t len = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0)
      return end(TcpConnection::Failed);
    if (error != 0) return end(failed(error));
    connected = true;
  }
  c.end = TcpConnection::Connected;
  c.descriptor = fd;
  return c;
}

void CloseDescriptor(qintptr descriptor) { ::close(static_cast<int>(descriptor)); }
