// IMAP against a real Dovecot: unseen counts, senders and subjects, "Count only new
// messages" across checks and a restart (POP3 too), encoded subjects, IDLE.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <thread>

#include "mail/ImapClient.h"
#include "mail/MailCheck.h"
#include "mail/MailNotify.h"
#include "mail/MailPush.h"
#include "settings/Config.h"
#include "support/DovecotServer.h"
#include "support/Fakes.h"
#include "support/TempHome.h"

namespace {
using MP = MailProtocol;

class DovecotImap : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    // alice: 3 seen and 2 unseen; bob: 4 seen.
    server = new DovecotServer({{"alice", "alice-pw", 3, 2}, {"bob", "bob-pw", 4, 0}});
  }
  static void TearDownTestSuite() {
    delete server;
    server = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(server->ok()) << server->error().toStdString();
    Fresh();
  }
  void TearDown() override { EXPECT_TRUE(WaitForMailCheck(90000)); }
  // The settings of a program just started; files on disk stay.
  void Fresh() {
    fakes.config = Config(QSize(1024, 768));
    fakes.config.EmailConfig.EnableCheck = true;
  }
  void AddAccount(const DovecotServer& s, const QString& user, MailProtocol protocol) {
    EmailAccount a;
    a.Name = user;
    a.Server = protocol == MP::Imap ? s.imapAddress() : s.address();
    a.User = user;
    a.Password = user + "-pw";
    a.Protocol = protocol;
    fakes.config.EmailConfig.Accounts << a;
  }
  int Check() {
    StartMailCheck(fakes.config, fakes.services, false, -1);
    EXPECT_TRUE(WaitForMailCheck(90000));
    return fakes.config.DynamicConfig.NewMailCount.exchange(0);
  }
  static QStringList Lines(const QList<MailSummary>& summaries) {
    QStringList lines;
    for (const MailSummary& s : summaries) lines << SummaryLine(s);
    return lines;
  }
  static ImapClient* Connected(ImapClient& client, const DovecotServer& s, const QString& user) {
    client.Host = QStringLiteral("127.0.0.1");
    client.Port = s.imapPort();
    client.UserID = user;
    client.Password = user + "-pw";
    client.Connect();
    return &client;
  }
  FakeServices fakes;
  TempHome home;  // where "Count only new messages" keeps what it counted
  static DovecotServer* server;
};
DovecotServer* DovecotImap::server = nullptr;

struct CountCase {
  const char* name;
  QList<std::pair<const char*, MailProtocol>> accounts;
  int total;
};
void PrintTo(const CountCase& c, std::ostream* os) { *os << c.name; }

class DovecotImapCount : public DovecotImap, public testing::WithParamInterface<CountCase> {};

TEST_P(DovecotImapCount, UnseenOverImapEverythingOverPop3) {
  for (const auto& [user, protocol] : GetParam().accounts)
    AddAccount(*server, QString::fromLatin1(user), protocol);
  EXPECT_EQ(Check(), GetParam().total);
  for (const MailProbeResult& r : TakeMailCheckResults())
    EXPECT_TRUE(r.ok) << r.detail.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Accounts, DovecotImapCount,
    testing::Values(CountCase{"ImapSeenAndUnseen", {{"alice", MP::Imap}}, 2},
                    CountCase{"ImapAllSeen", {{"bob", MP::Imap}}, 0},
                    CountCase{"Pop3SameMailbox", {{"alice", MP::Pop3}}, 5},
                    CountCase{"BothProtocolsInOneCheck",
                              {{"alice", MP::Imap}, {"bob", MP::Pop3}, {"bob", MP::Imap}},
                              6}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DovecotImap, ImapCheckLeavesMessagesUnseen) {
  AddAccount(*server, "alice", MP::Imap);
  EXPECT_EQ(Check(), 2);
  EXPECT_EQ(Check(), 2);  // fetching envelopes marked nothing seen
}

class DovecotSenders : public DovecotImap, public testing::WithParamInterface<MailProtocol> {};

TEST_P(DovecotSenders, NewestMessagesNamed) {
  AddAccount(*server, "alice", GetParam());
  Check();
  const QStringList expected =
      GetParam() == MP::Imap
          ? QStringList{"Sender 4: unseen 4", "Sender 5: unseen 5"}
          // POP3 cannot tell seen from unseen: the newest five of all
          : QStringList{"sender@example.invalid: message 1", "sender@example.invalid: message 2",
                        "sender@example.invalid: message 3", "Sender 4: unseen 4",
                        "Sender 5: unseen 5"};
  EXPECT_EQ(Lines(TakeNewMailSummaries()), expected);
}

TEST_P(DovecotSenders, NoNamesWhenSwitchedOff) {
  fakes.config.EmailConfig.ShowSenders = false;
  AddAccount(*server, "alice", GetParam());
  EXPECT_GT(Check(), 0);
  EXPECT_TRUE(TakeNewMailSummaries().isEmpty());
}

TEST_P(DovecotSenders, EncodedSubjectsAndNamesDecode) {
  DovecotServer own({{"carol", "carol-pw", 0, 0}});
  ASSERT_TRUE(own.ok()) << own.error().toStdString();
  ASSERT_TRUE(own.Deliver("carol", "=?UTF-8?B?SsO8cmdlbg==?= <j@example.org>",
                          "=?UTF-8?Q?Gr=C3=BC=C3=9Fe_aus_K=C3=B6ln?="));
  ASSERT_TRUE(own.Deliver("carol", "\"=?ISO-8859-1?Q?Ren=E9?=\" <r@example.org>",
                          "=?ISO-8859-1?Q?Caf=E9?= =?ISO-8859-1?Q?_cr=E8me?="));
  AddAccount(own, "carol", GetParam());
  EXPECT_EQ(Check(), 2);
  EXPECT_EQ(Lines(TakeNewMailSummaries()), (QStringList{QString::fromUtf8("Jürgen: Grüße aus Köln"),
                                                        QString::fromUtf8("René: Café crème")}));
}

TEST_P(DovecotSenders, CountOnlyNewAnnouncesAMessageOnceAcrossChecksAndARestart) {
  DovecotServer own({{"dave", "dave-pw", 2, 1}});
  ASSERT_TRUE(own.ok()) << own.error().toStdString();
  const auto start = [&] {
    Fresh();
    fakes.config.EmailConfig.CountOnlyNew = true;
    AddAccount(own, "dave", GetParam());
  };
  start();
  // The first look counts what is there: all three over POP3, the unseen one over IMAP.
  EXPECT_EQ(Check(), GetParam() == MP::Imap ? 1 : 3);
  EXPECT_EQ(Check(), 0);
  ASSERT_TRUE(own.Deliver("dave", "Eve <eve@example.org>", "Fresh news"));
  EXPECT_EQ(Check(), 1);
  EXPECT_EQ(Lines(TakeNewMailSummaries()), QStringList{"Eve: Fresh news"});
  start();  // a restart: only the file remembers
  EXPECT_EQ(Check(), 0);
  EXPECT_TRUE(TakeNewMailSummaries().isEmpty());
  ASSERT_TRUE(own.Deliver("dave", "Fay <fay@example.org>", "Later"));
  EXPECT_EQ(Check(), 1);
}

INSTANTIATE_TEST_SUITE_P(Protocols, DovecotSenders, testing::Values(MP::Pop3, MP::Imap),
                         [](const auto& info) {
                           return std::string(info.param == MP::Imap ? "Imap" : "Pop3");
                         });

TEST_F(DovecotImap, IdleHearsOfDeliveries) {
  DovecotServer own({{"gil", "gil-pw", 1, 0}});
  ASSERT_TRUE(own.ok()) << own.error().toStdString();
  ImapClient client;
  Connected(client, own, "gil");
  ASSERT_TRUE(client.CanIdle());
  ASSERT_EQ(client.MessageIds(), QStringList());
  // Delivered while the client waits in IDLE, or just before: either way it must hear.
  std::thread deliver([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    own.Deliver("gil", "Hal <hal@example.org>", "Pushed");
  });
  const bool news = client.WaitForNews(30000);
  deliver.join();
  EXPECT_TRUE(news);
  const auto ids = client.MessageIds();
  ASSERT_TRUE(ids.has_value());
  ASSERT_EQ(ids->size(), 1);
  EXPECT_EQ(Lines(client.Summaries(*ids)), QStringList{"Hal: Pushed"});
  client.Disconnect();
}

TEST_F(DovecotImap, ServerWithoutIdleSaysSo) {
  DovecotServer own({{"ivy", "ivy-pw", 0, 1}}, {}, DovecotImapOptions{false});
  ASSERT_TRUE(own.ok()) << own.error().toStdString();
  ImapClient client;
  Connected(client, own, "ivy");
  EXPECT_FALSE(client.CanIdle());
  EXPECT_EQ(client.MessageCount(), 1);
  client.Disconnect();
}

TEST_F(DovecotImap, DeliveryIsPushedAndNamedBetweenTimedChecks) {
  DovecotServer own({{"jo", "jo-pw", 2, 0}});
  ASSERT_TRUE(own.ok()) << own.error().toStdString();
  AddAccount(own, "jo", MP::Imap);
  // No timed check runs here: only the push can start one.
  MailPush push(
      [&] { return MailPush::Wanted{true, fakes.config.EmailConfig.Accounts}; },
      [&] { return StartMailCheck(fakes.config, fakes.services, false, -1); },
      fakes.services.imapClient);
  QElapsedTimer t;
  t.start();
  while (push.States() != QList{MailPush::State::Idling} && t.elapsed() < 30000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  ASSERT_EQ(push.States(), QList{MailPush::State::Idling});
  ASSERT_TRUE(own.Deliver("jo", "Kim <kim@example.org>", "Pushed to you"));
  t.restart();
  while (fakes.config.DynamicConfig.NewMailCount == 0 && t.elapsed() < 30000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  // A figure, not a condition: the push should take well under 10 s.
  std::printf("[ figure ] delivery to published count: %lld ms\n",
              static_cast<long long>(t.elapsed()));
  EXPECT_TRUE(WaitForMailCheck(30000));
  // Announced as a timed check's news is: in the box and in the notification centre.
  fakes.config.EmailConfig.ShowDialog = fakes.config.EmailConfig.ShowNotification = true;
  AnnounceNewMail(nullptr, fakes.config, fakes.services);
  ASSERT_EQ(fakes.messages.calls.size(), 1);
  EXPECT_EQ(fakes.messages.calls[0].text,
            "You have 1 email message(s) waiting!\n\nKim: Pushed to you");
  ASSERT_EQ(fakes.notifications.shown.size(), 1);
  EXPECT_EQ(fakes.notifications.shown[0].notification.body, "Kim: Pushed to you");
}
}  // namespace
