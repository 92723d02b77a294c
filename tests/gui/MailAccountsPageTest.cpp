// The accounts page: the list, the editors, the buttons' rules, and a check running meanwhile.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QCoreApplication>
#include <QTest>

#include "mail/MailCheck.h"
#include "pages/TFrameEmailAccounts.h"
#include "settings/Config.h"
#include "support/E2E.h"
#include "support/FakeKeyring.h"
#include "support/Fakes.h"
#include "support/Pop3TestServer.h"
#include "widgets/AccessibleComboBox.h"

namespace {
EmailAccount Account(const QString& name, const QString& server = QStringLiteral("pop.example"),
                     bool enabled = true) {
  EmailAccount a;
  a.Name = name;
  a.Server = server;
  a.User = name.toLower();
  a.Password = name.toLower() + QStringLiteral("-pw");
  a.EnableCheck = enabled;
  return a;
}

QStringList Names(const QList<EmailAccount>& accounts) {
  QStringList names;
  for (const EmailAccount& a : accounts) names << a.Name;
  return names;
}

class MailAccountsPage : public ::testing::Test {
 protected:
  void SetUp() override {
    fake.config = Config(QSize(1024, 768));
    fake.config.EmailConfig.EnableCheck = true;
    // The scripted servers speak only the counting conversation: no UIDL, no TOP.
    fake.config.EmailConfig.ShowSenders = false;
  }
  void TearDown() override {
    AbandonMailCheck();
    EXPECT_TRUE(WaitForMailCheck(60000));
    fake.NewRun();
  }
  // The page over the test's record, which the mail checks it starts read as well.
  TFrameEmailAccounts& Page() {
    if (!page_) {
      page_ = std::make_unique<TFrameEmailAccounts>(fake.config, fake.services);
      page_->LoadFromConfig();
    }
    return *page_;
  }
  QStringList ListLines() {
    QStringList lines;
    for (int i = 0; i < Page().ui.List_Accounts->count(); ++i)
      lines << Page().ui.List_Accounts->item(i)->text();
    return lines;
  }
  // Every control the user edits or presses, the list aside.
  QList<QWidget*> Controls() {
    const auto& ui = Page().ui;
    return {ui.Edit_AccountName,     ui.Edit_Server,      ui.Edit_User,    ui.Edit_Password,
            ui.Button_ShowPassword,  ui.Combo_Security,   ui.Check_Enable, ui.Button_NewAccount,
            ui.Button_DeleteAccount, ui.Button_DeleteAll, ui.Button_Check, ui.Button_CheckAll,
            ui.Button_Save};
  }
  QList<QWidget*> Enabled() {
    QList<QWidget*> on;
    for (QWidget* w : Controls())
      if (w->isEnabled()) on << w;
    return on;
  }

  FakeServices fake;
  std::unique_ptr<TFrameEmailAccounts> page_;
};

TEST_F(MailAccountsPage, WithNoAccountsOnlyAddAccountIsEnabled) {
  auto& ui = Page().ui;
  EXPECT_EQ(Enabled(), QList<QWidget*>{ui.Button_NewAccount});
  EXPECT_TRUE(ui.Check_Enable->isChecked());
  EXPECT_TRUE(ui.Edit_AccountName->text().isEmpty());
  EXPECT_TRUE(ui.Edit_Password->text().isEmpty());
}

TEST_F(MailAccountsPage, LoadingSelectsTheFirstAccountAndWritesNothing) {
  fake.config.EmailConfig.Accounts = {Account("Home"), Account("Work", "pop.work", false)};
  const QList<EmailAccount> before = fake.config.EmailConfig.Accounts;
  auto& ui = Page().ui;
  EXPECT_EQ(ListLines(), (QStringList{"Home", "Work"}));
  EXPECT_EQ(ui.List_Accounts->currentRow(), 0);
  EXPECT_EQ(ui.Edit_AccountName->text(), "Home");
  EXPECT_EQ(ui.Edit_User->text(), "home");
  EXPECT_EQ(ui.Edit_Password->text(), "home-pw");
  EXPECT_TRUE(ui.Check_Enable->isChecked());
  // Selecting the other line shows it, and still writes nothing.
  ui.List_Accounts->setCurrentRow(1);
  EXPECT_EQ(ui.Edit_Server->text(), "pop.work");
  EXPECT_FALSE(ui.Check_Enable->isChecked());
  EXPECT_EQ(Names(fake.config.EmailConfig.Accounts), Names(before));
  EXPECT_EQ(fake.config.EmailConfig.Accounts[1].EnableCheck, false);
  EXPECT_TRUE(fake.messages.calls.isEmpty());
}

TEST_F(MailAccountsPage, AddAccountAppendsTheNewAccountWithSaveWaitingForAPassword) {
  fake.config.EmailConfig.Accounts = {Account("Home")};
  auto& ui = Page().ui;
  ui.Button_NewAccount->click();
  ASSERT_EQ(fake.config.EmailConfig.Accounts.size(), 2);
  const EmailAccount& added = fake.config.EmailConfig.Accounts[1];
  EXPECT_EQ(added.Name, "New");
  EXPECT_EQ(added.Server, "server");
  EXPECT_EQ(added.User, "user");
  EXPECT_EQ(added.Password, "");
  EXPECT_TRUE(added.EnableCheck);
  EXPECT_EQ(added.Security, MailSecurity::SslTls);
  EXPECT_EQ(added.Protocol, MailProtocol::Imap);
  EXPECT_EQ(ListLines(), (QStringList{"Home", "New"}));
  EXPECT_EQ(ui.List_Accounts->currentRow(), 1);
  EXPECT_EQ(ui.Edit_AccountName->text(), "New");
  EXPECT_EQ(ui.Edit_Server->text(), "server");
  EXPECT_EQ(ui.Edit_User->text(), "user");
  EXPECT_TRUE(ui.Edit_Password->text().isEmpty());
  EXPECT_EQ(ui.Combo_Protocol->currentText(), "IMAP");
  EXPECT_EQ(ui.Combo_Security->currentText(), "SSL/TLS (port 993)");
  EXPECT_FALSE(ui.Button_Save->isEnabled());
  // A second one is another "New": names need not differ.
  ui.Button_NewAccount->click();
  EXPECT_EQ(ListLines(), (QStringList{"Home", "New", "New"}));
}

TEST_F(MailAccountsPage, SaveIsEnabledOnlyWhileAllFourEditsHoldText) {
  fake.config.EmailConfig.Accounts = {Account("Home")};
  auto& ui = Page().ui;
  EXPECT_TRUE(ui.Button_Save->isEnabled());
  for (QLineEdit* edit : {ui.Edit_AccountName, ui.Edit_Server, ui.Edit_User, ui.Edit_Password}) {
    const QString text = edit->text();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    EXPECT_FALSE(ui.Button_Save->isEnabled()) << edit->objectName().toStdString();
    QTest::keyClicks(edit, text);
    EXPECT_TRUE(ui.Button_Save->isEnabled()) << edit->objectName().toStdString();
  }
}

TEST_F(MailAccountsPage, SaveCopiesTheEditorsIntoTheSelectedAccountOnly) {
  fake.config.EmailConfig.Accounts = {Account("Home"), Account("Work")};
  auto& ui = Page().ui;
  ui.List_Accounts->setCurrentRow(1);
  ui.Edit_AccountName->setText("Office");
  ui.Edit_Server->setText("pop.office:1110");
  ui.Edit_User->setText("ann");
  ui.Edit_Password->setText("s3cret");
  ui.Check_Enable->setChecked(false);
  // Nothing reaches the settings before Save.
  EXPECT_EQ(fake.config.EmailConfig.Accounts[1].Name, "Work");
  ui.Button_Save->click();
  const EmailAccount& saved = fake.config.EmailConfig.Accounts[1];
  EXPECT_EQ(saved.Name, "Office");
  EXPECT_EQ(saved.Server, "pop.office:1110");
  EXPECT_EQ(saved.User, "ann");
  EXPECT_EQ(saved.Password, "s3cret");
  EXPECT_FALSE(saved.EnableCheck);
  EXPECT_EQ(fake.config.EmailConfig.Accounts[0].Name, "Home");
  EXPECT_EQ(ListLines(), (QStringList{"Home", "Office"}));
}

TEST_F(MailAccountsPage, EachAccountShowsItsSecurityAndSaveStoresTheChoice) {
  fake.config.EmailConfig.Accounts = {Account("Old"), Account("Work")};
  fake.config.EmailConfig.Accounts[1].Security = MailSecurity::StartTls;
  auto& ui = Page().ui;
  QStringList choices;
  for (int i = 0; i < ui.Combo_Security->count(); ++i) choices << ui.Combo_Security->itemText(i);
  EXPECT_EQ(choices, (QStringList{"None (port 110)", "STARTTLS (port 110)", "SSL/TLS (port 995)"}));
  // An account stored before the choice existed speaks plain POP3.
  EXPECT_EQ(ui.Combo_Security->currentText(), "None (port 110)");
  ui.List_Accounts->setCurrentRow(1);
  EXPECT_EQ(ui.Combo_Security->currentText(), "STARTTLS (port 110)");
  ui.Combo_Security->setCurrentIndex(2);
  EXPECT_EQ(fake.config.EmailConfig.Accounts[1].Security,
            MailSecurity::StartTls);  // not before Save
  ui.Button_Save->click();
  EXPECT_EQ(fake.config.EmailConfig.Accounts[1].Security, MailSecurity::SslTls);
  EXPECT_EQ(fake.config.EmailConfig.Accounts[0].Security, MailSecurity::None);
}

TEST_F(MailAccountsPage, EachAccountShowsItsProtocolAndTheSecurityNamesItsPorts) {
  fake.config.EmailConfig.Accounts = {Account("Old"), Account("Imap")};
  fake.config.EmailConfig.Accounts[1].Protocol = MailProtocol::Imap;
  auto& ui = Page().ui;
  const auto items = [](QComboBox* box) {
    QStringList texts;
    for (int i = 0; i < box->count(); ++i) texts << box->itemText(i);
    return texts;
  };
  EXPECT_EQ(items(ui.Combo_Protocol), (QStringList{"POP3", "IMAP"}));
  // An account stored before the choice existed is POP3.
  EXPECT_EQ(ui.Combo_Protocol->currentText(), "POP3");
  ui.List_Accounts->setCurrentRow(1);
  EXPECT_EQ(ui.Combo_Protocol->currentText(), "IMAP");
  EXPECT_EQ(items(ui.Combo_Security),
            (QStringList{"None (port 143)", "STARTTLS (port 143)", "SSL/TLS (port 993)"}));
  ui.Combo_Protocol->setCurrentIndex(0);
  EXPECT_EQ(ui.Combo_Security->currentText(), "None (port 110)");         // the choice stays
  EXPECT_EQ(fake.config.EmailConfig.Accounts[1].Protocol, MailProtocol::Imap);  // not before Save
  ui.Button_Save->click();
  EXPECT_EQ(fake.config.EmailConfig.Accounts[1].Protocol, MailProtocol::Pop3);
  EXPECT_EQ(fake.config.EmailConfig.Accounts[0].Protocol, MailProtocol::Pop3);
}

TEST_F(MailAccountsPage, OneLineSaysWhereThePasswordsAreKept) {
  Page();
  EXPECT_EQ(
      page_->ui.Label_PasswordStorage->text(),
      "No keyring is running: passwords are kept in the settings file, readable only by you.");
  FakeKeyring keyring;
  fake.services.keyring = &keyring;
  fake.NewRun();
  page_->LoadFromConfig();
  EXPECT_EQ(page_->ui.Label_PasswordStorage->text(),
            "Passwords are kept in the desktop's keyring.");
  keyring.available = false;  // no Secret Service behind it
  page_->LoadFromConfig();
  EXPECT_TRUE(page_->ui.Label_PasswordStorage->text().startsWith("No keyring is running"));
  fake.services.keyring = nullptr;
  fake.NewRun();
}

TEST_F(MailAccountsPage, SelectingAnotherLineDiscardsUnsavedEdits) {
  fake.config.EmailConfig.Accounts = {Account("Home"), Account("Work")};
  auto& ui = Page().ui;
  QTest::keyClicks(ui.Edit_Server, "typed");
  ui.List_Accounts->setCurrentRow(1);
  ui.List_Accounts->setCurrentRow(0);
  EXPECT_EQ(ui.Edit_Server->text(), "pop.example");
  EXPECT_EQ(fake.config.EmailConfig.Accounts[0].Server, "pop.example");
}

TEST_F(MailAccountsPage, ClickingTheSelectedLineAgainDiscardsUnsavedEdits) {
  fake.config.EmailConfig.Accounts = {Account("Home"), Account("Work")};
  auto& ui = Page().ui;
  Page().show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&Page()));
  ui.List_Accounts->setCurrentRow(1);
  QTest::keyClicks(ui.Edit_Server, "typed");
  ui.Edit_Password->setText("other");
  ui.Combo_Security->setCurrentIndex(2);
  QWidget* lines = ui.List_Accounts->viewport();
  QTest::mouseClick(lines, Qt::LeftButton, {},
                    ui.List_Accounts->visualItemRect(ui.List_Accounts->item(1)).center());
  EXPECT_EQ(ui.List_Accounts->currentRow(), 1);
  EXPECT_EQ(ui.Edit_Server->text(), "pop.example");
  EXPECT_EQ(ui.Edit_Password->text(), "work-pw");
  EXPECT_EQ(ui.Combo_Security->currentText(), "None (port 110)");
  EXPECT_EQ(fake.config.EmailConfig.Accounts[1].Server, "pop.example");
}

TEST_F(MailAccountsPage, TheSecurityChoiceIsAnnouncedAsSecurityWhateverItHolds) {
  fake.config.EmailConfig.Accounts = {Account("Home")};
  auto& ui = Page().ui;
  QAccessibleInterface* box = QAccessible::queryAccessibleInterface(ui.Combo_Security);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->role(), QAccessible::ComboBox);
  for (int i = 0; i < ui.Combo_Security->count(); ++i) {
    ui.Combo_Security->setCurrentIndex(i);
    EXPECT_EQ(box->text(QAccessible::Name), "Security");
    EXPECT_EQ(box->text(QAccessible::Value), ui.Combo_Security->itemText(i));
  }
  // The drop-down list is still its child.
  ASSERT_EQ(box->childCount(), 1);
  EXPECT_EQ(box->child(0)->object(), ui.Combo_Security->view());
  EXPECT_EQ(box->indexOfChild(box->child(0)), 0);
}

TEST(AnnounceByItsNameTest, ReplacesTheInterfaceQtMadeBefore) {
  QComboBox box;
  box.addItems({"One", "Two"});
  box.setAccessibleName("Count");
  ASSERT_NE(QAccessible::queryAccessibleInterface(&box), nullptr);
  AnnounceByItsName(&box);
  QAccessibleInterface* named = QAccessible::queryAccessibleInterface(&box);
  ASSERT_NE(named, nullptr);
  EXPECT_EQ(named->text(QAccessible::Name), "Count");
  EXPECT_EQ(named->text(QAccessible::Value), "One");
}

// At start-up the page is filled before the keyring has answered.
TEST_F(MailAccountsPage, APasswordFromTheKeyringShowsWhenItArrives) {
  struct Case {
    const char* typed;  // into the password before the keyring answers
    const char* shown;
  };
  for (const Case& c : {Case{"", "home-pw"}, Case{"mine", "mine"}}) {
    SCOPED_TRACE(c.typed);
    page_.reset();
    FakeKeyring keyring;
    fake.services.keyring = &keyring;
    fake.NewRun();
    fake.config.EmailConfig.Accounts = {Account("Home"), Account("Work")};
    for (EmailAccount& a : fake.config.EmailConfig.Accounts) {
      a.PasswordKey = a.Name;
      keyring.entries.insert(a.Name, a.Password);
      a.Password.clear();
    }
    fake.passwords->Fetch(fake.config);
    auto& ui = Page().ui;
    EXPECT_TRUE(ui.Edit_Password->text().isEmpty());
    EXPECT_FALSE(ui.Button_Save->isEnabled());
    QTest::keyClicks(ui.Edit_Password, c.typed);
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    ASSERT_FALSE(fake.passwords->Pending());
    EXPECT_EQ(ui.Edit_Password->text(), c.shown);
    EXPECT_TRUE(ui.Button_Save->isEnabled());
    ui.List_Accounts->setCurrentRow(1);
    EXPECT_EQ(ui.Edit_Password->text(), "work-pw");
    fake.services.keyring = nullptr;
    fake.NewRun();
  }
}

TEST_F(MailAccountsPage, ThePasswordStartsHiddenAndTheToggleShowsIt) {
  fake.config.EmailConfig.Accounts = {Account("Home"), Account("Work")};
  auto& ui = Page().ui;
  EXPECT_EQ(ui.Edit_Password->echoMode(), QLineEdit::Password);
  ui.Button_ShowPassword->click();
  EXPECT_EQ(ui.Edit_Password->echoMode(), QLineEdit::Normal);
  EXPECT_EQ(ui.Button_ShowPassword->accessibleName(), "Hide password");
  // Another account's password starts hidden again.
  ui.List_Accounts->setCurrentRow(1);
  EXPECT_EQ(ui.Edit_Password->echoMode(), QLineEdit::Password);
  EXPECT_FALSE(ui.Button_ShowPassword->isChecked());
}

struct DeleteCase {
  const char* name;
  int accounts;
  int selected;
  int answer;
  QStringList left;
  int selectedAfter;
};
void PrintTo(const DeleteCase& c, std::ostream* os) { *os << c.name; }

class MailAccountsDelete : public MailAccountsPage,
                           public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(MailAccountsDelete, AsksThenRemovesAndSelectsTheLineInItsPlace) {
  const DeleteCase& c = GetParam();
  const QStringList names{"A", "B", "C"};
  for (int i = 0; i < c.accounts; ++i) fake.config.EmailConfig.Accounts << Account(names[i]);
  fake.messages.answer = [&](const FakeMessageBoxes::Call&) { return c.answer; };
  auto& ui = Page().ui;
  ui.List_Accounts->setCurrentRow(c.selected);
  ui.Button_DeleteAccount->click();
  ASSERT_EQ(fake.messages.calls.size(), 1);
  EXPECT_EQ(fake.messages.calls[0].text, "Do you want to delete selected account?");
  EXPECT_EQ(fake.messages.calls[0].caption, "Please Confirm");
  EXPECT_EQ(fake.messages.calls[0].flags, 36u);
  EXPECT_EQ(Names(fake.config.EmailConfig.Accounts), c.left);
  EXPECT_EQ(ListLines(), c.left);
  EXPECT_EQ(ui.List_Accounts->currentRow(), c.selectedAfter);
  // The editors show the account now selected.
  EXPECT_EQ(ui.Edit_AccountName->text(), c.selectedAfter < 0 ? "" : c.left[c.selectedAfter]);
}

INSTANTIATE_TEST_SUITE_P(Cases, MailAccountsDelete,
                         ::testing::Values(DeleteCase{"LastOfThree", 3, 2, IDYES, {"A", "B"}, 1},
                                           DeleteCase{"FirstOfThree", 3, 0, IDYES, {"B", "C"}, 0},
                                           DeleteCase{"MiddleOfThree", 3, 1, IDYES, {"A", "C"}, 1},
                                           DeleteCase{"OnlyOne", 1, 0, IDYES, {}, -1},
                                           DeleteCase{
                                               "AnsweredNo", 3, 2, IDNO, {"A", "B", "C"}, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MailAccountsPage, DeleteAllAsksAndOnlyYesEmptiesTheList) {
  fake.config.EmailConfig.Accounts = {Account("Home"), Account("Work")};
  auto& ui = Page().ui;
  fake.messages.answer = [](const FakeMessageBoxes::Call&) { return IDNO; };
  ui.Button_DeleteAll->click();
  EXPECT_EQ(ListLines(), (QStringList{"Home", "Work"}));
  fake.messages.answer = [](const FakeMessageBoxes::Call&) { return IDYES; };
  ui.Button_DeleteAll->click();
  ASSERT_EQ(fake.messages.calls.size(), 2);
  EXPECT_EQ(fake.messages.calls[1].text, "Do you want to delete ALL accounts?");
  EXPECT_EQ(fake.messages.calls[1].flags, 36u);
  EXPECT_TRUE(fake.config.EmailConfig.Accounts.isEmpty());
  EXPECT_EQ(ui.List_Accounts->count(), 0);
  EXPECT_EQ(Enabled(), QList<QWidget*>{ui.Button_NewAccount});
}

TEST_F(MailAccountsPage, CheckSelectedCountsOnlyTheSelectedAccount) {
  ScriptedPop3Server first({ScriptedPop3Server::Mailbox(3)});
  ScriptedPop3Server second({ScriptedPop3Server::Mailbox(4)});
  fake.config.EmailConfig.Accounts = {Account("One", QString::fromLatin1(first.address())),
                                      Account("Two", QString::fromLatin1(second.address()))};
  auto& ui = Page().ui;
  ui.List_Accounts->setCurrentRow(1);
  ui.Button_Check->click();
  ASSERT_TRUE(WaitForMailCheck(60000));
  first.Finish();
  second.Finish();
  EXPECT_EQ(fake.config.DynamicConfig.NewMailCount, 4);
  EXPECT_EQ(first.accepted(), 0);
}

// The page is never shown here: it follows the check all the same.
TEST_F(MailAccountsPage, WhileACheckRunsOnlyTheListStaysEnabled) {
  ScriptedPop3Server silent({{ScriptedPop3Server::Silent()}});
  fake.config.EmailConfig.Accounts = {Account("Home", QString::fromLatin1(silent.address())),
                                      Account("Work")};
  auto& ui = Page().ui;
  const QList<QWidget*> idle = Enabled();
  ASSERT_EQ(idle, Controls());
  ui.Button_CheckAll->click();
  ASSERT_TRUE(fake.config.DynamicConfig.EmailCheckRunning);
  EXPECT_TRUE(Enabled().isEmpty());
  EXPECT_TRUE(ui.List_Accounts->isEnabled());
  // Moving through the list shows the accounts but still allows no change.
  ui.List_Accounts->setCurrentRow(1);
  EXPECT_EQ(ui.Edit_AccountName->text(), "Work");
  EXPECT_TRUE(Enabled().isEmpty());
  ui.List_Accounts->setCurrentRow(0);

  ASSERT_TRUE(WaitUntil([&] { return silent.accepted() == 1; }, 30000));
  AbandonMailCheck();  // the server never answers; end the check
  ASSERT_FALSE(fake.config.DynamicConfig.EmailCheckRunning);
  // A hidden page keeps no timer running: it hears of the end from the worker, through the
  // event loop, with no tick of any timer.
  EXPECT_FALSE(Page().RefreshTimer->isActive());
  QCoreApplication::processEvents();
  EXPECT_EQ(Enabled(), idle);
}

// While shown, the page also follows a check it did not start, each second; at once on show.
TEST_F(MailAccountsPage, ShownItRefreshesEachSecondAndAtOnceWhenShown) {
  fake.config.EmailConfig.Accounts = {Account("Home"), Account("Work")};
  Page().LoadFromConfig();
  const QList<QWidget*> idle = Enabled();
  fake.config.DynamicConfig.EmailCheckRunning = true;  // as a check from the tray menu sets it
  Page().show();
  EXPECT_TRUE(Enabled().isEmpty());
  ASSERT_TRUE(Page().RefreshTimer->isActive());
  EXPECT_EQ(Page().RefreshTimer->interval(), 1000);
  fake.config.DynamicConfig.EmailCheckRunning = false;
  QMetaObject::invokeMethod(Page().RefreshTimer, "timeout", Qt::DirectConnection);
  EXPECT_EQ(Enabled(), idle);
  Page().hide();
  EXPECT_FALSE(Page().RefreshTimer->isActive());
}
}  // namespace
