// The IMAP client against scripted servers: the response grammar (tagged and untagged
// replies, literals, BYE), whole exchanges, and IDLE, including servers that go away.
#include <gtest/gtest.h>

#include "mail/ImapClient.h"
#include "support/Pop3TestServer.h"

namespace {
using S = ScriptedPop3Server;

// --- the grammar -----------------------------------------------------------------------------

struct ParseCase {
  const char* name;
  QByteArray raw;
  bool parses;
  QByteArray tag, status, code, text;
  QByteArray data;  // the data values, flattened: atoms as they are, strings in <>, lists in ()
};
void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

QByteArray Flatten(const QList<ImapValue>& values) {
  QList<QByteArray> parts;
  for (const ImapValue& v : values) {
    switch (v.kind) {
      case ImapValue::Atom:
        parts << v.text;
        break;
      case ImapValue::String:
        parts << '<' + v.text + '>';
        break;
      case ImapValue::Nil:
        parts << "NIL";
        break;
      case ImapValue::List:
        parts << '(' + Flatten(v.items) + ')';
        break;
    }
  }
  return parts.join(' ');
}

class ImapGrammar : public testing::TestWithParam<ParseCase> {};

TEST_P(ImapGrammar, ResponseParts) {
  const ParseCase& c = GetParam();
  const std::optional<ImapResponse> r = ParseImapResponse(c.raw);
  ASSERT_EQ(r.has_value(), c.parses);
  if (!r) return;
  EXPECT_EQ(r->tag, c.tag);
  EXPECT_EQ(r->status, c.status);
  EXPECT_EQ(r->code, c.code);
  EXPECT_EQ(r->text, c.text);
  EXPECT_EQ(Flatten(r->data), c.data);
}

INSTANTIATE_TEST_SUITE_P(
    Responses, ImapGrammar,
    testing::Values(
        ParseCase{"TaggedOk", "q1 OK LOGIN completed\r\n", true, "q1", "OK", "", "LOGIN completed",
                  ""},
        ParseCase{"TaggedNoWithCode", "q2 NO [AUTHENTICATIONFAILED] Bad password\r\n", true, "q2",
                  "NO", "AUTHENTICATIONFAILED", "Bad password", ""},
        ParseCase{"StatusIsCaseBlind", "q3 ok done\r\n", true, "q3", "OK", "", "done", ""},
        ParseCase{"GreetingWithCapabilities", "* OK [CAPABILITY IMAP4rev1 IDLE] ready\r\n", true,
                  "*", "OK", "CAPABILITY IMAP4rev1 IDLE", "ready", ""},
        ParseCase{"Bye", "* BYE Server shutting down\r\n", true, "*", "BYE", "",
                  "Server shutting down", ""},
        ParseCase{"Continuation", "+ idling\r\n", true, "+", "", "", "idling", ""},
        ParseCase{"Exists", "* 23 EXISTS\r\n", true, "*", "", "", "", "23 EXISTS"},
        ParseCase{"Status", "* STATUS INBOX (UNSEEN 3 UIDVALIDITY 77)\r\n", true, "*", "", "", "",
                  "STATUS INBOX (UNSEEN 3 UIDVALIDITY 77)"},
        ParseCase{"QuotedMailboxWithEscapes", "* STATUS \"In \\\"box\\\"\" (UNSEEN 1)\r\n", true,
                  "*", "", "", "", "STATUS <In \"box\"> (UNSEEN 1)"},
        ParseCase{"LiteralInPlace", "* STATUS {5}\r\nIN)BX (UNSEEN 2)\r\n", true, "*", "", "", "",
                  "STATUS <IN)BX> (UNSEEN 2)"},
        ParseCase{"EmptySearch", "* SEARCH\r\n", true, "*", "", "", "", "SEARCH"},
        ParseCase{"NilAndNested",
                  "* 1 FETCH (UID 9 ENVELOPE (NIL \"s\" ((\"A\" NIL \"a\" \"h\"))))\r\n", true, "*",
                  "", "", "", "1 FETCH (UID 9 ENVELOPE (NIL <s> ((<A> NIL <a> <h>))))"},
        ParseCase{"SectionIsOneAtom", "* 1 FETCH (BODY[HEADER.FIELDS (FROM)] {3}\r\nabc)\r\n", true,
                  "*", "", "", "", "1 FETCH (BODY[HEADER.FIELDS (FROM)] <abc>)"},
        ParseCase{"TaggedDataIsNoResponse", "q1 23 EXISTS\r\n", false, "", "", "", "", ""},
        ParseCase{"NoSpaceIsNoResponse", "garbage\r\n", false, "", "", "", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ImapEnvelope, SenderAndSubjectDecoded) {
  const QList<ImapValue> v = ParseImapValues(
      "(\"Mon, 7 Feb 1994 21:52:25 -0800\" \"=?ISO-8859-1?Q?Caf=E9?= au lait\" "
      "((\"=?UTF-8?B?SsO8cmdlbg==?=\" NIL \"juergen\" \"example.org\")) NIL NIL NIL NIL NIL NIL "
      "\"<id@x>\")");
  ASSERT_EQ(v.size(), 1);
  const MailSummary s = SummaryOfEnvelope(v[0]);
  EXPECT_EQ(s.sender, QString::fromUtf8("Jürgen"));
  EXPECT_EQ(s.subject, QString::fromUtf8("Café au lait"));
}

TEST(ImapGrammar, EndlessNestingIsCutShort) {
  const QByteArray deep = "* 1 FETCH " + QByteArray(100000, '(') + "\r\n";
  const std::optional<ImapResponse> r = ParseImapResponse(deep);
  ASSERT_TRUE(r.has_value());
  EXPECT_LE(Flatten(r->data).count('('), 64);
}

TEST(ImapEnvelope, NamelessSenderIsTheAddress) {
  const QList<ImapValue> v =
      ParseImapValues("(NIL NIL ((NIL NIL \"ann\" \"example.org\")) NIL NIL NIL NIL NIL NIL NIL)");
  ASSERT_EQ(v.size(), 1);
  const MailSummary s = SummaryOfEnvelope(v[0]);
  EXPECT_EQ(s.sender, "ann@example.org");
  EXPECT_EQ(s.subject, "");
}

// --- whole exchanges -------------------------------------------------------------------------

const QByteArray kGreeting = "* OK [CAPABILITY IMAP4rev1 IDLE] ready\r\n";
QList<S::Step> LoggedIn() {
  return {S::Send(kGreeting), S::Receive(), S::Send("q1 OK [CAPABILITY IMAP4rev1 IDLE] in\r\n")};
}

struct ExchangeCase {
  const char* name;
  QList<S::Step> script;
  QByteArray failure;  // empty: Connect succeeds
  int count;
  QList<QByteArray> clientLines;
  QString password = QStringLiteral("secret");
};
void PrintTo(const ExchangeCase& c, std::ostream* os) { *os << c.name; }

class ImapExchange : public testing::TestWithParam<ExchangeCase> {};

TEST_P(ImapExchange, LinesOnTheWireAndOutcome) {
  const ExchangeCase& c = GetParam();
  ScriptedPop3Server server({c.script});
  ASSERT_NE(server.port(), 0);
  ImapClient client;
  client.Host = QStringLiteral("127.0.0.1");
  client.Port = server.port();
  client.UserID = QStringLiteral("ann");
  client.Password = c.password;
  client.TimeOut = 5000;
  QByteArray failure;
  try {
    client.Connect();
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

const QList<S::Step> kStatus3 = {S::Receive(), S::Send("* STATUS INBOX (UNSEEN 3 UIDVALIDITY 7)\r\n"
                                                       "q2 OK done\r\n")};
const QList<S::Step> kLogout = {S::Receive(), S::Send("* BYE bye\r\nq3 OK out\r\n")};
const QByteArray kLoginLine = "q1 LOGIN \"ann\" \"secret\"\r\n";
const QByteArray kStatusLine = "q2 STATUS INBOX (MESSAGES UNSEEN UIDVALIDITY)\r\n";

INSTANTIATE_TEST_SUITE_P(
    Scripts, ImapExchange,
    testing::Values(
        ExchangeCase{"UnseenCount",
                     LoggedIn() + kStatus3 + kLogout,
                     "",
                     3,
                     {kLoginLine, kStatusLine, "q3 LOGOUT\r\n"}},
        // LOGOUT's BYE with the hang-up and no tagged OK still ends well.
        ExchangeCase{"HangUpAfterLogoutBye",
                     LoggedIn() + kStatus3 +
                         QList<S::Step>{S::Receive(), S::Send("* BYE bye\r\n"), S::Close()},
                     "",
                     3,
                     {kLoginLine, kStatusLine, "q3 LOGOUT\r\n"}},
        ExchangeCase{"UntaggedLinesBeforeTheTagged",
                     LoggedIn() +
                         QList<S::Step>{S::Receive(),
                                        S::Send("* 4 EXISTS\r\n* OK [ALERT] hi\r\n"
                                                "* STATUS \"INBOX\" (UIDVALIDITY 1 UNSEEN 12)\r\n"
                                                "q2 OK done\r\n")} +
                         kLogout,
                     "",
                     12,
                     {kLoginLine, kStatusLine, "q3 LOGOUT\r\n"}},
        ExchangeCase{"StatusAsALiteral",
                     LoggedIn() +
                         QList<S::Step>{S::Receive(), S::Send("* STATUS {5}\r\n"),
                                        S::Send("INBOX (UNSEEN 2)\r\nq2 OK done\r\n")} +
                         kLogout,
                     "",
                     2,
                     {kLoginLine, kStatusLine, "q3 LOGOUT\r\n"}},
        ExchangeCase{"LoginRefused",
                     {S::Send(kGreeting), S::Receive(),
                      S::Send("q1 NO [AUTHENTICATIONFAILED] Authentication failed.\r\n")},
                     "NO Authentication failed.",
                     0,
                     {kLoginLine}},
        ExchangeCase{"ByeGreeting",
                     {S::Send("* BYE Too many connections\r\n"), S::Close()},
                     "BYE Too many connections",
                     0,
                     {}},
        ExchangeCase{
            "ByeThenHangUpMidCommand",
            {S::Send(kGreeting), S::Receive(), S::Send("* BYE Shutting down\r\n"), S::Close()},
            "Shutting down",
            0,
            {kLoginLine}},
        ExchangeCase{"HangUpWithoutBye",
                     {S::Send(kGreeting), S::Receive(), S::Close()},
                     "The server hung up",
                     0,
                     {kLoginLine}},
        ExchangeCase{"NotImap", {S::Send("+OK POP3 ready\r\n")}, "Not an IMAP greeting", 0, {}},
        // Quotes and backslashes are escaped; 8-bit passwords go as literals after "+".
        ExchangeCase{"PasswordEscaped",
                     {S::Send(kGreeting), S::Receive(), S::Send("q1 NO no\r\n")},
                     "NO no",
                     0,
                     {"q1 LOGIN \"ann\" \"a\\\"b\\\\c\"\r\n"},
                     QStringLiteral("a\"b\\c")},
        ExchangeCase{"PasswordAsLiteral",
                     {S::Send(kGreeting), S::Receive(), S::Send("+ go on\r\n"), S::Receive(),
                      S::Send("q1 NO no\r\n")},
                     "NO no",
                     0,
                     {"q1 LOGIN \"ann\" {7}\r\n", "s\xc3\xa9" "cret\r\n"},
                     QString::fromUtf8("sécret")}),
    [](const auto& info) { return std::string(info.param.name); });

// --- unseen messages, their envelopes, IDLE ----------------------------------------------------

class ImapSession : public testing::Test {
 protected:
  void Start(const QList<S::Step>& afterStatus, const QList<S::Step>& status = kStatus3) {
    server = std::make_unique<ScriptedPop3Server>(
        QList<QList<S::Step>>{LoggedIn() + status + afterStatus});
    client->Host = QStringLiteral("127.0.0.1");
    client->Port = server->port();
    client->UserID = QStringLiteral("ann");
    client->Password = QStringLiteral("secret");
    client->TimeOut = 5000;
    client->Connect();
  }
  void TearDown() override {
    client.reset();  // the server's script ends when its client has gone
    if (server) server->Finish();
  }
  std::unique_ptr<ScriptedPop3Server> server;
  std::unique_ptr<ImapClient> client = std::make_unique<ImapClient>();
};

TEST_F(ImapSession, UnseenUidsAndTheirSendersReadOnly) {
  Start({S::Receive(),
         S::Send("* 5 EXISTS\r\n* OK [UIDVALIDITY 7] ok\r\nq3 OK [READ-ONLY] done\r\n"),
         S::Receive(), S::Send("* SEARCH 12 4\r\nq4 OK done\r\n"), S::Receive(),
         S::Send("* 1 FETCH (UID 4 ENVELOPE (NIL \"Lunch\" ((\"Ann\" NIL \"ann\" \"x\")) NIL NIL "
                 "NIL NIL NIL NIL NIL))\r\n"
                 "* 2 FETCH (UID 12 ENVELOPE (NIL {7}\r\n"),
         S::Send("Re: (x)"),
         S::Send(" ((NIL NIL \"bob\" \"y\")) NIL NIL NIL NIL NIL NIL NIL))\r\nq5 OK done\r\n")});
  const auto ids = client->MessageIds();
  ASSERT_TRUE(ids.has_value());
  EXPECT_EQ(*ids, (QStringList{"7/4", "7/12"}));
  const QList<MailSummary> s = client->Summaries(*ids);
  ASSERT_EQ(s.size(), 2);
  EXPECT_EQ(SummaryLine(s[0]), "Ann: Lunch");
  EXPECT_EQ(SummaryLine(s[1]), "bob@y: Re: (x)");
  client.reset();
  server->Finish();
  const QList<QByteArray> lines = server->received();
  ASSERT_EQ(lines.size(), 5);
  // EXAMINE, never SELECT: the check marks nothing seen.
  EXPECT_EQ(lines[2], "q3 EXAMINE INBOX\r\n");
  EXPECT_EQ(lines[3], "q4 UID SEARCH UNSEEN\r\n");
  EXPECT_EQ(lines[4], "q5 UID FETCH 4,12 (UID ENVELOPE)\r\n");
}

struct IdleCase {
  const char* name;
  QList<S::Step> afterIdle;  // the server's side once IDLE is sent
  bool news;
  QByteArray failure;
  bool stillOpen = true;  // a server that refuses is still there; one that left is not
};
void PrintTo(const IdleCase& c, std::ostream* os) { *os << c.name; }

class ImapIdle : public ImapSession, public testing::WithParamInterface<IdleCase> {};

TEST_P(ImapIdle, NewsOrFailure) {
  const IdleCase& c = GetParam();
  Start(QList<S::Step>{S::Receive(), S::Send("q3 OK [READ-ONLY] done\r\n"), S::Receive()} +
        c.afterIdle);
  ASSERT_TRUE(client->CanIdle());
  QByteArray failure;
  bool news = false;
  try {
    news = client->WaitForNews(300);
  } catch (const Pop3Error& e) {
    failure = e.description();
  }
  EXPECT_EQ(news, c.news);
  EXPECT_EQ(failure, c.failure);
  EXPECT_EQ(client->ConnectionOpen(), c.stillOpen);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, ImapIdle,
    testing::Values(
        IdleCase{"NewMessage",
                 {S::Send("+ idling\r\n* 6 EXISTS\r\n"), S::Receive(), S::Send("q4 OK done\r\n")},
                 true,
                 ""},
        IdleCase{"Arrival",
                 {S::Send("+ idling\r\n"), S::Send("* 1 RECENT\r\n"), S::Receive(),
                  S::Send("q4 OK\r\n")},
                 true,
                 ""},
        // The user reading or deleting mail elsewhere is no new mail.
        IdleCase{"FlagChangeAndExpungeAreNoNews",
                 {S::Send("+ idling\r\n* 2 FETCH (FLAGS (\\Seen))\r\n* 3 EXPUNGE\r\n"),
                  S::Receive(), S::Send("q4 OK\r\n")},
                 false,
                 ""},
        // Keep-alives are no news: the wait runs out and DONE ends it.
        IdleCase{"OnlyKeepAlive",
                 {S::Send("+ idling\r\n* OK Still here\r\n"), S::Receive(), S::Send("q4 OK\r\n")},
                 false,
                 ""},
        IdleCase{"ServerEndsIdle", {S::Send("+ idling\r\nq4 OK timed out\r\n")}, false, ""},
        IdleCase{"ByeThenHangUp",
                 {S::Send("+ idling\r\n"), S::Send("* BYE Server shutting down\r\n"), S::Close()},
                 false,
                 "Server shutting down",
                 false},
        IdleCase{"DroppedMidIdle",
                 {S::Send("+ idling\r\n"), S::Close()},
                 false,
                 "The server hung up",
                 false},
        IdleCase{
            "IdleRefused", {S::Send("q4 BAD unknown command\r\n")}, false, "BAD unknown command"}),
    [](const auto& info) { return std::string(info.param.name); });

// Mail that arrives before IDLE has begun is heard of all the same. STATUS counted 5 messages.
struct ArrivalCase {
  const char* name;
  QByteArray examined;       // the answer to EXAMINE
  QList<S::Step> afterIdle;  // the server's side once IDLE is sent; empty: IDLE is never sent
  bool news;
};
void PrintTo(const ArrivalCase& c, std::ostream* os) { *os << c.name; }

class ImapArrival : public ImapSession, public testing::WithParamInterface<ArrivalCase> {};

TEST_P(ImapArrival, IsNewsWhenTheCountGrew) {
  const ArrivalCase& c = GetParam();
  QList<S::Step> script{S::Receive(), S::Send(c.examined)};
  if (!c.afterIdle.isEmpty()) script << S::Receive() << c.afterIdle;
  Start(script, {S::Receive(), S::Send("* STATUS INBOX (MESSAGES 5 UNSEEN 1 UIDVALIDITY 7)\r\n"
                                       "q2 OK done\r\n")});
  EXPECT_EQ(client->WaitForNews(300), c.news);
  client.reset();
  server->Finish();
  EXPECT_EQ(server->received().contains("q4 IDLE\r\n"), !c.afterIdle.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, ImapArrival,
    testing::Values(
        ArrivalCase{"BetweenStatusAndExamine",
                    "* 6 EXISTS\r\n* 1 RECENT\r\nq3 OK [READ-ONLY] done\r\n",
                    {},
                    true},
        // RECENT on EXAMINE counts messages no session has looked at, old ones too.
        ArrivalCase{"RecentOnExamineIsNoNews",
                    "* 5 EXISTS\r\n* 2 RECENT\r\nq3 OK [READ-ONLY] done\r\n",
                    {S::Send("+ idling\r\n"), S::Receive(), S::Send("q4 OK\r\n")},
                    false},
        ArrivalCase{"ToldBeforeIdlesGoAhead",
                    "* 5 EXISTS\r\nq3 OK done\r\n",
                    {S::Send("* 6 EXISTS\r\n+ idling\r\n"), S::Receive(), S::Send("q4 OK\r\n")},
                    true},
        ArrivalCase{"ToldWithTheAnswerToDone",
                    "* 5 EXISTS\r\nq3 OK done\r\n",
                    {S::Send("+ idling\r\n"), S::Receive(), S::Send("* 6 EXISTS\r\nq4 OK\r\n")},
                    true},
        ArrivalCase{"TheSameCountAgainIsNoNews",
                    "* 5 EXISTS\r\nq3 OK done\r\n",
                    {S::Send("+ idling\r\n* 5 EXISTS\r\n"), S::Receive(), S::Send("q4 OK\r\n")},
                    false},
        ArrivalCase{"ExpungedThenOneNew",
                    "* 5 EXISTS\r\nq3 OK done\r\n",
                    {S::Send("+ idling\r\n* 2 EXPUNGE\r\n* 5 EXISTS\r\n"), S::Receive(),
                     S::Send("q4 OK\r\n")},
                    true}),
    [](const auto& info) { return std::string(info.param.name); });
}  // namespace
