// Mail checks over TLS against a real Dovecot, with a certificate authority of the test's own
// that only the client's configuration trusts.
#include <gtest/gtest.h>

#include <QSslSocket>
#include <QThread>

#include "mail/MailCheck.h"
#include "mail/Pop3Client.h"
#include "settings/Config.h"
#include "support/DovecotServer.h"
#include "support/Fakes.h"
#include "support/TestCertificates.h"

namespace {
class DovecotTls : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    certs = new TestCertificates;
    if (!certs->ok()) return;
    // Over POP3 alice has 4 messages, bob 6, carol 3; over IMAP 1, 2 and 1 of them unseen.
    tlsOnly = new DovecotServer({{"alice", "alice-pw", 3, 1}, {"bob", "bob-pw", 4, 2}},
                                {certs->certFile(), certs->keyFile(), true});
    plain = new DovecotServer({{"carol", "carol-pw", 2, 1}});
  }
  static void TearDownTestSuite() {
    delete tlsOnly;
    delete plain;
    delete certs;
    tlsOnly = plain = nullptr;
    certs = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(QSslSocket::supportsSsl()) << "Qt has no TLS backend";
    ASSERT_TRUE(certs->ok()) << certs->error().toStdString();
    ASSERT_TRUE(tlsOnly->ok()) << tlsOnly->error().toStdString();
    ASSERT_TRUE(plain->ok()) << plain->error().toStdString();
    fakes.config = Config(QSize(1024, 768));
    fakes.config.EmailConfig.EnableCheck = true;
    TrustTestCa(true);
  }
  void TearDown() override { EXPECT_TRUE(WaitForMailCheck(90000)); }
  // Clients trust the test's authority, or only the system's.
  void TrustTestCa(bool trust) {
    fakes.services.mailClient = [trust] { return Trusting<Pop3Client>(trust); };
    fakes.services.imapClient = [trust] { return Trusting<ImapClient>(trust); };
  }
  template <class Client>
  static std::unique_ptr<Client> Trusting(bool trust) {
    auto client = std::make_unique<Client>();
    if (trust) {
      client->Tls = Pop3Client::SystemTls();
      client->Tls->setCaCertificates(certs->ca());
    }
    return client;
  }
  void AddAccount(const QString& server, const QString& user, MailSecurity security,
                  MailProtocol protocol = MailProtocol::Pop3) {
    EmailAccount a;
    a.Protocol = protocol;
    a.Name = user;
    a.Server = server;
    a.User = user;
    a.Password = user + "-pw";
    a.Security = security;
    fakes.config.EmailConfig.Accounts << a;
  }
  int Check() {
    StartMailCheck(fakes.config, fakes.services, false, -1);
    EXPECT_TRUE(WaitForMailCheck(90000));
    return fakes.config.DynamicConfig.NewMailCount;
  }
  FakeServices fakes;
  static TestCertificates* certs;
  static DovecotServer* tlsOnly;  // refuses every login not under TLS
  static DovecotServer* plain;    // offers no TLS at all
};
TestCertificates* DovecotTls::certs = nullptr;
DovecotServer* DovecotTls::tlsOnly = nullptr;
DovecotServer* DovecotTls::plain = nullptr;

// Which server and port an account names.
enum class Where { TlsPort, StartTlsPort, PlainServer };

struct TlsAccount {
  Where where;
  const char* host;  // the certificate names "localhost" only
  const char* user;
  MailSecurity security;
  MailProtocol protocol = MailProtocol::Pop3;
};

struct TlsCase {
  const char* name;
  QList<TlsAccount> accounts;
  bool trustTestCa;
  int total;
  // How each account's probe ended: -1 counted, else the failure.
  QList<int> outcomes;
};
// Test names in CTest stay readable.
void PrintTo(const TlsCase& c, std::ostream* os) { *os << c.name; }

class DovecotTlsCheck : public DovecotTls, public testing::WithParamInterface<TlsCase> {};

TEST_P(DovecotTlsCheck, CountsOnlyWhatTlsProtects) {
  const TlsCase& c = GetParam();
  TrustTestCa(c.trustTestCa);
  for (const TlsAccount& a : c.accounts) {
    const bool imap = a.protocol == MailProtocol::Imap;
    const int port = a.where == Where::TlsPort ? (imap ? tlsOnly->imapTlsPort() : tlsOnly->tlsPort())
                     : a.where == Where::StartTlsPort ? (imap ? tlsOnly->imapPort() : tlsOnly->port())
                                                      : (imap ? plain->imapPort() : plain->port());
    AddAccount(QStringLiteral("%1:%2").arg(QLatin1String(a.host)).arg(port),
               QString::fromLatin1(a.user), a.security, a.protocol);
  }
  EXPECT_EQ(Check(), c.total);
  QList<int> outcomes;
  for (const MailProbeResult& r : TakeMailCheckResults())
    outcomes << (r.ok ? -1 : static_cast<int>(r.failure));
  EXPECT_EQ(outcomes, c.outcomes);
}

constexpr int kCounted = -1;
constexpr int kUntrusted = static_cast<int>(Pop3Failure::CertificateNotTrusted);
constexpr int kNoTls = static_cast<int>(Pop3Failure::NoTls);
using enum Where;
using MS = MailSecurity;
using MP = MailProtocol;

INSTANTIATE_TEST_SUITE_P(
    Accounts, DovecotTlsCheck,
    testing::Values(
        TlsCase{"ImplicitTlsAndStartTlsCount",
                {{TlsPort, "localhost", "alice", MS::SslTls},
                 {StartTlsPort, "localhost", "bob", MS::StartTls}},
                true,
                10,  // POP3 counts seen and unseen alike
                {kCounted, kCounted}},
        TlsCase{"CertificateForAnotherHostIsRefused",
                {{TlsPort, "127.0.0.1", "alice", MS::SslTls},
                 {StartTlsPort, "127.0.0.1", "bob", MS::StartTls}},
                true,
                0,
                {kUntrusted, kUntrusted}},
        TlsCase{"AuthorityTheSystemDoesNotKnowIsRefused",
                {{TlsPort, "localhost", "alice", MS::SslTls},
                 {StartTlsPort, "localhost", "bob", MS::StartTls}},
                false,
                0,
                {kUntrusted, kUntrusted}},
        TlsCase{"ServerWithoutStlsIsRefusedUnderStartTls",
                {{PlainServer, "localhost", "carol", MS::StartTls}},
                true,
                0,
                {kNoTls}},
        TlsCase{"ImplicitTlsOnAPlainPortFails",
                {{StartTlsPort, "localhost", "bob", MS::SslTls}},
                true,
                0,
                {kNoTls}},
        TlsCase{"PlainStillCounts", {{PlainServer, "localhost", "carol", MS::None}}, true, 3, {kCounted}},
        TlsCase{"ImapImplicitTlsAndStartTlsCountUnseen",
                {{TlsPort, "localhost", "alice", MS::SslTls, MP::Imap},
                 {StartTlsPort, "localhost", "bob", MS::StartTls, MP::Imap}},
                true,
                3,
                {kCounted, kCounted}},
        TlsCase{"ImapCertificateForAnotherHostIsRefused",
                {{TlsPort, "127.0.0.1", "alice", MS::SslTls, MP::Imap},
                 {StartTlsPort, "127.0.0.1", "bob", MS::StartTls, MP::Imap}},
                true,
                0,
                {kUntrusted, kUntrusted}},
        TlsCase{"ImapAuthorityTheSystemDoesNotKnowIsRefused",
                {{TlsPort, "localhost", "alice", MS::SslTls, MP::Imap}},
                false,
                0,
                {kUntrusted}},
        TlsCase{"ImapServerWithoutStartTlsIsRefused",
                {{PlainServer, "localhost", "carol", MS::StartTls, MP::Imap}},
                true,
                0,
                {kNoTls}},
        TlsCase{"ImapPlainCountsUnseen",
                {{PlainServer, "localhost", "carol", MS::None, MP::Imap}},
                true,
                1,
                {kCounted}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DovecotTls, EveryLoginOnTheServerIsUnderTls) {
  DovecotServer server({{"alice", "alice-pw", 3}, {"bob", "bob-pw", 4}},
                       {certs->certFile(), certs->keyFile(), true});
  ASSERT_TRUE(server.ok()) << server.error().toStdString();
  AddAccount(QStringLiteral("localhost:%1").arg(server.tlsPort()), "alice", MailSecurity::SslTls);
  AddAccount(QStringLiteral("localhost:%1").arg(server.port()), "bob", MailSecurity::StartTls);
  // Refused certificates end before any login, on either port.
  AddAccount(QStringLiteral("127.0.0.1:%1").arg(server.tlsPort()), "alice", MailSecurity::SslTls);
  AddAccount(QStringLiteral("127.0.0.1:%1").arg(server.port()), "bob", MailSecurity::StartTls);
  EXPECT_EQ(Check(), 7);
  // The server's log process writes a little after the connection has ended.
  const auto logins = [&](int n) {
    for (int i = 0; i < 200 && server.logins().size() < n; ++i) QThread::msleep(50);
    return server.logins();
  };
  const QStringList tls = logins(2);
  ASSERT_EQ(tls.size(), 2) << server.log().toStdString();
  for (const QString& line : tls) EXPECT_TRUE(line.contains(", TLS")) << line.toStdString();
  EXPECT_FALSE(server.log().contains(QStringLiteral("plaintext"))) << server.log().toStdString();

  // The log does tell a login without TLS, as a plain account shows.
  fakes.config.EmailConfig.Accounts.clear();
  AddAccount(QStringLiteral("localhost:%1").arg(server.port()), "alice", MailSecurity::None);
  Check();
  const QStringList all = logins(3);
  ASSERT_EQ(all.size(), 3) << server.log().toStdString();
  EXPECT_FALSE(all[2].contains(", TLS")) << all[2].toStdString();
}
}  // namespace
