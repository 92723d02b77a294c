#include "mail/Pop3Client.h"

#include <QHostAddress>
#include <QSslSocket>
#include <climits>
#include <string>
#include <thread>

#include "platform/TcpConnect.h"

namespace {
// Waits are cut into slices so that quitting the program never waits for a silent server.
constexpr int kSliceMs = 100;

int SliceOf(const QDeadlineTimer& deadline) {
  if (deadline.isForever()) return kSliceMs;
  return static_cast<int>(qBound(qint64(0), deadline.remainingTime(), qint64(kSliceMs)));
}

// The name lookup runs on a helper thread of its own: getaddrinfo cannot be interrupted,
// and a lookup that outlives its time limit must not hold the check.
struct Lookup {
  std::atomic<bool> done{false};
  bool found = false;  // written before done
  quint32 address = 0;
};
}  // namespace

Pop3Error::Pop3Error(const QByteArray& description, Pop3Failure failure)
    : std::runtime_error(description.toStdString()), failure_(failure) {}

Pop3Client::Pop3Client() = default;

QSslConfiguration Pop3Client::SystemTls() {
  QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
  const QString extra = qEnvironmentVariable("SSL_CERT_FILE");
  if (!extra.isEmpty())
    tls.setCaCertificates(QSslConfiguration::systemCaCertificates() +
                          QSslCertificate::fromPath(extra));
  return tls;
}

// Destroying the client closes an open connection without QUIT.
Pop3Client::~Pop3Client() { CloseNow(); }

QDeadlineTimer Pop3Client::Deadline() const {
  return TimeOut > 0 ? QDeadlineTimer(TimeOut) : QDeadlineTimer(QDeadlineTimer::Forever);
}

void Pop3Client::CheckAbandon() {
  if (abandon_ && abandon_->load()) {
    CloseNow();
    throw Pop3Error(QByteArrayLiteral("Check abandoned"), Pop3Failure::Abandoned);
  }
}

void Pop3Client::FailSocket() {
  if (socket_->error() == QAbstractSocket::RemoteHostClosedError) hungUp_ = true;
  const QString text = QStringLiteral("Socket error %1: %2")
                           .arg(static_cast<int>(socket_->error()))
                           .arg(socket_->errorString());
  CloseNow();
  throw Pop3Error(text, Pop3Failure::NoAnswer);
}

void Pop3Client::CloseNow() {
  if (socket_) {
    socket_->abort();
    socket_.reset();
  }
  open_ = false;
}

void Pop3Client::CloseGracefully() {
  if (socket_) {
    // Nothing is left to send after QUIT's reply, so this closes at once with a FIN.
    socket_->disconnectFromHost();
    socket_.reset();
  }
  open_ = false;
}

QByteArray Pop3Client::Field(const QByteArray& line, int n) {
  qsizetype start = 0;
  for (int i = 1; i < n; ++i) {
    const qsizetype space = line.indexOf(' ', start);
    if (space < 0) return QByteArray();
    start = space + 1;
  }
  const qsizetype end = line.indexOf(' ', start);
  return line.mid(start, end < 0 ? -1 : end - start);
}

bool Pop3Client::IsPositive(const QByteArray& line) { return Field(line, 1).contains("+OK"); }

int Pop3Client::ParseCount(const QByteArray& field) {
  qsizetype i = 0;
  while (i < field.size() && field[i] == ' ') ++i;
  bool negative = false;
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
  if (i == field.size()) return 0;
  qint64 value = 0;
  for (; i < field.size(); ++i) {
    const char c = field[i];
    if (c < '0' || c > '9') return 0;  // the line terminator makes "5\r\n" no number
    value = value * 10 + (c - '0');
    if (value > qint64(INT_MAX) + 1) return 0;  // not an int at all
  }
  if (negative) value = -value;
  if (value > INT_MAX) return 0;
  // A hostile server's negative count reads as an empty mailbox.
  return value < 0 ? 0 : static_cast<int>(value);
}

bool Pop3Client::Resolve(quint32* address) {
  const QByteArray host = Host.toUtf8();
  // A dotted address is used as it is; 255.255.255.255 is no address and is looked up.
  if (const auto dotted = DottedIPv4(host)) {
    *address = *dotted;
    return true;
  }
  auto lookup = std::make_shared<Lookup>();
  std::thread([lookup, name = host.toStdString()] {
    const std::optional<quint32> found = LookUpIPv4(name);
    lookup->found = found.has_value();
    lookup->address = found.value_or(0);
    lookup->done = true;
  }).detach();

  const QDeadlineTimer deadline = Deadline();
  while (!lookup->done) {
    if (abandon_ && abandon_->load())
      throw Pop3Error(QByteArrayLiteral("Check abandoned"), Pop3Failure::Abandoned);
    if (deadline.hasExpired())
      throw Pop3Error(QByteArrayLiteral("Host Lookup Timed Out"), Pop3Failure::CannotConnect);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  *address = lookup->address;
  return lookup->found;
}

void Pop3Client::OpenConnection() {
  if (open_) throw Pop3Error(QByteArrayLiteral("Already connected"), Pop3Failure::CannotConnect);
  quint32 address = 0;
  const bool resolved = Resolve(&address);
  if (!resolved || address == 0)
    // A name that does not resolve is, after a resume or at login, mostly a network not up yet.
    throw Pop3Error(QByteArrayLiteral("Null Remote Address"), !resolved && !Host.isEmpty()
                                                                  ? Pop3Failure::NoNetwork
                                                                  : Pop3Failure::CannotConnect);
  if (Port <= 0 || Port > 65535)
    throw Pop3Error(QByteArrayLiteral("Connection Failed"), Pop3Failure::CannotConnect);

  const TcpConnection c = ConnectTcp(address, static_cast<quint16>(Port), Deadline(), kSliceMs,
                                     [this] { return abandon_ && abandon_->load(); });
  switch (c.end) {
    case TcpConnection::Connected:
      break;
    case TcpConnection::Abandoned:
      throw Pop3Error(QByteArrayLiteral("Check abandoned"), Pop3Failure::Abandoned);
    case TcpConnection::TimedOut:
      throw Pop3Error(QByteArrayLiteral("Connection Timed out"), Pop3Failure::CannotConnect);
    case TcpConnection::NoNetwork:
      throw Pop3Error(QByteArrayLiteral("Connection Failed"), Pop3Failure::NoNetwork);
    case TcpConnection::Failed:
      if (c.error)
        throw Pop3Error(QStringLiteral("Socket error %1").arg(c.error), Pop3Failure::CannotConnect);
      throw Pop3Error(QByteArrayLiteral("Connection Failed"), Pop3Failure::CannotConnect);
  }
  socket_ = std::make_unique<QSslSocket>();
  if (!socket_->setSocketDescriptor(c.descriptor)) {
    CloseDescriptor(c.descriptor);
    socket_.reset();
    throw Pop3Error(QByteArrayLiteral("Connection Failed"), Pop3Failure::CannotConnect);
  }
  open_ = true;
  if (Security == MailSecurity::SslTls) StartTls();
}

void Pop3Client::Writeln(const QByteArray& text) {
  // A server that has gone already gets nothing; its reply then reads as the empty line.
  if (!socket_ || socket_->state() != QAbstractSocket::ConnectedState) return;
  const QByteArray out = text + "\r\n";
  if (socket_->write(out) != out.size()) FailSocket();
  const QDeadlineTimer deadline = Deadline();
  while (socket_->bytesToWrite() > 0) {
    CheckAbandon();
    if (deadline.hasExpired()) {
      CloseNow();
      throw Pop3Error(QByteArrayLiteral("Socket send aborted"), Pop3Failure::NoAnswer);
    }
    if (!socket_->waitForBytesWritten(qMax(1, SliceOf(deadline)))) {
      if (socket_->state() == QAbstractSocket::ConnectedState) continue;
      if (socket_->error() == QAbstractSocket::RemoteHostClosedError) return;
      FailSocket();
    }
  }
}

QByteArray Pop3Client::ReadLn() {
  if (!socket_) return QByteArray();
  const QDeadlineTimer deadline = Deadline();
  QByteArray line;
  for (;;) {
    const qint64 available = socket_->bytesAvailable();
    if (available > 0) {
      const QByteArray data = socket_->peek(available);
      const qsizetype lf = data.indexOf('\n');
      const qsizetype take = lf >= 0 ? lf + 1 : data.size();
      if (line.size() + take > kMaxLine) {
        // The stream is out of step with us; no point in a polite QUIT.
        CloseNow();
        throw Pop3Error(QByteArrayLiteral("Reply line too long"), Pop3Failure::NoAnswer);
      }
      line += socket_->read(take);
      if (lf >= 0) return line;
      continue;
    }
    if (socket_->state() != QAbstractSocket::ConnectedState) {
      // The server closed before a line feed: our side closes too, the line is empty.
      hungUp_ = true;
      CloseNow();
      return QByteArray();
    }
    CheckAbandon();
    if (deadline.hasExpired()) {
      CloseNow();
      throw Pop3Error(QByteArrayLiteral("Socket readln aborted"), Pop3Failure::NoAnswer);
    }
    if (!socket_->waitForReadyRead(qMax(1, SliceOf(deadline)))) {
      if (socket_->state() == QAbstractSocket::ConnectedState) continue;
      const auto error = socket_->error();
      if (error != QAbstractSocket::RemoteHostClosedError &&
          error != QAbstractSocket::SocketTimeoutError &&
          error != QAbstractSocket::UnknownSocketError)
        FailSocket();
    }
  }
}

void Pop3Client::NoticeHangUp() {
  if (!socket_ || socket_->bytesAvailable() > 0) return;
  // One look without waiting: a server that hung up has left its end of stream here.
  if (socket_->state() == QAbstractSocket::ConnectedState) socket_->waitForReadyRead(0);
  if (socket_->state() != QAbstractSocket::ConnectedState && socket_->bytesAvailable() == 0) {
    hungUp_ = true;
    CloseNow();
  }
}

QByteArray Pop3Client::Transaction(const QByteArray& command) {
  Writeln(command);
  lastReply_ = ReadLn();
  return lastReply_;
}

void Pop3Client::Fail(const QByteArray& description, Pop3Failure failure) {
  throw Pop3Error(description, failure);
}

void Pop3Client::StartTls() {
  // Data that came before the handshake was not protected: a man in the middle may have
  // put it there to be read as a reply after it.
  if (socket_->bytesAvailable() > 0) {
    CloseNow();
    Fail(QByteArrayLiteral("Unexpected data before TLS"), Pop3Failure::NoTls);
  }
  if (!Tls) Tls = SystemTls();
  socket_->setSslConfiguration(*Tls);
  socket_->setPeerVerifyMode(QSslSocket::VerifyPeer);
  socket_->setPeerVerifyName(Host);
  socket_->startClientEncryption();
  const QDeadlineTimer deadline = Deadline();
  while (!socket_->isEncrypted()) {
    CheckAbandon();
    if (!socket_->sslHandshakeErrors().isEmpty()) {
      QStringList reasons;
      for (const QSslError& e : socket_->sslHandshakeErrors()) reasons << e.errorString();
      CloseNow();
      Fail(reasons.join(QStringLiteral("; ")).toUtf8(), Pop3Failure::CertificateNotTrusted);
    }
    if (socket_->state() != QAbstractSocket::ConnectedState ||
        (socket_->error() != QAbstractSocket::UnknownSocketError &&
         socket_->error() != QAbstractSocket::SocketTimeoutError)) {
      const QByteArray text = "TLS failed: " + socket_->errorString().toUtf8();
      CloseNow();
      Fail(text, Pop3Failure::NoTls);
    }
    if (deadline.hasExpired()) {
      CloseNow();
      Fail(QByteArrayLiteral("TLS handshake timed out"), Pop3Failure::NoAnswer);
    }
    socket_->waitForEncrypted(qMax(1, SliceOf(deadline)));
  }
}

void Pop3Client::CheckCredentials() {
  // A line break in either would let the text smuggle extra commands to the server.
  const auto unsafe = [](const QString& s) { return s.contains('\r') || s.contains('\n'); };
  if (Password.isEmpty() || UserID.isEmpty() || unsafe(UserID) || unsafe(Password))
    Fail(QByteArrayLiteral("Authentication failed"), Pop3Failure::LoginRefused);
}

void Pop3Client::Connect() {
  CheckCredentials();
  hungUp_ = false;
  OpenConnection();
  try {
    lastReply_ = ReadLn();
    if (!IsPositive(lastReply_))
      Fail(lastReply_, lastReply_.isEmpty() ? Pop3Failure::NoAnswer : Pop3Failure::ServerRefused);
    if (Security == MailSecurity::StartTls) {
      // Never anything but TLS after this: no USER unless STLS was accepted.
      const QByteArray reply = Transaction("STLS");
      if (!IsPositive(reply))
        Fail(reply.isEmpty() ? QByteArrayLiteral("STLS not answered") : reply,
             reply.isEmpty() ? Pop3Failure::NoAnswer : Pop3Failure::NoTls);
      StartTls();
    }
    const bool loggedIn = IsPositive(Transaction("USER " + UserID.toUtf8())) &&
                          IsPositive(Transaction("PASS " + Password.toUtf8()));
    if (!loggedIn)
      Fail(QByteArrayLiteral("Authentication failed"),
           lastReply_.isEmpty() ? Pop3Failure::NoAnswer : Pop3Failure::LoginRefused);
    const QByteArray stat = Transaction("STAT");
    if (!IsPositive(stat))
      Fail(stat, stat.isEmpty() ? Pop3Failure::NoAnswer : Pop3Failure::ServerRefused);
    messageCount_ = ParseCount(Field(stat, 2));
    NoticeHangUp();
  } catch (const Pop3Error& first) {
    // A failure of the goodbye takes the place of the first, but the first says what the
    // user must know.
    try {
      Disconnect();
    } catch (const Pop3Error& e) {
      throw Pop3Error(e.description(), first.failure());
    }
    throw;
  }
}

void Pop3Client::Disconnect() {
  if (!open_) return;
  QByteArray reply;
  try {
    reply = Transaction("QUIT");
  } catch (...) {
    CloseNow();
    throw;
  }
  CloseGracefully();
  if (!IsPositive(reply)) throw Pop3Error(reply, Pop3Failure::ServerRefused);
}

QByteArray Pop3Client::ReadBytes(qsizetype n) {
  QByteArray out;
  if (!socket_ || n <= 0) return out;
  const QDeadlineTimer deadline = Deadline();
  while (out.size() < n) {
    if (socket_->bytesAvailable() > 0) {
      out += socket_->read(n - out.size());
      continue;
    }
    if (socket_->state() != QAbstractSocket::ConnectedState) {
      hungUp_ = true;
      CloseNow();
      return out;
    }
    CheckAbandon();
    if (deadline.hasExpired()) {
      CloseNow();
      throw Pop3Error(QByteArrayLiteral("Socket read aborted"), Pop3Failure::NoAnswer);
    }
    if (!socket_->waitForReadyRead(qMax(1, SliceOf(deadline))) &&
        socket_->state() == QAbstractSocket::ConnectedState)
      continue;
  }
  return out;
}

QByteArray Pop3Client::ReadMultiLine() {
  QByteArray body;
  for (;;) {
    QByteArray line = ReadLn();
    if (line.isEmpty())
      throw Pop3Error(QByteArrayLiteral("The server hung up"), Pop3Failure::NoAnswer);
    if (line == ".\r\n" || line == ".\n") return body;
    if (line.startsWith("..")) line.remove(0, 1);  // dot-stuffing
    if (body.size() + line.size() > kMaxMultiLine) {
      // The rest of the reply would be read as answers to what follows: end here.
      CloseNow();
      throw Pop3Error(QByteArrayLiteral("Reply too long"), Pop3Failure::NoAnswer);
    }
    body += line;
  }
}

std::optional<QStringList> Pop3Client::MessageIds() {
  numbers_.clear();
  if (!open_ || !IsPositive(Transaction("UIDL"))) return std::nullopt;
  QStringList ids;
  for (const QByteArray& line : ReadMultiLine().split('\n')) {
    const QList<QByteArray> fields = line.trimmed().split(' ');
    if (fields.size() != 2) continue;
    bool ok = false;
    const int number = fields[0].toInt(&ok);
    if (!ok || number <= 0) continue;
    const QString id = QString::fromLatin1(fields[1]);
    numbers_.insert(id, number);
    ids << id;
  }
  return ids;
}

QList<MailSummary> Pop3Client::Summaries(const QStringList& ids) {
  QList<MailSummary> out;
  for (const QString& id : ids) {
    const auto number = numbers_.constFind(id);
    if (number == numbers_.cend() || !open_) continue;
    if (!IsPositive(Transaction("TOP " + QByteArray::number(*number) + " 0"))) continue;
    out << SummaryOfHeader(ReadMultiLine());
  }
  return out;
}

bool Pop3Client::WaitForData(int ms) {
  if (!socket_) return true;
  const QDeadlineTimer deadline(ms);
  while (socket_->bytesAvailable() == 0) {
    if (socket_->state() != QAbstractSocket::ConnectedState) return true;
    CheckAbandon();
    if (deadline.hasExpired()) return false;
    socket_->waitForReadyRead(qMax(1, SliceOf(deadline)));
  }
  return true;
}
