// The mail check: the trigger's rules and the worker's result, against scripted servers.
#include <gtest/gtest.h>

#include <climits>

#include "mail/MailCheck.h"
#include "mail/Pop3Client.h"
#include "platform/DateTime.h"
#include "settings/Config.h"
#include "support/Fakes.h"
#include "support/Pop3TestServer.h"
#include "support/TempHome.h"

namespace {
using S = ScriptedPop3Server;
constexpr double kMinute = 1.0 / 1440;

class MailCheck : public testing::Test {
 protected:
  void SetUp() override {
    fakes.config = Config(QSize(1024, 768));
    fakes.config.EmailConfig.EnableCheck = true;
    // The scripted servers speak only the counting conversation: no UIDL, no TOP.
    fakes.config.EmailConfig.ShowSenders = false;
    fakes.config.EmailConfig.IntervalMinutes = 20;
  }
  void TearDown() override { EXPECT_TRUE(WaitForMailCheck(60000)); }
  void AddAccount(const QByteArray& server, const QString& password = "secret",
                  bool enabled = true) {
    EmailAccount a;
    a.Server = QString::fromLatin1(server);
    a.User = QStringLiteral("ann");
    a.Password = password;
    a.EnableCheck = enabled;
    fakes.config.EmailConfig.Accounts << a;
  }
  // Runs a manual check to its end; false when the thread did not end.
  bool RunCheck(int accountIndex) {
    StartMailCheck(fakes.config, fakes.services, false, accountIndex);
    return WaitForMailCheck(60000);
  }
  double now() const { return DateTimeToDays(fakes.clock.now); }
  FakeServices fakes;
};

// --- the trigger ---------------------------------------------------------------------------

struct TriggerCase {
  const char* name;
  bool enabled;
  bool running;
  bool timed;
  double lastCheckMinutesAgo;
  int interval;
  bool starts;
};
// Test names in CTest stay readable.
void PrintTo(const TriggerCase& c, std::ostream* os) { *os << c.name; }

class MailCheckTrigger : public MailCheck, public testing::WithParamInterface<TriggerCase> {};

TEST_P(MailCheckTrigger, StartsOnlyWhenAllowed) {
  const TriggerCase& c = GetParam();
  auto& d = fakes.config.DynamicConfig;
  fakes.config.EmailConfig.EnableCheck = c.enabled;
  fakes.config.EmailConfig.IntervalMinutes = c.interval;
  d.EmailCheckRunning = c.running;
  const double before = now() - c.lastCheckMinutesAgo * kMinute;
  d.LastEmailCheck = before;
  StartMailCheck(fakes.config, fakes.services, c.timed, -1);
  ASSERT_TRUE(WaitForMailCheck(60000));
  // A check that ran has stamped its end and cleared the running mark.
  if (c.starts) {
    EXPECT_DOUBLE_EQ(d.LastEmailCheck, now());
    EXPECT_FALSE(d.EmailCheckRunning);
  } else {
    EXPECT_DOUBLE_EQ(d.LastEmailCheck, before);
    EXPECT_EQ(d.EmailCheckRunning, c.running);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, MailCheckTrigger,
    testing::Values(TriggerCase{"SwitchOffStopsTimed", false, false, true, 60, 20, false},
                    TriggerCase{"SwitchOffStopsManual", false, false, false, 60, 20, false},
                    TriggerCase{"RunningDropsManual", true, true, false, 60, 20, false},
                    TriggerCase{"RunningDropsTimed", true, true, true, 60, 20, false},
                    TriggerCase{"TimedNotYetDue", true, false, true, 19, 20, false},
                    TriggerCase{"TimedDue", true, false, true, 21, 20, true},
                    TriggerCase{"IntervalZeroRightAfterLast", true, false, true, 0, 0, true},
                    TriggerCase{"ManualIgnoresInterval", true, false, false, 0, 20, true},
                    TriggerCase{"TimedRightAfterLast", true, false, true, 0, 20, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MailCheck, FirstTickOfTheRunChecksAtOnce) {
  // LastEmailCheck starts at 0, long ago.
  StartMailCheck(fakes.config, fakes.services, true, -1);
  ASSERT_TRUE(WaitForMailCheck(60000));
  EXPECT_DOUBLE_EQ(fakes.config.DynamicConfig.LastEmailCheck, now());
}

TEST_F(MailCheck, ManualCheckPostponesTheNextTimedOne) {
  auto& d = fakes.config.DynamicConfig;
  ASSERT_TRUE(RunCheck(-1));
  const double manualEnd = d.LastEmailCheck;
  fakes.clock.Advance(19 * 60);
  StartMailCheck(fakes.config, fakes.services, true, -1);
  ASSERT_TRUE(WaitForMailCheck(60000));
  EXPECT_DOUBLE_EQ(d.LastEmailCheck, manualEnd);
  fakes.clock.Advance(60 + 1);
  StartMailCheck(fakes.config, fakes.services, true, -1);
  ASSERT_TRUE(WaitForMailCheck(60000));
  EXPECT_DOUBLE_EQ(d.LastEmailCheck, now());
}

// --- what a check publishes ----------------------------------------------------------------

// One mailbox: its count, or -1 for a closed port, -2 for a wrong password, -3 for 5
// messages and a refused QUIT, -4 for 5 messages and a hang-up right after STAT's reply.
struct ResultCase {
  const char* name;
  QList<int> boxes;
  int accountIndex;
  int total;
};
// Test names in CTest stay readable.
void PrintTo(const ResultCase& c, std::ostream* os) { *os << c.name; }

class MailCheckResult : public MailCheck, public testing::WithParamInterface<ResultCase> {};

TEST_P(MailCheckResult, PublishesTheTotal) {
  const ResultCase& c = GetParam();
  std::vector<std::unique_ptr<ScriptedPop3Server>> servers;
  for (int box : c.boxes) {
    if (box == -1) {
      AddAccount("127.0.0.1:" + QByteArray::number(ClosedLoopbackPort()));
      servers.push_back(nullptr);
      continue;
    }
    QList<S::Step> script = S::Mailbox(box);
    if (box == -2)
      script = {S::Send("+OK\r\n"), S::Receive(), S::Send("+OK\r\n"), S::Receive(),
                S::Send("-ERR wrong password\r\n")};
    if (box == -3) script = S::Mailbox(5) << S::Receive() << S::Send("-ERR not now\r\n");
    if (box == -4) script = S::Mailbox(5) << S::Close();
    servers.push_back(std::make_unique<ScriptedPop3Server>(QList<QList<S::Step>>{script}));
    // Accounts whose own flag is off are probed all the same.
    AddAccount(servers.back()->address(), "secret", servers.size() % 2 == 0);
  }
  auto& d = fakes.config.DynamicConfig;
  d.NewMailCount = 99;  // never announced: replaced, not added to
  ASSERT_TRUE(RunCheck(c.accountIndex));
  EXPECT_EQ(d.NewMailCount, c.total);
  EXPECT_EQ(d.NoNewMail, c.total == 0);
  EXPECT_FALSE(d.EmailCheckRunning);
  EXPECT_DOUBLE_EQ(d.LastEmailCheck, now());
  for (size_t i = 0; i < servers.size(); ++i) {
    if (!servers[i]) continue;
    servers[i]->Finish();
    const bool probed = c.accountIndex == -1 || c.accountIndex == static_cast<int>(i);
    EXPECT_EQ(servers[i]->accepted(), probed ? 1 : 0) << "account " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Accounts, MailCheckResult,
    testing::Values(ResultCase{"TwoAccountsAddUp", {3, 4}, -1, 7},
                    ResultCase{"SecondUnreachable", {3, -1}, -1, 3},
                    ResultCase{"WrongPasswordCountsZero", {-2, 4}, -1, 4},
                    ResultCase{"CheckSelectedProbesOne", {3, 4}, 1, 4},
                    // the count was taken before the goodbye failed
                    ResultCase{"RefusedQuitStillCounts", {-3, 1}, -1, 6},
                    // a connection no longer open adds nothing
                    ResultCase{"HangUpAfterStatCountsZero", {-4, 1}, -1, 1},
                    ResultCase{"SelectedIndexOutOfRange", {3}, 5, 0},
                    ResultCase{"NoAccounts", {}, -1, 0},
                    ResultCase{"EmptyMailboxes", {0, 0}, -1, 0},
                    ResultCase{"AllFail", {-1, -2}, -1, 0},
                    ResultCase{"HostileTotalStopsAtLargestInt", {INT_MAX, 5}, -1, INT_MAX}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MailCheck, AccountWithoutPasswordIsNotContacted) {
  ScriptedPop3Server server({S::Mailbox(3)});
  AddAccount(server.address(), QString());
  ASSERT_TRUE(RunCheck(-1));
  server.Finish();
  EXPECT_EQ(server.accepted(), 0);
  EXPECT_TRUE(fakes.config.DynamicConfig.NoNewMail);
}

// The clock is read once on the worker, for LastEmailCheck: by then the result must be in
// place and the check still marked as running.
class ObservingClock : public FakeClock {
 public:
  explicit ObservingClock(const DynamicConfigT& d) : d_(d) {}
  QDateTime Now() const override {
    const auto& d = d_;
    seen.push_back({d.NewMailCount, d.NoNewMail, d.EmailCheckRunning});
    return FakeClock::Now();
  }
  struct Seen {
    int count;
    bool noNewMail;
    bool running;
  };
  mutable std::vector<Seen> seen;

 private:
  const DynamicConfigT& d_;
};

TEST_F(MailCheck, PublishesResultThenTimeThenIdle) {
  ObservingClock clock(fakes.config.DynamicConfig);
  fakes.services.clock = &clock;
  ScriptedPop3Server server({S::Mailbox(6)});
  AddAccount(server.address());
  ASSERT_TRUE(RunCheck(-1));
  fakes.services.clock = &fakes.clock;
  ASSERT_EQ(clock.seen.size(), 1u);
  EXPECT_EQ(clock.seen[0].count, 6);
  EXPECT_FALSE(clock.seen[0].noNewMail);
  EXPECT_TRUE(clock.seen[0].running);
  EXPECT_FALSE(fakes.config.DynamicConfig.EmailCheckRunning);
}

TEST_F(MailCheck, ClientThatCannotBeMadeStillEndsTheCheck) {
  fakes.services.mailClient = []() -> std::unique_ptr<Pop3Client> {
    throw Pop3Error(QByteArrayLiteral("Initializaton of windows sockets failed"));
  };
  AddAccount("127.0.0.1:1");
  fakes.config.DynamicConfig.NewMailCount = 4;
  ASSERT_TRUE(RunCheck(-1));
  const auto& d = fakes.config.DynamicConfig;
  EXPECT_FALSE(d.EmailCheckRunning);
  EXPECT_EQ(d.NewMailCount, 0);
  EXPECT_TRUE(d.NoNewMail);
  EXPECT_DOUBLE_EQ(d.LastEmailCheck, now());
}

TEST_F(MailCheck, EditingTheAccountsWhileACheckRunsLeavesTheCheckAlone) {
  // The first server holds the check until the list has been edited the way the accounts
  // page edits it; the check goes on with the accounts as they were when it started.
  QList<S::Step> held = S::Mailbox(3);
  held.prepend(S::Hold());
  ScriptedPop3Server first({held});
  ScriptedPop3Server second({S::Mailbox(4)});
  ScriptedPop3Server added({S::Mailbox(50)});
  AddAccount(first.address());
  AddAccount(second.address());
  StartMailCheck(fakes.config, fakes.services, false, -1);
  ASSERT_TRUE(first.WaitForAccepted(1));

  auto& accounts = fakes.config.EmailConfig.Accounts;
  accounts[1].Server = QString::fromLatin1(added.address());
  accounts[1].Password = QStringLiteral("changed");
  accounts[0].Name = QStringLiteral("renamed");
  AddAccount(added.address());
  accounts.removeFirst();
  accounts.clear();
  AddAccount(added.address());
  first.Release();

  ASSERT_TRUE(WaitForMailCheck(60000));
  EXPECT_EQ(fakes.config.DynamicConfig.NewMailCount, 7);
  second.Finish();
  added.Finish();
  EXPECT_EQ(second.accepted(), 1);
  EXPECT_EQ(added.accepted(), 0);
  EXPECT_EQ(second.received().value(1), "PASS secret\r\n");
}

TEST_F(MailCheck, CountOnlyNewForgetsNothingAProbeThatFailedCounted) {
  TempHome home;  // where the counted messages are kept
  fakes.config.EmailConfig.CountOnlyNew = true;
  const auto session = [](bool hangUp) {
    QList<S::Step> s = S::Mailbox(2);
    s << S::Receive() << S::Send("+OK\r\n1 a\r\n2 b\r\n.\r\n");
    if (hangUp) return s << S::Close();  // instead of answering QUIT
    return s << S::Receive() << S::Send("+OK\r\n");
  };
  ScriptedPop3Server server({session(true), session(false), session(false)});
  AddAccount(server.address());
  auto& d = fakes.config.DynamicConfig;
  ASSERT_TRUE(RunCheck(-1));
  EXPECT_EQ(d.NewMailCount, 0);  // the probe failed: nothing counted
  ASSERT_TRUE(RunCheck(-1));
  EXPECT_EQ(d.NewMailCount, 2);  // so both are still new
  ASSERT_TRUE(RunCheck(-1));
  EXPECT_EQ(d.NewMailCount, 0);  // and now counted
  server.Finish();
  EXPECT_EQ(server.accepted(), 3);
}

TEST_F(MailCheck, QuittingEndsACheckStuckOnASilentServer) {
  ScriptedPop3Server server({{S::Silent()}});
  AddAccount(server.address());  // the client's own 30 s limit would hold the check
  StartMailCheck(fakes.config, fakes.services, false, -1);
  EXPECT_TRUE(fakes.config.DynamicConfig.EmailCheckRunning);
  // Let the worker reach the server and sit waiting for its greeting.
  ASSERT_TRUE(server.WaitForAccepted(1));
  AbandonMailCheck();
  EXPECT_FALSE(fakes.config.DynamicConfig.EmailCheckRunning);
  EXPECT_TRUE(WaitForMailCheck(0));
}

struct ServerCase {
  const char* text;
  const char* host;
  int port;
};
// Test names in CTest stay readable.
void PrintTo(const ServerCase& c, std::ostream* os) { *os << c.text; }

class MailServerField : public testing::TestWithParam<ServerCase> {};

TEST_P(MailServerField, SplitsHostAndPort) {
  QString host;
  int port = 0;
  SplitServer(QString::fromLatin1(GetParam().text), &host, &port);
  EXPECT_EQ(host, QString::fromLatin1(GetParam().host));
  EXPECT_EQ(port, GetParam().port);
}

INSTANTIATE_TEST_SUITE_P(Texts, MailServerField,
                         testing::Values(ServerCase{"pop.example.com", "pop.example.com", 110},
                                         ServerCase{"pop.example.com:995", "pop.example.com", 995},
                                         ServerCase{"10.0.0.1:2110", "10.0.0.1", 2110},
                                         ServerCase{"host:0", "host:0", 110},
                                         ServerCase{"host:70000", "host:70000", 110},
                                         ServerCase{"host:+5", "host:+5", 110},
                                         ServerCase{"host:", "host:", 110},
                                         ServerCase{":110", ":110", 110},
                                         ServerCase{"a:b:1", "a:b:1", 110}));
}  // namespace
