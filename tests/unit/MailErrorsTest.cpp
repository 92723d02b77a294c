// Failed mail checks told to the user: the reasons, the boxes, the sound, standard error.
#include <gtest/gtest.h>

#include "mail/MailCheck.h"
#include "mail/MailErrors.h"
#include "mail/Pop3Client.h"
#include "settings/Config.h"
#include "support/Fakes.h"
#include "support/Pop3TestServer.h"

namespace {
using S = ScriptedPop3Server;

QList<S::Step> WrongPassword() {
  return {S::Send("+OK\r\n"), S::Receive(), S::Send("+OK\r\n"), S::Receive(),
          S::Send("-ERR wrong password\r\n"), S::Receive(), S::Send("+OK bye\r\n")};
}

class MailErrors : public testing::Test {
 protected:
  void SetUp() override {
    fakes.config = Config(QSize(1024, 768));
    fakes.config.EmailConfig.EnableCheck = true;
    // The scripted servers speak only the counting conversation: no UIDL, no TOP.
    fakes.config.EmailConfig.ShowSenders = false;
    fakes.config.EmailConfig.ReportErrorsDialog = true;
  }
  void TearDown() override {
    EXPECT_TRUE(WaitForMailCheck(60000));
  }
  void AddAccount(const QString& name, const QByteArray& server,
                  MailSecurity security = MailSecurity::None) {
    EmailAccount a;
    a.Name = name;
    a.Server = QString::fromLatin1(server);
    a.User = QStringLiteral("ann");
    a.Password = QStringLiteral("secret");
    a.Security = security;
    fakes.config.EmailConfig.Accounts << a;
  }
  static QByteArray Closed() { return "127.0.0.1:" + QByteArray::number(ClosedLoopbackPort()); }
  // One check to its end, then the tick's report.
  void CheckAndReport() {
    StartMailCheck(fakes.config, fakes.services, false, -1);
    ASSERT_TRUE(WaitForMailCheck(60000));
    reports.Report(fakes.config.EmailConfig, fakes.services);
  }
  QStringList Boxes() const {
    QStringList texts;
    for (const auto& call : fakes.messages.calls) texts << call.text;
    return texts;
  }
  FakeServices fakes;
  MailErrorReports reports;  // the program keeps one for its run
};

struct ReasonCase {
  const char* name;
  QList<S::Step> script;  // empty: a closed port
  MailSecurity security;
  const char* reason;
};
// Test names in CTest stay readable.
void PrintTo(const ReasonCase& c, std::ostream* os) { *os << c.name; }

class MailErrorReason : public MailErrors, public testing::WithParamInterface<ReasonCase> {};

TEST_P(MailErrorReason, BoxNamesTheAccountAndTheReason) {
  const ReasonCase& c = GetParam();
  std::unique_ptr<S> server;
  if (!c.script.isEmpty()) server = std::make_unique<S>(QList<QList<S::Step>>{c.script});
  AddAccount(QStringLiteral("Work"), server ? server->address() : Closed(), c.security);
  CheckAndReport();
  ASSERT_EQ(fakes.messages.calls.size(), 1);
  EXPECT_EQ(fakes.messages.calls[0].text,
            QStringLiteral("Checking the mail of \"Work\" failed: %1.").arg(QLatin1String(c.reason)));
  EXPECT_EQ(fakes.messages.calls[0].caption, "Email Checker Error");
  EXPECT_EQ(fakes.messages.calls[0].flags, MB_OK | MB_ICONERROR);
  if (server && c.security == MailSecurity::StartTls) {
    server->Finish();
    EXPECT_EQ(server->received(), (QList<QByteArray>{"STLS\r\n", "QUIT\r\n"}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, MailErrorReason,
    testing::Values(
        ReasonCase{"ClosedPort", {}, MailSecurity::None, "cannot connect to the server"},
        ReasonCase{"WrongPassword", WrongPassword(), MailSecurity::None,
                   "the user name or password was refused"},
        ReasonCase{"HangUpAfterGreeting",
                   {S::Send("+OK\r\n"), S::Close()},
                   MailSecurity::None,
                   "the server does not answer"},
        ReasonCase{"HangUpAfterStat", S::Mailbox(3) << S::Close(), MailSecurity::None,
                   "the server does not answer"},
        ReasonCase{"StatRefused",
                   {S::Send("+OK\r\n"), S::Receive(), S::Send("+OK\r\n"), S::Receive(),
                    S::Send("+OK\r\n"), S::Receive(), S::Send("-ERR locked\r\n"), S::Receive(),
                    S::Send("+OK bye\r\n")},
                   MailSecurity::None,
                   "the server refused the check (-ERR locked)"},
        // The refusal comes before any login: no user name or password goes out in clear.
        ReasonCase{"NoStartTls",
                   {S::Send("+OK\r\n"), S::Receive(), S::Send("-ERR what?\r\n"), S::Receive(),
                    S::Send("+OK bye\r\n")},
                   MailSecurity::StartTls,
                   "the server does not offer a secure (TLS) connection"}),
    [](const auto& info) { return std::string(info.param.name); });

struct OptionsCase {
  const char* name;
  bool dialog;
  bool sound;
  const char* soundFile;
  int boxes;
  bool chosenSound;  // the chosen file played; else, with sound on, the system's
};
// Test names in CTest stay readable.
void PrintTo(const OptionsCase& c, std::ostream* os) { *os << c.name; }

class MailErrorOptions : public MailErrors, public testing::WithParamInterface<OptionsCase> {};

TEST_P(MailErrorOptions, ReportAsTheOptionsSay) {
  const OptionsCase& c = GetParam();
  auto& e = fakes.config.EmailConfig;
  e.ReportErrorsDialog = c.dialog;
  e.ReportErrorsSound = c.sound;
  e.ErrorSound = QString::fromLatin1(c.soundFile);
  AddAccount(QStringLiteral("Work"), Closed());
  AddAccount(QStringLiteral("Home"), Closed());
  testing::internal::CaptureStderr();
  CheckAndReport();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(fakes.messages.calls.size(), c.boxes);
  // One sound for the check, however many accounts failed.
  if (c.sound && c.chosenSound) {
    EXPECT_EQ(fakes.desktop.sounds, QStringList{QString::fromLatin1(c.soundFile)});
  } else if (!c.sound) {
    EXPECT_TRUE(fakes.desktop.sounds.isEmpty());
  } else {
    EXPECT_LE(fakes.desktop.sounds.size(), 1);  // the theme's sound, or the bell
  }
  // Standard error hears of it in any case.
  EXPECT_NE(err.find("\"Work\" failed: cannot connect to the server"), std::string::npos) << err;
  EXPECT_NE(err.find("\"Home\" failed"), std::string::npos) << err;
}

INSTANTIATE_TEST_SUITE_P(
    Options, MailErrorOptions,
    testing::Values(OptionsCase{"BothOffIsSilent", false, false, "", 0, false},
                    OptionsCase{"DialogOnly", true, false, "/snd/err.wav", 2, false},
                    OptionsCase{"ChosenSound", false, true, "/snd/err.wav", 0, true},
                    OptionsCase{"SystemSoundWhenNoneChosen", false, true, "", 0, false},
                    OptionsCase{"Both", true, true, "/snd/err.wav", 2, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MailErrors, OneBoxPerAccountUntilACheckOfItSucceeds) {
  // The same mailbox: fails, fails, counts, fails.
  S work({WrongPassword(), WrongPassword(), S::Mailbox(2), WrongPassword()});
  AddAccount(QStringLiteral("Work"), work.address());
  AddAccount(QStringLiteral("Dead"), Closed());
  testing::internal::CaptureStderr();
  CheckAndReport();
  EXPECT_EQ(Boxes().size(), 2);
  CheckAndReport();
  EXPECT_EQ(Boxes().size(), 2) << "a failure already told is not told again";
  CheckAndReport();
  EXPECT_EQ(fakes.config.DynamicConfig.NewMailCount, 2);
  EXPECT_EQ(Boxes().size(), 2);
  CheckAndReport();
  const std::string err = testing::internal::GetCapturedStderr();
  ASSERT_EQ(Boxes().size(), 3);
  EXPECT_TRUE(Boxes()[2].contains("\"Work\"")) << Boxes()[2].toStdString();
  // Standard error: each reason once per run.
  size_t lines = 0;
  for (size_t at = err.find("\"Work\" failed"); at != std::string::npos;
       at = err.find("\"Work\" failed", at + 1))
    ++lines;
  EXPECT_EQ(lines, 1u) << err;
}

TEST_F(MailErrors, ATickInsideTheBoxReportsNothingTwice) {
  AddAccount(QStringLiteral("Work"), Closed());
  AddAccount(QStringLiteral("Home"), Closed());
  int nested = 0;
  fakes.messages.answer = [&](const FakeMessageBoxes::Call&) {
    ++nested;
    // The tick keeps running under a modal box.
    reports.Report(fakes.config.EmailConfig, fakes.services);
    return IDOK;
  };
  CheckAndReport();
  EXPECT_EQ(Boxes().size(), 2);
  EXPECT_EQ(nested, 2);
}

TEST_F(MailErrors, NothingToReportWhileNoCheckHasEnded) {
  reports.Report(fakes.config.EmailConfig, fakes.services);
  EXPECT_TRUE(Boxes().isEmpty());
  EXPECT_TRUE(fakes.desktop.sounds.isEmpty());
}
}  // namespace
