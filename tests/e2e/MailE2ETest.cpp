// The real program checking mail on a test Dovecot under its own Xvfb.
#include <gtest/gtest.h>

#include "support/DovecotServer.h"
#include "support/E2E.h"
#include "support/Pop3TestServer.h"
#include "support/TempHome.h"

namespace {
// Settings with mail checking on, the message box on, and the given accounts
// (server, user, password each).
QByteArray MailSettings(const QList<QStringList>& accounts) {
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
  }
  s += "\"EnableCheck\"=dword:00000001\r\n\"IntervalMinutes\"=dword:00000014\r\n";
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
