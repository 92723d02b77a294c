// Mail passwords in a real Secret Service: gnome-keyring-daemon in a D-Bus session of the
// test's own, unlocked with a test password.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include "mail/MailPasswords.h"
#include "platform/Keyring.h"
#include "platform/RegistryFile.h"
#include "settings/ConfigStore.h"
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
    ResetConfig(QSize(1024, 768));
    ResetMailPasswords();
    Svc().keyring = &keyring;
    OpenMainStore(file);
  }
  void TearDown() override {
    static NoRegistry parked;
    OpenMainStore(parked);
    ResetMailPasswords();
  }
  QString StoredPassword() const { return ::StoredPassword(home.configFile()); }
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
  FakeServices fakes;
  SecretServiceKeyring keyring;
  TempHome home;
  RegistryFile file{home.configFile()};
  static SecretService* service;
};
SecretService* SecretServiceStore::service = nullptr;

TEST_F(SecretServiceStore, APasswordLeavesTheFileForTheKeyringAndComesBackOnLoad) {
  ASSERT_TRUE(PasswordsInKeyring());
  EmailAccount a = NewEmailAccount();
  a.Server = QStringLiteral("pop.example.com:995");
  a.User = QStringLiteral("ann");
  a.Password = QStringLiteral("s3cret \"quoted\"");
  Cfg().EmailConfig.Accounts << a;
  ASSERT_TRUE(SaveConfig());
  EXPECT_EQ(StoredPassword(), a.Password);  // until the keyring has it
  ASSERT_TRUE(Until([&] { return StoredPassword().isEmpty(); })) << StoredPassword().toStdString();

  // A new run: the file holds no password, the keyring gives it back without a wait.
  ResetConfig(QSize(1024, 768));
  ResetMailPasswords();
  LoadConfig();
  ASSERT_EQ(Cfg().EmailConfig.Accounts.size(), 1);
  EXPECT_TRUE(Cfg().EmailConfig.Accounts[0].Password.isEmpty());
  ASSERT_TRUE(Until([] { return !MailPasswordsPending(); }));
  EXPECT_EQ(Cfg().EmailConfig.Accounts[0].Password, a.Password);

  // Saving again keeps the file free of it.
  ASSERT_TRUE(SaveConfig());
  EXPECT_EQ(StoredPassword(), "");
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
