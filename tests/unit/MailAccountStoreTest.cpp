// How mail accounts are kept: the security setting, and passwords in the keyring or the file.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>

#include "mail/MailCheck.h"
#include "platform/RegistryFile.h"
#include "support/AccountsFile.h"
#include "support/FakeKeyring.h"
#include "support/Fakes.h"
#include "support/TempHome.h"

namespace {
class MailAccountStore : public testing::Test {
 protected:
  void SetUp() override {
    fakes.config = Config(QSize(1024, 768));
    store.Open(file);
  }
  static EmailAccount Account(const QString& password, MailSecurity security) {
    EmailAccount a = NewEmailAccount();
    a.Server = QStringLiteral("pop.example.com");
    a.User = QStringLiteral("ann");
    a.Password = password;
    a.Security = security;
    return a;
  }
  QString StoredPassword(int n = 1) const { return ::StoredPassword(home.configFile(), n); }
  QString StoredKey(int n) const {
    const auto v = StoredAccountValue(home.configFile(), QStringLiteral("PasswordKey"), n);
    return v ? QString::fromUtf8(v->data.left(v->data.indexOf('\0'))) : QStringLiteral("(absent)");
  }
  QStringList Passwords() {
    QStringList passwords;
    for (const EmailAccount& a : std::as_const(fakes.config.EmailConfig.Accounts))
      passwords << a.Password;
    return passwords;
  }
  // Loads the file afresh into an empty record, as a new run does.
  void Reload() { store.LoadAsNewRun(); }
  static void Settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }
  FakeServices fakes;
  FakeMainStore store{fakes};
  TempHome home;
  RegistryFile file{home.configFile()};
};

class MailSecurityStore : public MailAccountStore,
                          public testing::WithParamInterface<MailSecurity> {};

TEST_P(MailSecurityStore, SurvivesSaveAndLoadAsItsNumber) {
  fakes.config.EmailConfig.Accounts << Account("pw", GetParam());
  ASSERT_TRUE(store.Save());
  const auto stored = StoredAccountValue(home.configFile(), QStringLiteral("Security"), 1);
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(*stored, RegDword(static_cast<uint32_t>(GetParam())));
  Reload();
  ASSERT_EQ(fakes.config.EmailConfig.Accounts.size(), 1);
  EXPECT_EQ(fakes.config.EmailConfig.Accounts[0].Security, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Choices, MailSecurityStore,
                         testing::Values(MailSecurity::None, MailSecurity::StartTls,
                                         MailSecurity::SslTls));

TEST_F(MailAccountStore, AccountsStoredWithoutSecurityKeepPlainPop3) {
  home.write(QStringLiteral(".config/Quillatorne/settings.reg"),
             "Windows Registry Editor Version 5.00\n\n"
             "[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\Base]\n\"OK\"=dword:00000001\n\n"
             "[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\Email]\n"
             "\"AccountsNumber\"=dword:00000002\n\n"
             "[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\Email Accounts]\n"
             "\"Name 1\"=\"old\"\n\"Server 1\"=\"pop\"\n\"User 1\"=\"u\"\n\"Password 1\"=\"p\"\n"
             "\"Name 2\"=\"odd\"\n\"Security 2\"=dword:00000007\n");
  RegistryFile fresh(home.configFile());
  store.Open(fresh);
  Reload();
  ASSERT_EQ(fakes.config.EmailConfig.Accounts.size(), 2);
  EXPECT_EQ(fakes.config.EmailConfig.Accounts[0].Security, MailSecurity::None);
  EXPECT_EQ(fakes.config.EmailConfig.Accounts[1].Security, MailSecurity::None);
  EXPECT_EQ(fakes.config.EmailConfig.Accounts[0].Password, "p");
  // Nor a protocol: POP3, as they always were.
  EXPECT_EQ(fakes.config.EmailConfig.Accounts[0].Protocol, MailProtocol::Pop3);
  EXPECT_EQ(fakes.config.EmailConfig.Accounts[1].Protocol, MailProtocol::Pop3);
}

class MailProtocolStore : public MailAccountStore,
                          public testing::WithParamInterface<MailProtocol> {};

TEST_P(MailProtocolStore, SurvivesSaveAndLoadAsItsNumber) {
  EmailAccount a = Account("pw", MailSecurity::SslTls);
  a.Protocol = GetParam();
  fakes.config.EmailConfig.Accounts << a;
  ASSERT_TRUE(store.Save());
  const auto stored = StoredAccountValue(home.configFile(), QStringLiteral("Protocol"), 1);
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(*stored, RegDword(static_cast<uint32_t>(GetParam())));
  Reload();
  ASSERT_EQ(fakes.config.EmailConfig.Accounts.size(), 1);
  EXPECT_EQ(fakes.config.EmailConfig.Accounts[0].Protocol, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Choices, MailProtocolStore,
                         testing::Values(MailProtocol::Pop3, MailProtocol::Imap));

TEST_F(MailAccountStore, NewAccountsStartWithImapOverSslTls) {
  const EmailAccount a = NewEmailAccount();
  EXPECT_EQ(a.Protocol, MailProtocol::Imap);
  EXPECT_EQ(a.Security, MailSecurity::SslTls);
  EXPECT_EQ(a.Name, "New");
  EXPECT_EQ(a.Server, "server");
  EXPECT_EQ(a.User, "user");
  EXPECT_TRUE(a.Password.isEmpty());
  EXPECT_TRUE(a.EnableCheck);
}

TEST_F(MailAccountStore, WithoutASecretServiceThePasswordStaysInThePrivateFile) {
  FakeKeyring keyring;
  keyring.available = false;
  for (IKeyring* k : {static_cast<IKeyring*>(nullptr), static_cast<IKeyring*>(&keyring)}) {
    fakes.services.keyring = k;
    fakes.NewRun();
    fakes.config.EmailConfig.Accounts = {Account("secret", MailSecurity::SslTls)};
    ASSERT_TRUE(store.Save());
    Settle();
    EXPECT_FALSE(fakes.passwords->InKeyring());
    EXPECT_EQ(StoredPassword(), "secret");
    EXPECT_EQ(QFileInfo(home.configFile()).permissions(),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                  QFileDevice::WriteUser);
  }
  EXPECT_TRUE(keyring.entries.isEmpty());
  EXPECT_TRUE(PasswordKeeper::StorageNote(fakes.passwords.get()).contains("settings file"));
}

TEST_F(MailAccountStore, APasswordInTheFileMovesToTheKeyringAndComesBack) {
  FakeKeyring keyring;
  fakes.services.keyring = &keyring;
  fakes.NewRun();
  EXPECT_TRUE(fakes.passwords->InKeyring());
  EXPECT_TRUE(PasswordKeeper::StorageNote(fakes.passwords.get()).contains("keyring"));
  fakes.config.EmailConfig.Accounts = {Account("secret", MailSecurity::SslTls),
                                       Account("", MailSecurity::None)};
  fakes.config.EmailConfig.Accounts[1].User = QStringLiteral("bob");
  ASSERT_TRUE(store.Save());
  // Until the keyring has it, the file keeps it: nothing is lost if the keyring fails.
  EXPECT_EQ(StoredPassword(), "secret");
  Settle();
  EXPECT_EQ(keyring.entries.value(fakes.config.EmailConfig.Accounts[0].PasswordKey), "secret");
  EXPECT_EQ(keyring.entries.size(), 1);  // an empty password is nothing to keep
  EXPECT_EQ(StoredPassword(), "");

  Reload();
  EXPECT_TRUE(
      fakes.config.EmailConfig.Accounts[0].Password.isEmpty());  // not yet: never waited for
  EXPECT_TRUE(fakes.passwords->Pending());
  Settle();
  EXPECT_FALSE(fakes.passwords->Pending());
  EXPECT_EQ(fakes.config.EmailConfig.Accounts[0].Password, "secret");
  EXPECT_TRUE(fakes.config.EmailConfig.Accounts[1].Password.isEmpty());
}

TEST_F(MailAccountStore, AFailedKeyringWriteKeepsThePasswordInTheFile) {
  FakeKeyring keyring;
  keyring.writesFail = true;
  fakes.services.keyring = &keyring;
  fakes.NewRun();
  fakes.config.EmailConfig.Accounts = {Account("secret", MailSecurity::SslTls)};
  ASSERT_TRUE(store.Save());
  Settle();
  ASSERT_TRUE(store.Save());
  Settle();
  EXPECT_EQ(StoredPassword(), "secret");
}

TEST_F(MailAccountStore, AChangedPasswordReplacesTheKeyringCopy) {
  FakeKeyring keyring;
  fakes.services.keyring = &keyring;
  fakes.NewRun();
  fakes.config.EmailConfig.Accounts = {Account("old", MailSecurity::SslTls)};
  ASSERT_TRUE(store.Save());
  Settle();
  fakes.config.EmailConfig.Accounts[0].Password = QStringLiteral("new");
  ASSERT_TRUE(store.Save());
  EXPECT_EQ(StoredPassword(), "new");
  Settle();
  EXPECT_EQ(keyring.entries.value(fakes.config.EmailConfig.Accounts[0].PasswordKey), "new");
  EXPECT_EQ(keyring.entries.size(), 1);
  EXPECT_EQ(StoredPassword(), "");
}

TEST_F(MailAccountStore, APasswordTypedBeforeTheKeyringAnswersIsKept) {
  FakeKeyring keyring;
  keyring.entries.insert(QStringLiteral("ann@pop.example.com"), QStringLiteral("stored"));
  fakes.services.keyring = &keyring;
  fakes.NewRun();
  fakes.config.EmailConfig.Accounts = {Account("", MailSecurity::SslTls)};
  fakes.passwords->Fetch(fakes.config);
  fakes.config.EmailConfig.Accounts[0].Password = QStringLiteral("typed");
  Settle();
  EXPECT_EQ(fakes.config.EmailConfig.Accounts[0].Password, "typed");
}

TEST_F(MailAccountStore, TimedChecksWaitForPasswordsOnTheirWay) {
  FakeKeyring keyring;
  fakes.services.keyring = &keyring;
  fakes.NewRun();
  fakes.config.EmailConfig.EnableCheck = true;
  fakes.config.EmailConfig.Accounts = {Account("", MailSecurity::SslTls)};
  fakes.passwords->Fetch(fakes.config);
  StartMailCheck(fakes.config, fakes.services, true, -1);
  EXPECT_FALSE(fakes.config.DynamicConfig.EmailCheckRunning);
  Settle();
  StartMailCheck(fakes.config, fakes.services, true, -1);
  EXPECT_TRUE(WaitForMailCheck(60000));
  EXPECT_GT(fakes.config.DynamicConfig.LastEmailCheck, 0.0);
}

// Two accounts on one mailbox (say, one checked from two places) used to share one entry:
// each arrival saved the file, each save wrote the other password over it, for ever.
TEST_F(MailAccountStore, TwoAccountsOnOneMailboxKeepTheirOwnPasswordsWithTwoWrites) {
  FakeKeyring keyring;
  fakes.services.keyring = &keyring;
  fakes.NewRun();
  fakes.config.EmailConfig.Accounts = {Account("first", MailSecurity::SslTls),
                                       Account("second", MailSecurity::SslTls)};
  ASSERT_TRUE(store.Save());
  for (int i = 0; i < 50; ++i) QCoreApplication::processEvents();
  // The save, and the one that takes the passwords out of the file once both have arrived.
  EXPECT_EQ(file.writes(), 2);
  EXPECT_EQ(keyring.writes, 2);
  EXPECT_EQ(StoredPassword(1), "");
  EXPECT_EQ(StoredPassword(2), "");
  const QString first = fakes.config.EmailConfig.Accounts[0].PasswordKey;
  const QString second = fakes.config.EmailConfig.Accounts[1].PasswordKey;
  EXPECT_NE(first, second);
  EXPECT_EQ(StoredKey(1), first);
  EXPECT_EQ(StoredKey(2), second);
  EXPECT_EQ(keyring.entries.value(first), "first");
  EXPECT_EQ(keyring.entries.value(second), "second");

  Reload();
  Settle();
  EXPECT_EQ(Passwords(), (QStringList{"first", "second"}));
}

// A file from before accounts had keys: both accounts used the entry "user@server".
TEST_F(MailAccountStore, TwoOldAccountsOnOneMailboxPartWaysWithoutLosingTheEntry) {
  home.write(
      QStringLiteral(".config/Quillatorne/settings.reg"),
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\Base]\n\"OK\"=dword:00000001\n\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\Email]\n"
      "\"AccountsNumber\"=dword:00000002\n\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\Email Accounts]\n"
      "\"Name 1\"=\"home\"\n\"Server 1\"=\"pop\"\n\"User 1\"=\"ann\"\n\"Password 1\"=\"\"\n"
      "\"Name 2\"=\"away\"\n\"Server 2\"=\"pop\"\n\"User 2\"=\"ann\"\n\"Password 2\"=\"\"\n");
  RegistryFile old(home.configFile());
  store.Open(old);
  FakeKeyring keyring;
  keyring.entries.insert(QStringLiteral("ann@pop"), QStringLiteral("shared"));
  fakes.services.keyring = &keyring;
  fakes.NewRun();
  Reload();
  // The first keeps the entry where it is; the second gets one of its own.
  EXPECT_EQ(fakes.config.EmailConfig.Accounts[0].PasswordKey, "ann@pop");
  const QString own = fakes.config.EmailConfig.Accounts[1].PasswordKey;
  EXPECT_NE(own, "ann@pop");
  // Saved before the keyring has answered: the second still looks in the old entry next time.
  ASSERT_TRUE(store.Save());
  EXPECT_EQ(StoredKey(1), "ann@pop");
  EXPECT_EQ(StoredKey(2), "");
  Settle();
  EXPECT_EQ(Passwords(), (QStringList{"shared", "shared"}));

  fakes.config.EmailConfig.Accounts[1].Password = QStringLiteral("mine");
  ASSERT_TRUE(store.Save());
  Settle();
  EXPECT_EQ(StoredKey(2), own);
  EXPECT_EQ(keyring.entries.value(own), "mine");
  EXPECT_EQ(keyring.entries.value(QStringLiteral("ann@pop")), "shared");
  EXPECT_EQ(StoredPassword(1), "");
  EXPECT_EQ(StoredPassword(2), "");

  Reload();
  Settle();
  EXPECT_EQ(Passwords(), (QStringList{"shared", "mine"}));
}

struct ListChange {
  const char* name;
  std::function<void(QList<EmailAccount>&)> change;
};
void PrintTo(const ListChange& c, std::ostream* os) { *os << c.name; }

class MailAccountKeyring : public MailAccountStore,
                           public testing::WithParamInterface<ListChange> {};

// Whatever happens to the list, the keyring keeps one entry per account, its own.
TEST_P(MailAccountKeyring, KeepsAnEntryForEachAccountAndNoMore) {
  FakeKeyring keyring;
  fakes.services.keyring = &keyring;
  fakes.NewRun();
  fakes.config.EmailConfig.Accounts = {Account("first", MailSecurity::SslTls),
                                       Account("second", MailSecurity::SslTls),
                                       Account("third", MailSecurity::SslTls)};
  fakes.config.EmailConfig.Accounts[2].User = QStringLiteral("bob");
  ASSERT_TRUE(store.Save());
  Settle();
  Reload();
  Settle();
  ASSERT_EQ(keyring.entries.size(), 3);

  GetParam().change(fakes.config.EmailConfig.Accounts);
  ASSERT_TRUE(store.Save());
  Settle();
  const QList<EmailAccount> after = fakes.config.EmailConfig.Accounts;
  QHash<QString, QString> expected;
  for (const EmailAccount& a : after) expected.insert(a.PasswordKey, a.Password);
  EXPECT_EQ(keyring.entries, expected);

  Reload();
  Settle();
  QStringList kept;
  for (const EmailAccount& a : after) kept << a.Password;
  EXPECT_EQ(Passwords(), kept);
}

INSTANTIATE_TEST_SUITE_P(
    Changes, MailAccountKeyring,
    testing::Values(ListChange{"DeleteFirst", [](auto& l) { l.removeAt(0); }},
                    ListChange{"DeleteMiddle", [](auto& l) { l.removeAt(1); }},
                    ListChange{"DeleteAll", [](auto& l) { l.clear(); }},
                    ListChange{"RenameUser", [](auto& l) { l[1].User = QStringLiteral("carol"); }},
                    ListChange{"MoveToTheOthersMailbox",
                               [](auto& l) { l[2].User = QStringLiteral("ann"); }},
                    ListChange{"RenameServerAndNewPassword",
                               [](auto& l) {
                                 l[0].Server = QStringLiteral("pop.elsewhere");
                                 l[0].Password = QStringLiteral("changed");
                               }},
                    ListChange{"DeleteAndAddAlike",
                               [](auto& l) {
                                 const EmailAccount gone = l.takeFirst();
                                 EmailAccount again = NewEmailAccount();
                                 again.User = gone.User;
                                 again.Server = gone.Server;
                                 again.Password = QStringLiteral("again");
                                 l << again;
                               }}),
    [](const auto& info) { return std::string(info.param.name); });
}  // namespace
