// A user adds a mail account on the accounts page of the real program, checks it against a
// real Dovecot and hides the window: the controls are found through the accessibility bus,
// the typing is real key presses.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>

#include "support/DovecotServer.h"
#include "support/E2E.h"
#include "support/TempHome.h"

namespace {
class AccountsPageE2E : public ::testing::Test {
 protected:
  // One step of tests/e2e/atspi.py; what it printed, or nothing when it failed.
  std::optional<QString> Atspi(const QString& verb, const QString& name) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display.display());
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral(QUILLATORNE_SOURCE_DIR "/tests/e2e/atspi.py"), verb, name});
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
      return std::nullopt;
    QString out = QString::fromUtf8(p.readAllStandardOutput());
    if (out.endsWith('\n')) out.chop(1);
    return out;
  }
  // Retries while the control is not there yet.
  std::optional<QString> AtspiWhenReady(const QString& verb, const QString& name) {
    std::optional<QString> out;
    WaitUntil([&] { return (out = Atspi(verb, name)).has_value(); }, 30000);
    return out;
  }
  // Waits (bounded) until the step reads `expected`: the program handles the keys and clicks
  // that led there in its own time. Gives what it read last.
  std::optional<QString> AtspiBecomes(const QString& verb, const QString& name,
                                      const QString& expected) {
    std::optional<QString> out;
    WaitUntil([&] { return (out = Atspi(verb, name)) == expected; }, 15000);
    return out;
  }
  void Keys(const QStringList& keys) {
    RunOnDisplay(display.display(), QStringLiteral("xdotool"), QStringList{"key"} + keys);
  }
  void Type(const QString& text) {
    RunOnDisplay(display.display(), QStringLiteral("xdotool"),
                 {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), text});
  }
  void Prepare(ProgramRun& run) {
    run.setEnv(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    run.setEnv(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
  }

  XvfbDisplay display;
  SessionBus bus;
  TempHome home;
};

// Mail checking on, the message box on, no accounts yet.
const char* kSettings =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\Base]\r\n"
    "\"OK\"=dword:00000001\r\n\r\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\Wallpaper]\r\n"
    "\"ChangeRule\"=dword:00000000\r\n\r\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\Email]\r\n"
    "\"AccountsNumber\"=dword:00000000\r\n"
    "\"EnableCheck\"=dword:00000001\r\n"
    "\"IntervalMinutes\"=dword:00000014\r\n"
    "\"ShowDialog\"=dword:00000001\r\n\r\n";

TEST_F(AccountsPageE2E, AddSaveCheckAndHide) {
  ASSERT_TRUE(display.ok());
  ASSERT_FALSE(bus.address().isEmpty()) << "no D-Bus session";
  DovecotServer dovecot({{"carol", "carol-pw", 5}});
  ASSERT_TRUE(dovecot.ok()) << "Dovecot could not be started: " << dovecot.error().toStdString();
  const QString settings = QStringLiteral(".config/Quillatorne/settings.reg");
  home.write(settings, kSettings);

  ProgramRun run(display, home);
  Prepare(run);
  ASSERT_TRUE(run.Start());
  ASSERT_TRUE(
      WaitUntil([&] { return QFile::exists(home.path() + "/run/quillatorne.socket"); }, 30000))
      << run.stderrText().toStdString();
  // A second start opens the window of the first.
  ProgramRun opener(display, home);
  Prepare(opener);
  ASSERT_TRUE(opener.Start());
  ASSERT_TRUE(opener.WaitForExit(30000));
  QString window;
  ASSERT_TRUE(WaitUntil(
      [&] { return !(window = ViewableWindow(display.display(), "Quillatorne")).isEmpty(); },
      15000));
  RunOnDisplay(display.display(), "xdotool", {"windowfocus", window});

  // The Email section opens on its first page, the accounts.
  ASSERT_TRUE(AtspiWhenReady("press", "Email")) << run.stderrText().toStdString();
  ASSERT_TRUE(AtspiWhenReady("press", "Add Account"));
  EXPECT_EQ(AtspiBecomes("text", "Account name", "New"), QStringLiteral("New"));
  EXPECT_EQ(AtspiBecomes("text", "Server", "server"), QStringLiteral("server"));
  EXPECT_EQ(AtspiBecomes("text", "User name", "user"), QStringLiteral("user"));
  EXPECT_EQ(AtspiBecomes("text", "Password", ""), QString());
  EXPECT_EQ(AtspiBecomes("enabled", "Save", "0"), QStringLiteral("0"));

  // The name is selected for typing over; Tab selects each next edit's text.
  ASSERT_TRUE(AtspiWhenReady("focus", "Account name"));
  Keys({"ctrl+a"});
  Type("Carol");
  Keys({"Tab"});
  Type(dovecot.address());
  Keys({"Tab"});
  Type("carol");
  Keys({"Tab"});
  Type("carol-pw");
  // The test server speaks plain POP3: past "Show" to the security, and its first choice.
  Keys({"Tab", "Tab", "Home"});
  EXPECT_EQ(AtspiBecomes("enabled", "Save", "1"), QStringLiteral("1"));
  ASSERT_TRUE(AtspiWhenReady("press", "Save"));
  EXPECT_TRUE(
      WaitUntil([&] { return Atspi("items", "Accounts") == QStringLiteral("Carol"); }, 10000))
      << Atspi("items", "Accounts").value_or("(no list)").toStdString();

  ASSERT_TRUE(AtspiWhenReady("press", "Check Selected"));
  QString box, props;
  const bool announced = WaitUntil(
      [&] {
        box = ViewableWindow(display.display(), "Email Checker Message");
        props = box.isEmpty() ? QString() : RunOnDisplay(display.display(), "xprop", {"-id", box});
        return props.contains("\"You have 5 email message(s) waiting!\"");
      },
      60000);
  EXPECT_TRUE(announced) << props.toStdString() << run.stderrText().toStdString();
  if (!box.isEmpty()) {
    RunOnDisplay(display.display(), "xdotool", {"windowfocus", box});
    Keys({"Return"});
    EXPECT_TRUE(WaitUntil([&] { return !WindowIdViewable(display.display(), box); }, 10000));
  }

  ASSERT_TRUE(AtspiWhenReady("press", "Hide"));
  QString saved;
  EXPECT_TRUE(WaitUntil(
      [&] {
        QFile file(home.path() + '/' + settings);
        saved = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        return saved.contains("Carol");
      },
      15000))
      << saved.toStdString();
  EXPECT_TRUE(saved.contains("\"AccountsNumber\"=dword:00000001")) << saved.toStdString();
  EXPECT_TRUE(saved.contains("\"User 1\"=\"carol\"")) << saved.toStdString();
  EXPECT_TRUE(saved.contains("\"Server 1\"=\"" + dovecot.address() + "\"")) << saved.toStdString();
  EXPECT_TRUE(saved.contains("\"Security 1\"=dword:00000000")) << saved.toStdString();
  // No keyring in this session: the password stays in the file.
  EXPECT_TRUE(saved.contains("\"Password 1\"=\"carol-pw\"")) << saved.toStdString();
  EXPECT_FALSE(WindowViewable(display.display(), "Quillatorne"));
  EXPECT_EQ(run.Terminate(), 0) << run.stderrText().toStdString();
}
}  // namespace
