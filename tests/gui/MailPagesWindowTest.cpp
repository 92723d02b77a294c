// The three mail pages in the main window: the master switch on the options page against
// every manual check, and the pages' keyboard and accessibility.
#include <QAccessible>
#include <QTest>

#include "MainWindowFixture.h"
#include "mail/MailCheck.h"
#include "pages/TFrameEmailAccounts.h"
#include "pages/TFrameEmailActions.h"
#include "pages/TFrameEmailOptions.h"
#include "support/Pop3TestServer.h"

namespace {
enum class Trigger { CheckSelected, CheckAll, TrayMenu };

struct SwitchCase {
  const char* name;
  Trigger trigger;
  bool checkEvery;
};
void PrintTo(const SwitchCase& c, std::ostream* os) { *os << c.name; }

class MailSwitch : public MainWindowTest, public ::testing::WithParamInterface<SwitchCase> {
 protected:
  void TearDown() override {
    EXPECT_TRUE(WaitForMailCheck(60000));
    MainWindowTest::TearDown();
  }
};

TEST_P(MailSwitch, CheckMailEveryGatesEveryManualCheck) {
  const SwitchCase& c = GetParam();
  ScriptedPop3Server server({ScriptedPop3Server::Mailbox(5)});
  EmailAccount account;
  account.Name = "Home";
  account.Server = QString::fromLatin1(server.address());
  account.User = "ann";
  account.Password = "secret";
  fake.config.EmailConfig.Accounts = {account};
  fake.config.EmailConfig.EnableCheck = true;
  // The scripted servers speak only the counting conversation: no UIDL, no TOP.
  fake.config.EmailConfig.ShowSenders = false;
  auto* accounts = static_cast<TFrameEmailAccounts*>(form->Page(kMailAccountsPage));
  auto* options = static_cast<TFrameEmailOptions*>(form->Page(kMailOptionsPage));
  ASSERT_TRUE(accounts && options);
  accounts->LoadFromConfig();
  options->LoadFromConfig();
  form->ToggleMainWindow();
  form->SelectSlot(kMailOptionsPage);
  if (!c.checkEvery) {
    QTest::mouseClick(options->ui.Check_CheckEvery, Qt::LeftButton, {},
                      QPoint(8, options->ui.Check_CheckEvery->height() / 2));
    ASSERT_FALSE(fake.config.EmailConfig.EnableCheck);
  }
  form->SelectSlot(kMailAccountsPage);
  switch (c.trigger) {
    case Trigger::CheckSelected:
      accounts->ui.Button_Check->click();
      break;
    case Trigger::CheckAll:
      accounts->ui.Button_CheckAll->click();
      break;
    case Trigger::TrayMenu:
      form->PopupMenu_MainPopup();
      ASSERT_TRUE(form->MI_CheckEmail->isEnabled());
      form->MI_CheckEmail->trigger();
      break;
  }
  ASSERT_TRUE(WaitForMailCheck(60000));
  server.Finish();
  EXPECT_EQ(server.accepted(), c.checkEvery ? 1 : 0);
  EXPECT_EQ(fake.config.DynamicConfig.NewMailCount, c.checkEvery ? 5 : 0);
  EXPECT_EQ(fake.config.DynamicConfig.LastEmailCheck > 0, c.checkEvery);
  // Nothing started, so nothing was disabled either.
  accounts->UpdateAccountControls();
  EXPECT_TRUE(accounts->ui.Button_Check->isEnabled());
  EXPECT_TRUE(accounts->ui.Button_CheckAll->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MailSwitch,
    ::testing::Values(SwitchCase{"CheckSelectedOn", Trigger::CheckSelected, true},
                      SwitchCase{"CheckSelectedOff", Trigger::CheckSelected, false},
                      SwitchCase{"CheckAllOn", Trigger::CheckAll, true},
                      SwitchCase{"CheckAllOff", Trigger::CheckAll, false},
                      SwitchCase{"TrayMenuOn", Trigger::TrayMenu, true},
                      SwitchCase{"TrayMenuOff", Trigger::TrayMenu, false}),
    [](const auto& info) { return std::string(info.param.name); });

// --- keyboard and accessibility ----------------------------------------------------------

struct TabCase {
  const char* name;
  int slot;
  QStringList order;  // the controls' object names, in tab order
};
void PrintTo(const TabCase& c, std::ostream* os) { *os << c.name; }

class MailPageKeyboard : public MainWindowTest, public ::testing::WithParamInterface<TabCase> {};

// The widget a tab stop stands for: a file-name edit's parts count as the edit.
QString StopName(QWidget* w, QWidget* page) {
  for (QWidget* p = w; p && p != page; p = p->parentWidget())
    if (!p->objectName().isEmpty() && !p->objectName().startsWith("qt_")) return p->objectName();
  return QString();
}

TEST_P(MailPageKeyboard, EveryControlHasANameAndAPlaceInTheTabOrder) {
  const TabCase& c = GetParam();
  // One account, so the accounts page enables its editors.
  EmailAccount account;
  account.Name = "Home";
  account.Server = "pop.example";
  account.User = "ann";
  account.Password = "secret";
  fake.config.EmailConfig.Accounts = {account};
  SettingsPage* page = form->Page(c.slot);
  ASSERT_TRUE(page);
  page->LoadFromConfig();
  form->ToggleMainWindow();
  form->SelectSlot(c.slot);
  ASSERT_TRUE(page->isVisible());

  // The tab stops of the page, walked as Tab walks them.
  QWidget* first = page->findChild<QWidget*>(c.order.first());
  ASSERT_TRUE(first);
  if (first->focusProxy()) first = first->focusProxy();
  QStringList walked, names;
  QWidget* w = first;
  do {
    if (page->isAncestorOf(w) && w->isVisible() && (w->focusPolicy() & Qt::TabFocus) &&
        !w->focusProxy()) {
      QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
      ASSERT_TRUE(a);
      EXPECT_FALSE(a->text(QAccessible::Name).isEmpty())
          << w->objectName().toStdString() << " in " << StopName(w, page).toStdString();
      // Two controls of one name cannot be told apart by a screen reader's user.
      const QString name = a->text(QAccessible::Name);
      EXPECT_FALSE(names.contains(name)) << name.toStdString();
      names << name;
      const QString stop = StopName(w, page);
      if (walked.isEmpty() || walked.last() != stop) walked << stop;
    }
    w = w->nextInFocusChain();
  } while (w != first);
  EXPECT_EQ(walked, c.order) << walked.join(", ").toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Pages, MailPageKeyboard,
    ::testing::Values(
        TabCase{"Accounts",
                kMailAccountsPage,
                {"Button_NewAccount", "Button_DeleteAccount", "Button_DeleteAll", "Button_Check",
                 "Button_CheckAll", "List_Accounts", "Edit_AccountName", "Edit_Server", "Edit_User",
                 "Edit_Password", "Button_ShowPassword", "Combo_Protocol", "Combo_Security",
                 "Check_Enable", "Button_Save"}},
        TabCase{"Actions",
                kMailActionsPage,
                {"Group_AddIcon", "Check_Animate", "Check_LeftLaunch", "Check_LeftRemoveIcon",
                 "Check_LeftShowMenu", "Check_RightLaunch", "Check_RightRemoveIcon",
                 "Check_RightShowMenu", "Check_ShowDialog", "Check_OnlyOnce",
                 "Check_ShowNotification", "Check_ShowSenders", "Check_LaunchEmailProgram",
                 "Edit_EmailProgram", "Check_DiffProgram", "Edit_DiffProgram", "Check_PlaySound",
                 "Edit_Sound"}},
        TabCase{"Options",
                kMailOptionsPage,
                {"Check_CheckEvery", "Spin_Time", "Check_CheckOnStartup", "Check_CountOnlyNew",
                 "Check_ReportDialog", "Check_ReportSound", "Edit_Sound"}}),
    [](const auto& info) { return std::string(info.param.name); });
}  // namespace
