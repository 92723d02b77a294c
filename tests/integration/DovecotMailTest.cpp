// Mail checks against a real POP3 server: Dovecot started by the test on a loopback port.
#include <gtest/gtest.h>

#include "mail/MailCheck.h"
#include "mail/Pop3Client.h"
#include "settings/Config.h"
#include "support/DovecotServer.h"
#include "support/Fakes.h"
#include "support/Pop3TestServer.h"

namespace {
class DovecotMail : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    server = new DovecotServer({{"alice", "alice-pw", 3}, {"bob", "bob-pw", 4}, {"carol", "c", 0}});
  }
  static void TearDownTestSuite() {
    delete server;
    server = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(server->ok()) << "Dovecot could not be started: " << server->error().toStdString();
    fakes.config = Config(QSize(1024, 768));
    fakes.config.EmailConfig.EnableCheck = true;
  }
  void AddAccount(const QString& server, const QString& user, const QString& password) {
    EmailAccount a;
    a.Server = server;
    a.User = user;
    a.Password = password;
    fakes.config.EmailConfig.Accounts << a;
  }
  int Check() {
    StartMailCheck(fakes.config, fakes.services, false, -1);
    EXPECT_TRUE(WaitForMailCheck(90000));
    EXPECT_FALSE(fakes.config.DynamicConfig.EmailCheckRunning);
    return fakes.config.DynamicConfig.NewMailCount;
  }
  FakeServices fakes;
  static DovecotServer* server;
};
DovecotServer* DovecotMail::server = nullptr;

TEST_F(DovecotMail, ProbeCountsTheMailbox) {
  Pop3Client client;
  client.Host = QStringLiteral("127.0.0.1");
  client.Port = server->port();
  client.UserID = QStringLiteral("bob");
  client.Password = QStringLiteral("bob-pw");
  client.Connect();
  EXPECT_EQ(client.MessageCount(), 4);
  EXPECT_TRUE(client.ConnectionOpen());
  EXPECT_NO_THROW(client.Disconnect());
  EXPECT_FALSE(client.ConnectionOpen());
}

TEST_F(DovecotMail, WrongPasswordIsRefused) {
  Pop3Client client;
  client.Host = QStringLiteral("localhost");
  client.Port = server->port();
  client.UserID = QStringLiteral("alice");
  client.Password = QStringLiteral("guess");
  try {
    client.Connect();
    ADD_FAILURE() << "logged in with a wrong password";
  } catch (const Pop3Error& e) {
    EXPECT_EQ(e.description(), "Authentication failed");
  }
  EXPECT_FALSE(client.ConnectionOpen());
}

struct DovecotCase {
  const char* name;
  QList<QStringList> accounts;  // user, password; user "closed" means a closed port
  int total;
};
// Test names in CTest stay readable.
void PrintTo(const DovecotCase& c, std::ostream* os) { *os << c.name; }

class DovecotCheck : public DovecotMail, public testing::WithParamInterface<DovecotCase> {};

TEST_P(DovecotCheck, CountsEveryAccount) {
  for (const QStringList& a : GetParam().accounts) {
    if (a[0] == "closed")
      AddAccount(QStringLiteral("127.0.0.1:%1").arg(ClosedLoopbackPort()), "alice", "alice-pw");
    else
      AddAccount(server->address(), a[0], a[1]);
  }
  EXPECT_EQ(Check(), GetParam().total);
  EXPECT_EQ(fakes.config.DynamicConfig.NoNewMail, GetParam().total == 0);
}

INSTANTIATE_TEST_SUITE_P(
    Accounts, DovecotCheck,
    testing::Values(DovecotCase{"TwoMailboxes", {{"alice", "alice-pw"}, {"bob", "bob-pw"}}, 7},
                    DovecotCase{
                        "WrongPasswordCountsZero", {{"alice", "alice-pw"}, {"bob", "nope"}}, 3},
                    DovecotCase{"ClosedPortCountsZero", {{"closed", ""}, {"bob", "bob-pw"}}, 4},
                    DovecotCase{"EmptyMailbox", {{"carol", "c"}}, 0},
                    DovecotCase{"UnknownUser", {{"dave", "x"}, {"alice", "alice-pw"}}, 3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DovecotMail, CheckSelectedCountsOneAccount) {
  AddAccount(server->address(), "alice", "alice-pw");
  AddAccount(server->address(), "bob", "bob-pw");
  StartMailCheck(fakes.config, fakes.services, false, 1);
  ASSERT_TRUE(WaitForMailCheck(90000));
  EXPECT_EQ(fakes.config.DynamicConfig.NewMailCount, 4);
}
}  // namespace
