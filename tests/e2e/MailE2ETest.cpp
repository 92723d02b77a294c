// The real program checking mail on a test Dovecot under its own Xvfb.
#include <gtest/gtest.h>

#include "support/DovecotServer.h"
#include "support/E2E.h"
#include "support/Pop3TestServer.h"
#include "support/TempHome.h"
#include "support/TestCertificates.h"

namespace {
// Settings with mail checking on, the message box on, and the given accounts
// (server, user, password, and optionally the security number each).
QByteArray MailSettings(const QList<QStringList>& accounts, bool reportErrors = false) {
  const QByteArray root = "[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\";
  QByteArray s = "Windows Registry Editor Version 5.00\r\n\r\n";
  s += root + "Base]\r\n\"OK\"=dword:00000001\r\n\r\n";
  s += root + "Wallpaper]\r\n\"ChangeRule\"=dword:00000000\r\n\r\n";
  s += root + "Email]\r\n\"AccountsNumber\"=dword:0000000" + QByteArray::number(accounts.size()) +
       "\r\n\r\n";
  // With accounts present, the mail options are kept beside them.
  s += root + "Email Accounts]\r\n";
  for (int n = 1; n <= accounts.size(); ++n) {
    const QStringList& a = accounts[n - 1];
    const QByteArray i = QByteArray::number(n);
    s += "\"name " + i + "\"=\"Test " + i + "\"\r\n";
    s += "\"Server " + i + "\"=\"" + a[0].toUtf8() + "\"\r\n";
    s += "\"User " + i + "\"=\"" + a[1].toUtf8() + "\"\r\n";
    s += "\"Password " + i + "\"=\"" + a[2].toUtf8() + "\"\r\n";
    s += "\"EnableCheck " + i + "\"=dword:00000001\r\n";
    if (a.size() > 3) s += "\"Security " + i + "\"=dword:0000000" + a[3].toUtf8() + "\r\n";
  }
  s += "\"EnableCheck\"=dword:00000001\r\n\"IntervalMinutes\"=dword:00000014\r\n";
  if (reportErrors) s += "\"ReportErrorsDialog\"=dword:00000001\r\n";
  // These tests read the count alone; the names under it have tests of their own.
  s += "\"ShowSenders\"=dword:00000000\r\n";
  s += "\"ShowDialog\"=dword:00000001\r\n\r\n";
  return s;
}

TEST(MailE2E, FirstTickAnnouncesTheMailWaitingOnTheServer) {
  DovecotServer dovecot({{"alice", "alice-pw", 3}, {"bob", "bob-pw", 4}});
  ASSERT_TRUE(dovecot.ok()) << "Dovecot could not be started: " << dovecot.error().toStdString();
  TempHome home;
  home.write(QStringLiteral(".config/Quillatorne/settings.reg"),
             MailSettings(
                 {{dovecot.address(), "alice", "alice-pw"}, {dovecot.address(), "bob", "bob-pw"}}));
  XvfbDisplay display;
  ASSERT_TRUE(display.ok());
  ProgramRun run(display, home);
  ASSERT_TRUE(run.Start());
  // The box names its text as its icon name, where X clients can read it.
  QString props;
  const bool shown = WaitUntil(
      [&] {
        const QString box = ViewableWindow(display.display(), "Email Checker Message");
        props = box.isEmpty() ? QString() : RunOnDisplay(display.display(), "xprop", {"-id", box});
        return props.contains("\"You have 7 email message(s) waiting!\"");
      },
      60000);
  EXPECT_TRUE(shown) << "no message box with the count; window properties:\n"
                     << props.toStdString() << "\nprogram output:\n"
                     << run.stderrText().toStdString();
  // Quitting with the box open ends the program cleanly.
  EXPECT_EQ(run.Terminate(), 0) << run.stderrText().toStdString();
}

// The text of every viewable box with that title (a box names its text as its icon name).
QStringList BoxTexts(const QString& display, const QString& title) {
  QStringList texts;
  for (const QString& id : WindowIds(display, title)) {
    if (!WindowIdViewable(display, id)) continue;
    // _NET_WM_ICON_NAME(UTF8_STRING) = "text", with quotes inside escaped
    const QString props =
        RunOnDisplay(display, "xprop", {"-id", id, "_NET_WM_ICON_NAME"}).trimmed();
    const qsizetype open = props.indexOf('"');
    if (open < 0 || !props.endsWith('"')) continue;
    texts << props.mid(open + 1, props.size() - open - 2).replace(QStringLiteral("\\\""), QStringLiteral("\""));
  }
  return texts;
}

TEST(MailE2E, TlsAccountsCountAndACertificateForAnotherHostIsReported) {
  TestCertificates certs;
  ASSERT_TRUE(certs.ok()) << certs.error().toStdString();
  DovecotServer dovecot({{"alice", "alice-pw", 3}, {"bob", "bob-pw", 4}},
                        {certs.certFile(), certs.keyFile(), true});
  ASSERT_TRUE(dovecot.ok()) << "Dovecot could not be started: " << dovecot.error().toStdString();
  const QString tls = QStringLiteral("localhost:%1").arg(dovecot.tlsPort());
  const QString startTls = QStringLiteral("localhost:%1").arg(dovecot.port());
  // The certificate names localhost; the third account asks for 127.0.0.1.
  const QString wrongHost = QStringLiteral("127.0.0.1:%1").arg(dovecot.tlsPort());
  TempHome home;
  home.write(QStringLiteral(".config/Quillatorne/settings.reg"),
             MailSettings({{tls, "alice", "alice-pw", "2"},
                           {startTls, "bob", "bob-pw", "1"},
                           {wrongHost, "alice", "alice-pw", "2"}},
                          true));
  XvfbDisplay display;
  ASSERT_TRUE(display.ok());
  ProgramRun run(display, home);
  // The test's authority is trusted the way OpenSSL lets a user add one.
  run.setEnv(QStringLiteral("SSL_CERT_FILE"), certs.caFile());
  ASSERT_TRUE(run.Start());
  QStringList mail;
  QStringList errors;
  const bool shown = WaitUntil(
      [&] {
        mail = BoxTexts(display.display(), "Email Checker Message");
        errors = BoxTexts(display.display(), "Email Checker Error");
        return !mail.isEmpty() && !errors.isEmpty();
      },
      60000);
  EXPECT_TRUE(shown) << "boxes: " << mail.join(" | ").toStdString() << " / "
                     << errors.join(" | ").toStdString() << "\nprogram output:\n"
                     << run.stderrText().toStdString();
  EXPECT_EQ(mail, QStringList{"You have 7 email message(s) waiting!"});
  ASSERT_EQ(errors.size(), 1) << errors.join(" | ").toStdString();
  EXPECT_TRUE(errors[0].startsWith("Checking the mail of \"Test 3\" failed: the server's TLS "
                                   "certificate is not trusted ("))
      << errors[0].toStdString();
  EXPECT_TRUE(errors[0].contains("host name", Qt::CaseInsensitive)) << errors[0].toStdString();
  EXPECT_EQ(run.Terminate(), 0) << run.stderrText().toStdString();
  // The reason also went to standard error, once.
  EXPECT_EQ(run.stderrText().count("\"Test 3\" failed"), 1) << run.stderrText().toStdString();
  // Two logins, both under TLS; nothing tried in clear.
  const QStringList logins = dovecot.logins();
  EXPECT_EQ(logins.size(), 2) << dovecot.log().toStdString();
  for (const QString& line : logins) EXPECT_TRUE(line.contains(", TLS")) << line.toStdString();
  EXPECT_FALSE(dovecot.log().contains("plaintext")) << dovecot.log().toStdString();
}

TEST(MailE2E, QuittingWhileACheckWaitsOnASilentServer) {
  ScriptedPop3Server silent({{ScriptedPop3Server::Silent()}});
  TempHome home;
  home.write(QStringLiteral(".config/Quillatorne/settings.reg"),
             MailSettings({{QString::fromLatin1(silent.address()), "ann", "secret"}}));
  XvfbDisplay display;
  ASSERT_TRUE(display.ok());
  ProgramRun run(display, home);
  ASSERT_TRUE(run.Start());
  ASSERT_TRUE(WaitUntil([&] { return silent.accepted() == 1; }, 60000))
      << run.stderrText().toStdString();
  // The check would wait 30 s for a greeting; quitting must neither wait for it nor crash.
  EXPECT_EQ(run.Terminate(10000), 0) << run.stderrText().toStdString();
}
}  // namespace
