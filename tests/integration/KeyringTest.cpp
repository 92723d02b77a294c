// Mail passwords in a real Secret Service: gnome-keyring-daemon in a D-Bus session of the
// test's own, unlocked with a test password.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <memory>
#include <optional>

#include "platform/Keyring.h"
#include "platform/RegistryFile.h"
#include "support/AccountsFile.h"
#include "support/Fakes.h"
#include "support/SecretService.h"
#include "support/TempHome.h"

namespace {
class SecretServiceStore : public testing::Test {
 protected:
  static void SetUpTestSuite() { service = new SecretService; }
  static void TearDownTestSuite() {
    delete service;
    service = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(service->ok()) << service->error().toStdString();
    fakes.services.keyring = &keyring;
    fakes.NewRun();
    store.Open(file);
  }
  void TearDown() override { fakes.NewRun(); }
  QString StoredPassword(int n = 1) const { return ::StoredPassword(home.configFile(), n); }
  // Runs the event loop until the condition holds (the keyring answers through it).
  static bool Until(const std::function<bool()>& condition) {
    QDeadlineTimer limit(30000);
    while (!condition()) {
      if (limit.hasExpired()) return false;
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
      QThread::msleep(5);
    }
    return true;
  }
  // Whether the keyring holds an entry under the key, asked afresh; nullopt without an answer.
  std::optional<bool> Holds(const QString& key) {
    auto found = std::make_shared<std::optional<bool>>();
    keyring.Read(key, [found](bool f, const QString&) { *found = f; });
    Until([&] { return found->has_value(); });
    return *found;
  }
  FakeServices fakes;
  FakeMainStore store{fakes};
  NoRegistry parked;  // the store's backend between two runs' files
  SecretServiceKeyring keyring;
  TempHome home;
  RegistryFile file{home.configFile()};
  static SecretService* service;
};
SecretService* SecretServiceStore::service = nullptr;

TEST_F(SecretServiceStore, APasswordLeavesTheFileForTheKeyringAndComesBackOnLoad) {
  ASSERT_TRUE(fakes.passwords->InKeyring());
  EmailAccount a = NewEmailAccount();
  a.Server = QStringLiteral("pop.example.com:995");
  a.User = QStringLiteral("ann");
  a.Password = QStringLiteral("s3cret \"quoted\"");
  fakes.config.EmailConfig.Accounts << a;
  ASSERT_TRUE(store.Save());
  EXPECT_EQ(StoredPassword(), a.Password);  // until the keyring has it
  ASSERT_TRUE(Until([&] { return StoredPassword().isEmpty(); })) << StoredPassword().toStdString();

  // A new run: the file holds no password, the keyring gives it back without a wait.
  store.LoadAsNewRun();
  ASSERT_EQ(fakes.config.EmailConfig.Accounts.size(), 1);
  EXPECT_TRUE(fakes.config.EmailConfig.Accounts[0].Password.isEmpty());
  ASSERT_TRUE(Until([this] { return !fakes.passwords->Pending(); }));
  EXPECT_EQ(fakes.config.EmailConfig.Accounts[0].Password, a.Password);

  // Saving again keeps the file free of it.
  ASSERT_TRUE(store.Save());
  EXPECT_EQ(StoredPassword(), "");
}

// Each arrival used to save the file, and each save wrote the other password over the one
// entry the two accounts shared, for as long as the program ran.
TEST_F(SecretServiceStore, TwoAccountsOnOneMailboxKeepTheirOwnPasswordsAcrossARestart) {
  ASSERT_TRUE(fakes.passwords->InKeyring());
  for (const char* password : {"at home", "on the road"}) {
    EmailAccount a = NewEmailAccount();
    a.Server = QStringLiteral("pop.example.org:995");
    a.User = QStringLiteral("zoe");
    a.Password = QString::fromLatin1(password);
    fakes.config.EmailConfig.Accounts << a;
  }
  ASSERT_TRUE(store.Save());
  ASSERT_TRUE(Until([&] { return StoredPassword(1).isEmpty() && StoredPassword(2).isEmpty(); }))
      << StoredPassword(1).toStdString() << " / " << StoredPassword(2).toStdString();
  // The save, and one more once both passwords had arrived.
  EXPECT_EQ(file.writes(), 2);

  store.LoadAsNewRun();
  ASSERT_TRUE(Until([this] { return !fakes.passwords->Pending(); }));
  ASSERT_EQ(fakes.config.EmailConfig.Accounts.size(), 2);
  EXPECT_EQ(fakes.config.EmailConfig.Accounts[0].Password, "at home");
  EXPECT_EQ(fakes.config.EmailConfig.Accounts[1].Password, "on the road");

  // A deleted account takes its entry along; the other keeps its own.
  const QString gone = fakes.config.EmailConfig.Accounts[0].PasswordKey;
  const QString kept = fakes.config.EmailConfig.Accounts[1].PasswordKey;
  fakes.config.EmailConfig.Accounts.removeFirst();
  ASSERT_TRUE(store.Save());
  EXPECT_TRUE(Until([&] { return Holds(gone) == false; }));
  EXPECT_EQ(Holds(kept), true);
  EXPECT_EQ(file.writes(), 3);
}

// A file from before the calendars' passwords were kept in the keyring: the mail account's
// password under its old entry ("user@server") stays readable, and the calendar's password
// moves from the file to an entry of its own and comes back in the next run.
TEST_F(SecretServiceStore, CalendarPasswordsMoveInBesideTheMailAccountsOldEntries) {
  bool written = false;
  keyring.Write(QStringLiteral("eve@mail.example.net"), QStringLiteral("old mail pw"),
                [&](bool ok) { written = ok; });
  ASSERT_TRUE(Until([&] { return written; }));
  home.write(QStringLiteral(".config/Quillatorne/settings.reg"),
             OlderSettingsFile("eve", "mail.example.net", "https://mail.example.net/dav/eve/cal/",
                               "calendar pw"));
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    RegistryFile reread(home.configFile());
    store.Open(reread);
    store.LoadAsNewRun();
    ASSERT_TRUE(Until([this] { return !fakes.passwords->Pending(); }));
    ASSERT_EQ(fakes.config.AgendaConfig.Calendars.size(), 1);
    EXPECT_EQ(fakes.config.AgendaConfig.Calendars[0].Password, "calendar pw");
    EXPECT_EQ(fakes.config.EmailConfig.Accounts[0].Password, "old mail pw");
    EXPECT_EQ(fakes.config.EmailConfig.Accounts[0].PasswordKey, "eve@mail.example.net");
    ASSERT_TRUE(store.Save());
    ASSERT_TRUE(Until([&] { return StoredCalendarPassword(home.configFile()).isEmpty(); }));
    const QString key = StoredCalendarKey(home.configFile());
    EXPECT_TRUE(key.startsWith(QStringLiteral("calendar "))) << key.toStdString();
    EXPECT_EQ(Holds(key), true);
    store.Open(parked);
  }
}

TEST_F(SecretServiceStore, AnUnknownEntryIsNotFound) {
  bool answered = false;
  bool found = true;
  keyring.Read(QStringLiteral("nobody@nowhere.invalid"), [&](bool f, const QString&) {
    answered = true;
    found = f;
  });
  ASSERT_TRUE(Until([&] { return answered; }));
  EXPECT_FALSE(found);
}
}  // namespace
