// The POP3 probe against a scripted server: the exchanges, the reply rules, the failures.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <climits>
#include <thread>

#include "mail/Pop3Client.h"
#include "support/Pop3TestServer.h"

namespace {
using S = ScriptedPop3Server;

// A client for ann/secret on that loopback port.
void Aim(Pop3Client& client, int port, const QString& host = QStringLiteral("127.0.0.1")) {
  client.Host = host;
  client.Port = port;
  client.UserID = QStringLiteral("ann");
  client.Password = QStringLiteral("secret");
}

// Connect must fail; the failure's description, or a marker when it did not fail.
QByteArray ConnectFailure(Pop3Client& client) {
  try {
    client.Connect();
  } catch (const Pop3Error& e) {
    return e.description();
  }
  return "(connected)";
}

// --- the reply rules ---------------------------------------------------------------------

struct ReplyCase {
  const char* name;
  QByteArray line;
  bool positive;
  int count;  // field 2 read as the message count
};
// Test names in CTest stay readable.
void PrintTo(const ReplyCase& c, std::ostream* os) { *os << c.name; }

class Pop3ReplyRules : public testing::TestWithParam<ReplyCase> {};

TEST_P(Pop3ReplyRules, PositiveAndCount) {
  const ReplyCase& c = GetParam();
  EXPECT_EQ(Pop3Client::IsPositive(c.line), c.positive);
  EXPECT_EQ(Pop3Client::ParseCount(Pop3Client::Field(c.line, 2)), c.count);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, Pop3ReplyRules,
    testing::Values(ReplyCase{"CountAndSize", "+OK 5 12345\r\n", true, 5},
                    // field 2 keeps the terminator when it is the last field: no number
                    ReplyCase{"CountWithoutSize", "+OK 5\r\n", true, 0},
                    ReplyCase{"TwoSpaces", "+OK  5 100\r\n", true, 0},
                    ReplyCase{"OkayIsPositive", "+OKAY 3 1\r\n", true, 3},
                    ReplyCase{"OkDotIsPositive", "+OK. 2 1\r\n", true, 2},
                    ReplyCase{"AnywhereInField1", "x+OKx 4 1\r\n", true, 4},
                    ReplyCase{"LowerCaseIsNot", "+ok 3 1\r\n", false, 3},
                    ReplyCase{"OkInField2IsNot", "OK +OK 1\r\n", false, 0},
                    ReplyCase{"Error", "-ERR\r\n", false, 0},
                    ReplyCase{"BareOk", "+OK\r\n", true, 0},
                    ReplyCase{"SignAllowed", "+OK +7 1\r\n", true, 7},
                    ReplyCase{"TrailingJunk", "+OK 7x 1\r\n", true, 0},
                    ReplyCase{"TabBeforeCountIsNoNumber", "+OK \t7 1\r\n", true, 0},
                    ReplyCase{"NegativeClampsToZero", "+OK -5 100\r\n", true, 0},
                    ReplyCase{"LargestInt", "+OK 2147483647 1\r\n", true, INT_MAX},
                    ReplyCase{"BeyondIntIsNoNumber", "+OK 99999999999 1\r\n", true, 0},
                    ReplyCase{"Empty", "", false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Pop3ReplyRules, OnlySpacesAndASignLeadACount) {
  EXPECT_EQ(Pop3Client::ParseCount("  +5"), 5);
  EXPECT_EQ(Pop3Client::ParseCount(" -5"), 0);
  EXPECT_EQ(Pop3Client::ParseCount("\t5"), 0);
  EXPECT_EQ(Pop3Client::ParseCount(" \t5"), 0);
  EXPECT_EQ(Pop3Client::ParseCount("+ 5"), 0);
}

// --- whole exchanges -----------------------------------------------------------------------

struct ExchangeCase {
  const char* name;
  QList<S::Step> script;
  QByteArray failure;  // empty: Connect succeeds
  int count;
  QList<QByteArray> clientLines;  // what the server heard, in order
  int timeOut = Pop3Client::kDefaultTimeOut;
};
// Test names in CTest stay readable.
void PrintTo(const ExchangeCase& c, std::ostream* os) { *os << c.name; }

class Pop3Exchange : public testing::TestWithParam<ExchangeCase> {};

TEST_P(Pop3Exchange, LinesOnTheWireAndOutcome) {
  const ExchangeCase& c = GetParam();
  ScriptedPop3Server server({c.script});
  ASSERT_NE(server.port(), 0);
  Pop3Client client;
  Aim(client, server.port());
  client.TimeOut = c.timeOut;

  QByteArray failure;
  try {
    client.Connect();
    EXPECT_TRUE(client.ConnectionOpen());
    EXPECT_EQ(client.MessageCount(), c.count);
    client.Disconnect();
  } catch (const Pop3Error& e) {
    failure = e.description();
  }
  EXPECT_EQ(failure, c.failure);
  EXPECT_FALSE(client.ConnectionOpen());
  server.Finish();
  EXPECT_EQ(server.received(), c.clientLines);
}

const QList<QByteArray> kLogin = {"USER ann\r\n", "PASS secret\r\n"};

INSTANTIATE_TEST_SUITE_P(
    Scripts, Pop3Exchange,
    testing::Values(
        ExchangeCase{"CountWithSize",
                     S::Mailbox(5),
                     "",
                     5,
                     {"USER ann\r\n", "PASS secret\r\n", "STAT\r\n", "QUIT\r\n"}},
        ExchangeCase{"CountWithoutSize",
                     {S::Send("+OK hi\r\n"), S::Receive(), S::Send("+OK\r\n"), S::Receive(),
                      S::Send("+OK\r\n"), S::Receive(), S::Send("+OK 5\r\n")},
                     "",
                     0,
                     {"USER ann\r\n", "PASS secret\r\n", "STAT\r\n", "QUIT\r\n"}},
        ExchangeCase{"GreetingErrorSendsQuit",
                     {S::Send("-ERR busy\r\n"), S::Receive(), S::Send("+OK bye\r\n")},
                     "-ERR busy\r\n",
                     0,
                     {"QUIT\r\n"}},
        ExchangeCase{"NegativeQuitReplacesFailure",
                     {S::Send("-ERR busy\r\n"), S::Receive(), S::Send("-ERR no\r\n")},
                     "-ERR no\r\n",
                     0,
                     {"QUIT\r\n"}},
        ExchangeCase{"PassRefused",
                     {S::Send("+OK\r\n"), S::Receive(), S::Send("+OK\r\n"), S::Receive(),
                      S::Send("-ERR wrong\r\n"), S::Receive(), S::Send("+OK bye\r\n")},
                     "Authentication failed",
                     0,
                     {"USER ann\r\n", "PASS secret\r\n", "QUIT\r\n"}},
        ExchangeCase{"UserRefusedSkipsPass",
                     {S::Send("+OK\r\n"), S::Receive(), S::Send("-ERR who\r\n"), S::Receive(),
                      S::Send("+OK bye\r\n")},
                     "Authentication failed",
                     0,
                     {"USER ann\r\n", "QUIT\r\n"}},
        ExchangeCase{
            "StatRefused",
            {S::Send("+OK\r\n"), S::Receive(), S::Send("+OK\r\n"), S::Receive(), S::Send("+OK\r\n"),
             S::Receive(), S::Send("-ERR locked\r\n"), S::Receive(), S::Send("+OK bye\r\n")},
            "-ERR locked\r\n",
            0,
            {"USER ann\r\n", "PASS secret\r\n", "STAT\r\n", "QUIT\r\n"}},
        // The next reply reads as the empty line, which is not positive; no QUIT follows.
        ExchangeCase{
            "CloseAfterGreeting", {S::Send("+OK\r\n"), S::Close()}, "Authentication failed", 0, {}},
        ExchangeCase{
            "LineSplitAcrossPackets",
            {S::Send("+O"), S::Send("K hel"), S::Send("lo\r\n"), S::Receive(), S::Send("+OK\r\n"),
             S::Receive(), S::Send("+OK\r\n"), S::Receive(), S::Send("+OK 2 "), S::Send("10\r\n")},
            "",
            2,
            {"USER ann\r\n", "PASS secret\r\n", "STAT\r\n", "QUIT\r\n"}},
        // Two lines in one packet: each command still reads exactly one line.
        ExchangeCase{"TwoLineGreetingShiftsReplies",
                     {S::Send("+OK one\r\n-ERR two\r\n"), S::Receive(), S::Send("+OK\r\n"),
                      S::Receive(), S::Send("+OK bye\r\n")},
                     "Authentication failed",
                     0,
                     {"USER ann\r\n", "QUIT\r\n"}},
        // A hostile server: a line that never ends is cut off, with no QUIT.
        ExchangeCase{"OverlongLine",
                     {S::Send(QByteArray(Pop3Client::kMaxLine + 10, 'A') + "\r\n")},
                     "Reply line too long",
                     0,
                     {}},
        ExchangeCase{"SilentServerTimesOut", {S::Silent()}, "Socket readln aborted", 0, {}, 300},
        ExchangeCase{"SilentAfterStatTimesOutOnQuit",
                     {S::Send("+OK\r\n"), S::Receive(), S::Send("+OK\r\n"), S::Receive(),
                      S::Send("+OK\r\n"), S::Receive(), S::Send("+OK 4 1\r\n"), S::Silent()},
                     "Socket readln aborted",
                     4,
                     {"USER ann\r\n", "PASS secret\r\n", "STAT\r\n", "QUIT\r\n"},
                     300}),
    [](const auto& info) { return std::string(info.param.name); });

// --- failures before any exchange ----------------------------------------------------------

struct NoConnectionCase {
  const char* name;
  QString user;
  QString password;
};
// Test names in CTest stay readable.
void PrintTo(const NoConnectionCase& c, std::ostream* os) { *os << c.name; }

class Pop3NoConnection : public testing::TestWithParam<NoConnectionCase> {};

TEST_P(Pop3NoConnection, FailsWithoutConnecting) {
  ScriptedPop3Server server({S::Mailbox(1)});
  Pop3Client client;
  client.Host = QStringLiteral("127.0.0.1");
  client.Port = server.port();
  client.UserID = GetParam().user;
  client.Password = GetParam().password;
  EXPECT_EQ(ConnectFailure(client), "Authentication failed");
  server.Finish();
  EXPECT_EQ(server.accepted(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Credentials, Pop3NoConnection,
    testing::Values(NoConnectionCase{"EmptyPassword", "ann", ""},
                    NoConnectionCase{"EmptyUser", "", "secret"},
                    // a line break would smuggle a command of its own to the server
                    NoConnectionCase{"LineBreakInUser", "ann\r\nDELE 1", "secret"},
                    NoConnectionCase{"LineBreakInPassword", "ann", "x\nDELE 1"}),
    [](const auto& info) { return std::string(info.param.name); });

struct AddressCase {
  const char* name;
  QString host;
  bool closedPort;
  QByteArray failure;
};
// Test names in CTest stay readable.
void PrintTo(const AddressCase& c, std::ostream* os) { *os << c.name; }

class Pop3Address : public testing::TestWithParam<AddressCase> {};

TEST_P(Pop3Address, OpeningFails) {
  Pop3Client client;
  Aim(client, GetParam().closedPort ? ClosedLoopbackPort() : 110, GetParam().host);
  EXPECT_EQ(ConnectFailure(client), GetParam().failure);
  EXPECT_FALSE(client.ConnectionOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, Pop3Address,
    testing::Values(AddressCase{"Unresolvable", "no-such-host.invalid", false,
                                "Null Remote Address"},
                    AddressCase{"ZeroAddress", "0.0.0.0", false, "Null Remote Address"},
                    AddressCase{"EmptyHost", "", false, "Null Remote Address"},
                    AddressCase{"Refused", "127.0.0.1", true, "Connection Failed"},
                    AddressCase{"NameRefused", "localhost", true, "Connection Failed"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Pop3Client, ServesOneAccountAfterAnother) {
  ScriptedPop3Server first({S::Mailbox(3)});
  ScriptedPop3Server second({S::Mailbox(4)});
  Pop3Client client;
  client.UserID = QStringLiteral("ann");
  client.Password = QStringLiteral("secret");
  client.Host = QStringLiteral("127.0.0.1");
  int total = 0;
  for (ScriptedPop3Server* s : {&first, &second}) {
    client.Port = s->port();
    client.Connect();
    total += client.MessageCount();
    client.Disconnect();
  }
  EXPECT_EQ(total, 7);
}

TEST(Pop3Client, SecondConnectWhileOpenFails) {
  ScriptedPop3Server server({S::Mailbox(2)});
  Pop3Client client;
  Aim(client, server.port());
  client.Connect();
  EXPECT_EQ(ConnectFailure(client), "Already connected");
  EXPECT_TRUE(client.ConnectionOpen());
  client.Disconnect();
  server.Finish();
  EXPECT_EQ(server.accepted(), 1);
}

// A loopback listener whose queue is full: further connection requests go unanswered
// until it accepts.
class FullListener {
 public:
  FullListener() {
    listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listener, 0) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len) != 0)
      return;
    port = ntohs(a.sin_port);
    filler = ::socket(AF_INET, SOCK_STREAM, 0);
    ok = ::connect(filler, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }
  ~FullListener() {
    ::close(filler);
    ::close(listener);
  }
  int listener = -1;
  int filler = -1;
  quint16 port = 0;
  bool ok = false;
};

// True once a loopback connection to the port waits for its answer (SYN_SENT in the
// kernel's table); false when none comes.
bool WaitForPendingConnection(quint16 port) {
  const QByteArray remote = "0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
  for (int i = 0; i < 2000; ++i) {
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly)) return false;
    for (const QByteArray& line : table.readAll().split('\n')) {
      const QList<QByteArray> f = line.simplified().split(' ');
      if (f.size() > 3 && f[2] == remote && f[3] == "02") return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST(Pop3Client, ConnectionNeverAnsweredTimesOut) {
  FullListener full;
  ASSERT_TRUE(full.ok);
  Pop3Client client;
  Aim(client, full.port);
  client.TimeOut = 300;
  EXPECT_EQ(ConnectFailure(client), "Connection Timed out");
  EXPECT_FALSE(client.ConnectionOpen());
}

TEST(Pop3Client, SlowConnectionIsWaitedFor) {
  // The connection is answered only when the server gets round to accepting, well after the
  // client's first short wait; the client must keep trying until its limit.
  FullListener full;
  ASSERT_TRUE(full.ok);
  std::thread server([&] {
    // Make room only once the client's connection request is pending (and dropped by the
    // full queue): its retry then comes a while after the client started waiting.
    EXPECT_TRUE(WaitForPendingConnection(full.port));
    const int first = ::accept(full.listener, nullptr, nullptr);
    pollfd p{full.listener, POLLIN, 0};
    if (::poll(&p, 1, 20000) > 0) {
      const int fd = ::accept(full.listener, nullptr, nullptr);
      ::send(fd, "-ERR busy\r\n", 11, MSG_NOSIGNAL);
      pollfd q{fd, POLLIN, 0};
      char quit[64];
      if (::poll(&q, 1, 20000) > 0 && ::recv(fd, quit, sizeof quit, 0) > 0)
        ::send(fd, "+OK bye\r\n", 9, MSG_NOSIGNAL);
      ::close(fd);
    }
    ::close(first);
  });
  Pop3Client client;
  Aim(client, full.port);
  EXPECT_EQ(ConnectFailure(client), "-ERR busy\r\n");  // the greeting: the connection was made
  server.join();
}

TEST(Pop3Client, ImplicitTlsWithAPlainServerSendsNothingInClear) {
  ScriptedPop3Server server({S::Mailbox(3)});
  Pop3Client client;
  Aim(client, server.port());
  client.Security = MailSecurity::SslTls;
  try {
    client.Connect();
    ADD_FAILURE() << "counted without TLS";
  } catch (const Pop3Error& e) {
    EXPECT_EQ(e.failure(), Pop3Failure::NoTls) << e.description().toStdString();
  }
  EXPECT_FALSE(client.ConnectionOpen());
  server.Finish();
  for (const QByteArray& line : server.received()) {
    EXPECT_FALSE(line.contains("USER")) << line.toStdString();
    EXPECT_FALSE(line.contains("secret")) << line.toStdString();
  }
}

TEST(Pop3Client, DisconnectWithoutConnectionDoesNothing) {
  Pop3Client client;
  EXPECT_NO_THROW(client.Disconnect());
  EXPECT_FALSE(client.ConnectionOpen());
}

TEST(Pop3Client, AbandonEndsAWaitAtOnce) {
  ScriptedPop3Server server({{S::Silent()}});
  Pop3Client client;
  const std::atomic<bool> abandon{true};
  client.SetAbandonFlag(&abandon);
  Aim(client, server.port());
  client.TimeOut = 0;  // no limit: only the abandon flag can end the wait
  EXPECT_EQ(ConnectFailure(client), "Check abandoned");
  EXPECT_FALSE(client.ConnectionOpen());
}
// --- who and what: UIDL and TOP n 0 ---------------------------------------------------------

TEST(Pop3Summaries, UidlThenTopOfTheMessagesAsked) {
  QList<S::Step> script = S::Mailbox(3);
  script << S::Receive() << S::Send("+OK\r\n1 aaa\r\n2 bbb\r\n3 ccc\r\n.\r\n") << S::Receive()
         << S::Send(
                "+OK\r\nFrom: =?UTF-8?Q?J=C3=B6?= <jo@x>\r\nSubject: Hi\r\n"
                "..not the end\r\n\r\n.\r\n")
         << S::Receive() << S::Send("-ERR no such message\r\n") << S::Receive()
         << S::Send("+OK bye\r\n");
  ScriptedPop3Server server({script});
  Pop3Client client;
  Aim(client, server.port());
  client.Connect();
  const auto ids = client.MessageIds();
  ASSERT_TRUE(ids.has_value());
  EXPECT_EQ(*ids, (QStringList{"aaa", "bbb", "ccc"}));
  // One refused TOP costs only that message's line.
  const QList<MailSummary> s = client.Summaries({"bbb", "ccc", "unknown"});
  ASSERT_EQ(s.size(), 1);
  EXPECT_EQ(SummaryLine(s[0]), QString::fromUtf8("Jö: Hi"));
  client.Disconnect();
  server.Finish();
  EXPECT_EQ(server.received(),
            (QList<QByteArray>{"USER ann\r\n", "PASS secret\r\n", "STAT\r\n", "UIDL\r\n",
                               "TOP 2 0\r\n", "TOP 3 0\r\n", "QUIT\r\n"}));
}

TEST(Pop3Summaries, NoUidlNoIds) {
  QList<S::Step> script = S::Mailbox(3);
  script << S::Receive() << S::Send("-ERR not here\r\n") << S::Receive() << S::Send("+OK bye\r\n");
  ScriptedPop3Server server({script});
  Pop3Client client;
  Aim(client, server.port());
  client.Connect();
  EXPECT_FALSE(client.MessageIds().has_value());
  client.Disconnect();
}
}  // namespace
