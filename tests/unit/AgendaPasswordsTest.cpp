// The agenda's calendar passwords are kept as the mail passwords are: in the keyring when
// one runs (each calendar under an entry of its own, apart from the mail accounts'), in the
// private settings file when none does, and never lost on the way.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "platform/RegistryFile.h"
#include "support/AccountsFile.h"
#include "support/FakeKeyring.h"
#include "support/Fakes.h"
#include "support/TempHome.h"

namespace {
class AgendaPasswords : public testing::Test {
 protected:
  void SetUp() override {
    store.Open(file);
    fakes.services.keyring = &keyring;
    store.LoadAsNewRun();
  }
  static AgendaCalendar Calendar(const QString& user, const QString& password) {
    AgendaCalendar c;
    c.URL = QStringLiteral("https://dav.example.org/cal/");
    c.User = user;
    c.Password = password;
    return c;
  }
  QStringList Passwords() const {
    QStringList passwords;
    for (const AgendaCalendar& c : fakes.config.AgendaConfig.Calendars) passwords << c.Password;
    return passwords;
  }
  static void Settle() {
    for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
  }
  QString File(int n, const char* name) const {
    return StoredText(home.configFile(), QString::fromLatin1(name), n, QStringLiteral("Agenda"));
  }
  FakeKeyring keyring;
  FakeServices fakes;
  FakeMainStore store{fakes};
  TempHome home;
  RegistryFile file{home.configFile()};
};

TEST_F(AgendaPasswords, EachCalendarHasItsOwnEntryApartFromTheMailAccountsAndComesBack) {
  // A mail account and two calendars with the same user, the calendars on one server.
  EmailAccount mail = NewEmailAccount();
  mail.User = QStringLiteral("ann");
  mail.Server = QStringLiteral("dav.example.org");
  mail.Password = QStringLiteral("mail-pw");
  fakes.config.EmailConfig.Accounts << mail;
  fakes.config.AgendaConfig.Calendars = {Calendar("ann", "work-pw"), Calendar("ann", "home-pw")};
  ASSERT_TRUE(store.Save());
  // Until the keyring has them, the file keeps them.
  EXPECT_EQ(File(1, "Password"), "work-pw");
  Settle();
  EXPECT_EQ(File(1, "Password"), "");
  EXPECT_EQ(File(2, "Password"), "");
  EXPECT_EQ(StoredPassword(home.configFile(), 1), "");

  const QString mailKey = fakes.config.EmailConfig.Accounts[0].PasswordKey;
  const QString first = fakes.config.AgendaConfig.Calendars[0].PasswordKey;
  const QString second = fakes.config.AgendaConfig.Calendars[1].PasswordKey;
  EXPECT_EQ(QSet<QString>({mailKey, first, second}).size(), 3);
  EXPECT_TRUE(first.startsWith("calendar ")) << first.toStdString();
  EXPECT_EQ(File(1, "PasswordKey"), first);
  EXPECT_EQ(File(2, "PasswordKey"), second);
  EXPECT_EQ(keyring.entries,
            (QHash<QString, QString>{{mailKey, "mail-pw"}, {first, "work-pw"}, {second, "home-pw"}}));

  store.LoadAsNewRun();
  EXPECT_EQ(Passwords(), (QStringList{"", ""}));  // not waited for
  EXPECT_TRUE(fakes.passwords->Pending());
  Settle();
  EXPECT_FALSE(fakes.passwords->Pending());
  EXPECT_EQ(Passwords(), (QStringList{"work-pw", "home-pw"}));
  EXPECT_EQ(fakes.config.EmailConfig.Accounts[0].Password, "mail-pw");

  // A removed calendar takes its entry along.
  fakes.config.AgendaConfig.Calendars.removeFirst();
  ASSERT_TRUE(store.Save());
  Settle();
  EXPECT_EQ(keyring.entries, (QHash<QString, QString>{{mailKey, "mail-pw"}, {second, "home-pw"}}));
}

// Files from before kept the calendars' passwords in the file, without keys; and the mail
// accounts' old entries ("user@server") stay readable beside them.
TEST_F(AgendaPasswords, PasswordsOfAnOlderFileMoveIntoTheKeyringWithNothingLost) {
  home.write(QStringLiteral(".config/Quillatorne/settings.reg"),
             OlderSettingsFile("ann", "pop", "https://dav.example.org/cal/", "cal-pw"));
  keyring.entries.insert(QStringLiteral("ann@pop"), QStringLiteral("mail-pw"));
  RegistryFile old(home.configFile());
  store.Open(old);
  store.LoadAsNewRun();
  EXPECT_EQ(Passwords(), (QStringList{"cal-pw"}));
  Settle();
  EXPECT_EQ(fakes.config.EmailConfig.Accounts[0].Password, "mail-pw");

  ASSERT_TRUE(store.Save());
  Settle();
  const QString key = fakes.config.AgendaConfig.Calendars[0].PasswordKey;
  EXPECT_EQ(keyring.entries.value(key), "cal-pw");
  EXPECT_EQ(keyring.entries.value(QStringLiteral("ann@pop")), "mail-pw");
  EXPECT_EQ(StoredCalendarPassword(home.configFile()), "");
  EXPECT_EQ(StoredCalendarKey(home.configFile()), key);

  RegistryFile again(home.configFile());
  store.Open(again);
  store.LoadAsNewRun();
  Settle();
  EXPECT_EQ(Passwords(), (QStringList{"cal-pw"}));
  EXPECT_EQ(fakes.config.EmailConfig.Accounts[0].Password, "mail-pw");
}

TEST_F(AgendaPasswords, WithoutAKeyringOrWhenItFailsThePasswordStaysInTheFile) {
  struct Case {
    const char* name;
    bool available;
    bool writesFail;
  };
  for (const Case& c : {Case{"no Secret Service", false, false}, Case{"writes fail", true, true}}) {
    SCOPED_TRACE(c.name);
    keyring.available = c.available;
    keyring.writesFail = c.writesFail;
    store.LoadAsNewRun();
    fakes.config.AgendaConfig.Calendars = {Calendar("ann", "cal-pw")};
    ASSERT_TRUE(store.Save());
    Settle();
    ASSERT_TRUE(store.Save());
    Settle();
    EXPECT_EQ(StoredCalendarPassword(home.configFile()), "cal-pw");
    store.LoadAsNewRun();
    Settle();
    EXPECT_EQ(Passwords(), (QStringList{"cal-pw"}));
  }
  EXPECT_TRUE(keyring.entries.isEmpty());
}
}  // namespace
