// A user adds a mail account on the accounts page of the real program, checks it against a
// real Dovecot and hides the window: the controls are found through the accessibility bus,
// the typing is real key presses.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QProcess>

#include "support/DovecotServer.h"
#include "support/E2E.h"
#include "support/NotificationServer.h"
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
    const bool finished = p.waitForFinished(30000);
    lastError = finished ? QString::fromUtf8(p.readAllStandardError()).trimmed()
                         : QStringLiteral("no answer within 30 s");
    if (!finished || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
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

  // Starts the program and opens its window on the accounts page.
  void OpenAccountsPage(ProgramRun& run) {
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
  }
  // "Add Account", the four edits typed, then the protocol and the security chosen with the
  // keys given for each (Home: the first choice, End: the last), then "Save".
  void AddAccount(const QString& name, const QString& server, const QString& user,
                  const QString& password, const QString& protocolKey, const QString& securityKey) {
    ASSERT_TRUE(AtspiWhenReady("press", "Add Account"));
    EXPECT_EQ(AtspiBecomes("text", "Account name", "New"), QStringLiteral("New"));
    EXPECT_EQ(AtspiBecomes("text", "Server", "server"), QStringLiteral("server"));
    EXPECT_EQ(AtspiBecomes("text", "User name", "user"), QStringLiteral("user"));
    EXPECT_EQ(AtspiBecomes("text", "Password", ""), QString());
    EXPECT_EQ(AtspiBecomes("enabled", "Save", "0"), QStringLiteral("0"));

    // The name is selected for typing over; Tab selects each next edit's text.
    ASSERT_TRUE(AtspiWhenReady("focus", "Account name"));
    Keys({"ctrl+a"});
    Type(name);
    Keys({"Tab"});
    Type(server);
    Keys({"Tab"});
    Type(user);
    Keys({"Tab"});
    Type(password);
    // Past "Show" to the protocol, then the security.
    Keys({"Tab", "Tab", protocolKey, "Tab", securityKey});
    EXPECT_EQ(AtspiBecomes("enabled", "Save", "1"), QStringLiteral("1"));
    ASSERT_TRUE(AtspiWhenReady("press", "Save")) << lastError.toStdString();
    EXPECT_TRUE(WaitUntil([&] { return Atspi("items", "Accounts") == name; }, 10000))
        << Atspi("items", "Accounts").value_or("(no list)").toStdString();
  }
  // Waits for the announcement box whose text holds `text` (in the window's properties,
  // where the box names its text as its icon name); closes it with Return.
  bool Announced(const QByteArray& text, QString* props) {
    QString box;
    const bool shown = WaitUntil(
        [&] {
          box = ViewableWindow(display.display(), "Email Checker Message");
          *props =
              box.isEmpty() ? QString() : RunOnDisplay(display.display(), "xprop", {"-id", box});
          return props->contains(QString::fromUtf8(text));
        },
        60000);
    if (!box.isEmpty()) {
      RunOnDisplay(display.display(), "xdotool", {"windowfocus", box});
      Keys({"Return"});
      EXPECT_TRUE(WaitUntil([&] { return !WindowIdViewable(display.display(), box); }, 10000));
    }
    return shown;
  }

  XvfbDisplay display;
  SessionBus bus;
  QString lastError;  // what the last accessibility step said when it failed
  TempHome home;
};

// Mail checking on, the message box on, no accounts yet.
QByteArray Settings(bool showSenders, bool notification = false) {
  return QByteArray(
             "Windows Registry Editor Version 5.00\r\n\r\n"
             "[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\Base]\r\n"
             "\"OK\"=dword:00000001\r\n\r\n"
             "[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\Wallpaper]\r\n"
             "\"ChangeRule\"=dword:00000000\r\n\r\n"
             "[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\Email]\r\n"
             "\"AccountsNumber\"=dword:00000000\r\n"
             "\"EnableCheck\"=dword:00000001\r\n"
             "\"IntervalMinutes\"=dword:00000014\r\n") +
         (showSenders ? "" : "\"ShowSenders\"=dword:00000000\r\n") +
         (notification ? "\"ShowNotification\"=dword:00000001\r\n" : "") +
         "\"ShowDialog\"=dword:00000001\r\n\r\n";
}

TEST_F(AccountsPageE2E, AddSaveCheckAndHide) {
  ASSERT_TRUE(display.ok());
  ASSERT_FALSE(bus.address().isEmpty()) << "no D-Bus session";
  DovecotServer dovecot({{"carol", "carol-pw", 5}});
  ASSERT_TRUE(dovecot.ok()) << "Dovecot could not be started: " << dovecot.error().toStdString();
  const QString settings = QStringLiteral(".config/Quillatorne/settings.reg");
  home.write(settings, Settings(false));

  ProgramRun run(display, home);
  OpenAccountsPage(run);
  // The test server speaks plain POP3: the first protocol and the first security.
  AddAccount("Carol", dovecot.address(), "carol", "carol-pw", "Home", "Home");

  ASSERT_TRUE(AtspiWhenReady("press", "Check Selected")) << lastError.toStdString();
  QString props;
  EXPECT_TRUE(Announced("\"You have 5 email message(s) waiting!\"", &props))
      << props.toStdString() << run.stderrText().toStdString();

  ASSERT_TRUE(AtspiWhenReady("press", "Hide"))
      << lastError.toStdString() << "\n" << run.stderrText().toStdString();
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
  EXPECT_TRUE(saved.contains("\"Protocol 1\"=dword:00000000")) << saved.toStdString();
  // No keyring in this session: the password stays in the file.
  EXPECT_TRUE(saved.contains("\"Password 1\"=\"carol-pw\"")) << saved.toStdString();
  EXPECT_FALSE(WindowViewable(display.display(), "Quillatorne"));
  EXPECT_EQ(run.Terminate(), 0) << run.stderrText().toStdString();
}

TEST_F(AccountsPageE2E, ImapAccountAnnouncesWhoWrote) {
  ASSERT_TRUE(display.ok());
  ASSERT_FALSE(bus.address().isEmpty()) << "no D-Bus session";
  DovecotServer dovecot({{"dora", "dora-pw", 4}});
  ASSERT_TRUE(dovecot.ok()) << "Dovecot could not be started: " << dovecot.error().toStdString();
  ASSERT_TRUE(dovecot.Deliver("dora", "Ada Lovelace <ada@example.org>", "Notes on the engine"));
  NotificationServer notices(bus.address());
  ASSERT_TRUE(notices.ok()) << notices.error().toStdString();
  const QString settings = QStringLiteral(".config/Quillatorne/settings.reg");
  home.write(settings, Settings(true, true));

  ProgramRun run(display, home);
  OpenAccountsPage(run);
  // New accounts are IMAP over SSL/TLS: IMAP stays (the last protocol), the test server has
  // no TLS (the first security). An IMAP account given to POP3 would announce nothing.
  AddAccount("Dora", dovecot.imapAddress(), "dora", "dora-pw", "End", "Home");

  ASSERT_TRUE(AtspiWhenReady("press", "Check Selected")) << lastError.toStdString();
  QString props;
  // Only the unseen message counts, and the box says who wrote and about what.
  EXPECT_TRUE(Announced("You have 1 email message(s) waiting!", &props))
      << props.toStdString() << run.stderrText().toStdString();
  EXPECT_TRUE(props.contains("Ada Lovelace: Notes on the engine")) << props.toStdString();
  // The notification centre was told the same, before the box.
  const QJsonObject notice = notices.Find("You have 1 email message(s) waiting!");
  EXPECT_EQ(notice.value("body").toString(), "Ada Lovelace: Notes on the engine")
      << QJsonDocument(notices.List()).toJson().toStdString();
  EXPECT_EQ(run.Terminate(), 0) << run.stderrText().toStdString();
}
}  // namespace
