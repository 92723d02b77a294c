// Push over IDLE against scripted servers: a check asked for on arrival, IDLE renewed,
// a lost connection taken up again, no IDLE left to the timed checks, nothing while
// checking is off.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "mail/MailCheck.h"
#include "mail/MailPush.h"
#include "support/Pop3TestServer.h"

namespace {
using S = ScriptedPop3Server;

// Greeting, LOGIN, STATUS and EXAMINE, as the watcher's client goes through them; then IDLE
// is sent and the steps given follow.
QList<S::Step> UpToIdle(bool idle, const QList<S::Step>& then) {
  QList<S::Step> steps = {S::Send(idle ? "* OK [CAPABILITY IMAP4rev1 IDLE] hi\r\n"
                                       : "* OK [CAPABILITY IMAP4rev1] hi\r\n"),
                          S::Receive(), S::Send("q1 OK in\r\n"), S::Receive(),
                          S::Send("* STATUS INBOX (UNSEEN 0 UIDVALIDITY 1)\r\nq2 OK\r\n")};
  if (!idle) return steps << S::Receive() << S::Send("* BYE\r\nq3 OK\r\n");  // LOGOUT
  steps << S::Receive() << S::Send("q3 OK [READ-ONLY]\r\n") << S::Receive()
        << S::Send("+ idling\r\n");
  return steps << then;
}

// New mail during the first IDLE: the news, DONE answered, IDLE begun again and held there.
QList<S::Step> Arrival() {
  return {S::Send("* 4 EXISTS\r\n"), S::Receive(), S::Send("q4 OK\r\n"), S::Receive(),
          S::Send("+ idling\r\n"),   S::Hold()};
}

class ImapPush : public testing::Test {
 protected:
  // Runs the event loop until `done` or a generous bound; the watchers' news arrives queued.
  static bool Until(const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
      if (t.elapsed() > 20000) return false;
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
  }
  static EmailAccount Account(const ScriptedPop3Server& server) {
    EmailAccount a;
    a.Server = QString::fromLatin1(server.address());
    a.User = QStringLiteral("ann");
    a.Password = QStringLiteral("secret");
    a.Protocol = MailProtocol::Imap;
    return a;
  }
  std::unique_ptr<MailPush> Push(const ScriptedPop3Server& server, bool* enabled,
                                 std::function<bool()> check) {
    const EmailAccount a = Account(server);
    MailPush::Timing timing;
    timing.firstPauseMs = 10;
    timing.longestPauseMs = 40;
    timing.renewMs = 60000;
    timing.lookMs = 50;
    return std::make_unique<MailPush>(
        [a, enabled] {
          return MailPush::Wanted{*enabled, {a}};
        },
        std::move(check), nullptr, timing);
  }
  bool enabled = true;
  int checks = 0;
  std::function<bool()> countChecks = [this] {
    ++checks;
    return true;
  };
};

TEST_F(ImapPush, ArrivalAsksForACheck) {
  ScriptedPop3Server server({UpToIdle(true, Arrival())});
  auto push = Push(server, &enabled, countChecks);
  EXPECT_TRUE(Until([&] { return checks == 1; }));
  push.reset();
  server.Release();
}

TEST_F(ImapPush, LostConnectionIsTakenUpAgain) {
  // The first connection drops mid-IDLE, the second is refused outright, the third stands.
  ScriptedPop3Server server(
      {UpToIdle(true, {S::Close()}), {S::Close()}, UpToIdle(true, Arrival())});
  auto push = Push(server, &enabled, countChecks);
  EXPECT_TRUE(Until([&] { return checks == 1; }));
  EXPECT_EQ(server.accepted(), 3);
  push.reset();
  server.Release();
}

TEST_F(ImapPush, CheckThatCannotStartNowIsAskedAgainLater) {
  ScriptedPop3Server server({UpToIdle(true, Arrival())});
  bool busy = true;
  auto push = Push(server, &enabled, [&] {
    ++checks;
    return !busy;
  });
  EXPECT_TRUE(Until([&] { return checks == 1; }));
  busy = false;
  emit MailChecks().ended();  // the check that ran has ended
  EXPECT_TRUE(Until([&] { return checks == 2; }));
  push.reset();
  server.Release();
}

TEST_F(ImapPush, ServerWithoutIdleIsLeftToTimedChecks) {
  ScriptedPop3Server server({UpToIdle(false, {})});
  auto push = Push(server, &enabled, countChecks);
  EXPECT_TRUE(Until([&] { return push->States() == QList{MailPush::State::NoIdle}; }));
  server.Finish();
  EXPECT_EQ(server.accepted(), 1);  // no second try
  EXPECT_EQ(server.received().last(), "q3 LOGOUT\r\n");
  EXPECT_EQ(checks, 0);
}

TEST_F(ImapPush, SwitchingCheckingOffDropsTheConnection) {
  ScriptedPop3Server server({UpToIdle(true, {S::Silent()})});
  auto push = Push(server, &enabled, countChecks);
  EXPECT_TRUE(Until([&] { return push->States() == QList{MailPush::State::Idling}; }));
  enabled = false;
  EXPECT_TRUE(Until([&] { return push->States().isEmpty(); }));
  server.Finish();  // returns once the client has gone
  EXPECT_EQ(checks, 0);
}

TEST_F(ImapPush, IdleIsRenewedBeforeTheServerDropsIt) {
  ScriptedPop3Server server({UpToIdle(true, {S::Receive(), S::Send("q4 OK\r\n"), S::Receive(),
                                             S::Send("+ idling\r\n"), S::Silent()})});
  const EmailAccount a = Account(server);
  MailPush::Timing timing;
  timing.renewMs = 100;
  MailPush push([a] { return MailPush::Wanted{true, {a}}; }, countChecks, nullptr, timing);
  EXPECT_TRUE(server.WaitForAccepted(1));
  EXPECT_TRUE(Until([&] { return server.received().size() >= 6; }));
  const QList<QByteArray> lines = server.received();
  ASSERT_GE(lines.size(), 6);
  EXPECT_EQ(lines[4], "DONE\r\n");
  EXPECT_EQ(lines[5], "q5 IDLE\r\n");
}
}  // namespace
