// The mail actions and options pages: what they show, what a change stores, and the
// group box whose tick leaves its contents alone.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QTest>

#include "pages/TFrameEmailActions.h"
#include "pages/TFrameEmailOptions.h"
#include "settings/Config.h"
#include "support/Fakes.h"

namespace {
// Every setting of the two pages, for comparing them whole.
struct MailOptions {
  bool addIcon, animate, leftLaunch, leftRemove, leftMenu, rightLaunch, rightRemove, rightMenu,
      showDialog, onlyOnce, launchClient, launchDiff, playSound;
  QString client, diff, sound;
  bool enableCheck;
  int interval;
  bool onStartup, reportDialog, reportSound;
  QString errorSound;
  bool showSenders, showNotification;  // actions
  bool countOnlyNew;                   // options
  bool operator==(const MailOptions&) const = default;
};

MailOptions Read(const EmailConfigT& e) {
  return {e.AddIcon,           e.Animate,         e.LeftLaunch,         e.LeftRemoveIcon,
          e.LeftShowMenu,      e.RightLaunch,     e.RightRemoveIcon,    e.RightShowMenu,
          e.ShowDialog,        e.OnlyOnce,        e.LaunchEmailProgram, e.LaunchDiffProgram,
          e.PlaySound,         e.EmailClient,     e.DiffProgram,        e.Sound,
          e.EnableCheck,       e.IntervalMinutes, e.CheckOnStartup,     e.ReportErrorsDialog,
          e.ReportErrorsSound, e.ErrorSound,      e.ShowSenders,        e.ShowNotification,
          e.CountOnlyNew};
}

void Write(EmailConfigT& e, const MailOptions& o) {
  e.AddIcon = o.addIcon;
  e.Animate = o.animate;
  e.LeftLaunch = o.leftLaunch;
  e.LeftRemoveIcon = o.leftRemove;
  e.LeftShowMenu = o.leftMenu;
  e.RightLaunch = o.rightLaunch;
  e.RightRemoveIcon = o.rightRemove;
  e.RightShowMenu = o.rightMenu;
  e.ShowDialog = o.showDialog;
  e.OnlyOnce = o.onlyOnce;
  e.LaunchEmailProgram = o.launchClient;
  e.LaunchDiffProgram = o.launchDiff;
  e.PlaySound = o.playSound;
  e.EmailClient = o.client;
  e.DiffProgram = o.diff;
  e.Sound = o.sound;
  e.EnableCheck = o.enableCheck;
  e.IntervalMinutes = o.interval;
  e.CheckOnStartup = o.onStartup;
  e.ReportErrorsDialog = o.reportDialog;
  e.ReportErrorsSound = o.reportSound;
  e.ErrorSound = o.errorSound;
  e.ShowSenders = o.showSenders;
  e.ShowNotification = o.showNotification;
  e.CountOnlyNew = o.countOnlyNew;
}

// The actions page's values of one set with the options page's of another.
MailOptions Mix(const MailOptions& actions, const MailOptions& options) {
  MailOptions m = actions;
  m.enableCheck = options.enableCheck;
  m.interval = options.interval;
  m.onStartup = options.onStartup;
  m.reportDialog = options.reportDialog;
  m.reportSound = options.reportSound;
  m.errorSound = options.errorSound;
  m.countOnlyNew = options.countOnlyNew;
  return m;
}

// Two sets that differ in every value.
const MailOptions kAllOff{false, false, false, false, false, false, false, false,
                          false, false, false, false, false, "",    "",    "",
                          false, 0,     false, false, false, "",    false, false,
                          false};
const MailOptions kAllOn{true,           true,           true,
                         true,           true,           true,
                         true,           true,           true,
                         true,           true,           true,
                         true,           "/usr/bin/mua", "/usr/bin/xeyes",
                         "/snd/new.wav", true,           45,
                         true,           true,           true,
                         "/snd/err.wav", true,           true,
                         true};

class MailActionsOptionsPages : public ::testing::Test {
 protected:
  void Load() {
    actions.LoadFromConfig();
    options.LoadFromConfig();
  }
  MailOptions Shown() const {
    const auto& a = actions.ui;
    const auto& o = options.ui;
    return {a.Group_AddIcon->isChecked(),
            a.Check_Animate->isChecked(),
            a.Check_LeftLaunch->isChecked(),
            a.Check_LeftRemoveIcon->isChecked(),
            a.Check_LeftShowMenu->isChecked(),
            a.Check_RightLaunch->isChecked(),
            a.Check_RightRemoveIcon->isChecked(),
            a.Check_RightShowMenu->isChecked(),
            a.Check_ShowDialog->isChecked(),
            a.Check_OnlyOnce->isChecked(),
            a.Check_LaunchEmailProgram->isChecked(),
            a.Check_DiffProgram->isChecked(),
            a.Check_PlaySound->isChecked(),
            a.Edit_EmailProgram->fileName(),
            a.Edit_DiffProgram->fileName(),
            a.Edit_Sound->fileName(),
            o.Check_CheckEvery->isChecked(),
            o.Spin_Time->value(),
            o.Check_CheckOnStartup->isChecked(),
            o.Check_ReportDialog->isChecked(),
            o.Check_ReportSound->isChecked(),
            o.Edit_Sound->fileName(),
            a.Check_ShowSenders->isChecked(),
            a.Check_ShowNotification->isChecked(),
            o.Check_CountOnlyNew->isChecked()};
  }
  EmailConfigT& e() { return config.EmailConfig; }

  FakeServices fake;
  Config config;
  TFrameEmailActions actions{config, fake.services};
  TFrameEmailOptions options{config, fake.services};
};

TEST_F(MailActionsOptionsPages, LoadingShowsEverySettingAndWritesNone) {
  for (const MailOptions& o : {kAllOff, kAllOn, kAllOff}) {
    Write(e(), o);
    Load();
    // A load that stored a box as it filled it would copy the ones not yet filled back.
    EXPECT_EQ(Read(e()), o);
    EXPECT_EQ(Shown(), o);
  }
}

// A control of either page, and how a user changes it.
struct ChangeCase {
  const char* name;
  std::function<void(TFrameEmailActions&, TFrameEmailOptions&)> change;
  bool onActions;  // which page's settings the change stores
};
void PrintTo(const ChangeCase& c, std::ostream* os) { *os << c.name; }

class MailPageChange : public MailActionsOptionsPages,
                       public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(MailPageChange, OneChangeStoresEveryValueOfThatPage) {
  Write(e(), kAllOff);
  Load();
  // Changed behind the pages' backs: one change on a page puts all of its values back.
  Write(e(), kAllOn);
  actions.show();
  options.show();
  GetParam().change(actions, options);
  const MailOptions shown = Shown();
  EXPECT_NE(shown, kAllOff);  // the change itself
  const MailOptions expected =
      GetParam().onActions ? Mix(shown, kAllOn) : Mix(kAllOn, shown);  // the other page's stay
  EXPECT_EQ(Read(e()), expected);
}

void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(8, w->height() / 2)); }

INSTANTIATE_TEST_SUITE_P(
    Controls, MailPageChange,
    ::testing::Values(
        ChangeCase{"AnimateBox",
                   [](TFrameEmailActions& a, TFrameEmailOptions&) { Click(a.ui.Check_Animate); },
                   true},
        ChangeCase{"GroupTick",
                   [](TFrameEmailActions& a, TFrameEmailOptions&) {
                     a.ui.Group_AddIcon->setFocus();
                     QTest::keyClick(a.ui.Group_AddIcon, Qt::Key_Space);
                   },
                   true},
        ChangeCase{"TypedSoundPath",
                   [](TFrameEmailActions& a, TFrameEmailOptions&) {
                     QTest::keyClicks(a.ui.Edit_Sound->edit(), "x");
                   },
                   true},
        ChangeCase{
            "ShowSendersBox",
            [](TFrameEmailActions& a, TFrameEmailOptions&) { Click(a.ui.Check_ShowSenders); },
            true},
        ChangeCase{"ShowNotificationBox",
                   [](TFrameEmailActions& a, TFrameEmailOptions&) {
                     Click(a.ui.Check_ShowNotification);
                   },
                   true},
        ChangeCase{
            "CountOnlyNewBox",
            [](TFrameEmailActions&, TFrameEmailOptions& o) { Click(o.ui.Check_CountOnlyNew); },
            false},
        ChangeCase{"CheckEveryBox",
                   [](TFrameEmailActions&, TFrameEmailOptions& o) { Click(o.ui.Check_CheckEvery); },
                   false},
        ChangeCase{"IntervalStepUp",
                   [](TFrameEmailActions&, TFrameEmailOptions& o) {
                     o.ui.Spin_Time->setFocus();
                     QTest::keyClick(o.ui.Spin_Time, Qt::Key_Up);
                   },
                   false},
        ChangeCase{"TypedErrorSound",
                   [](TFrameEmailActions&, TFrameEmailOptions& o) {
                     QTest::keyClicks(o.ui.Edit_Sound->edit(), "y");
                   },
                   false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MailActionsOptionsPages, AChangeStoresTheValuesThePagesShow) {
  Write(e(), kAllOff);
  Load();
  actions.show();
  Click(actions.ui.Check_RightShowMenu);
  EXPECT_TRUE(e().RightShowMenu);
  QTest::keyClicks(actions.ui.Edit_EmailProgram->edit(), "/opt/mua");
  EXPECT_EQ(e().EmailClient, "/opt/mua");  // with every keystroke
  options.show();
  options.ui.Spin_Time->setFocus();
  options.ui.Spin_Time->selectAll();
  QTest::keyClicks(options.ui.Spin_Time, "35");
  EXPECT_EQ(e().IntervalMinutes, 35);
}

TEST_F(MailActionsOptionsPages, AnIntervalAboveTheBoxShowsAsItsEndAndStaysUntilAChange) {
  e().IntervalMinutes = 250;
  Load();
  EXPECT_EQ(options.ui.Spin_Time->value(), 100);
  EXPECT_EQ(e().IntervalMinutes, 250);
  // A change on the other page leaves it.
  actions.show();
  Click(actions.ui.Check_Animate);
  EXPECT_EQ(e().IntervalMinutes, 250);
  // Any change on this page stores what it shows.
  options.show();
  Click(options.ui.Check_ReportDialog);
  EXPECT_EQ(e().IntervalMinutes, 100);
}

TEST_F(MailActionsOptionsPages, ANegativeIntervalShowsAsNought) {
  e().IntervalMinutes = -5;
  Load();
  EXPECT_EQ(options.ui.Spin_Time->value(), 0);
  EXPECT_EQ(e().IntervalMinutes, -5);
}

TEST_F(MailActionsOptionsPages, TheIconGroupsTickLeavesItsContentsUsable) {
  e().AddIcon = false;
  Load();
  actions.show();
  const auto& ui = actions.ui;
  for (QCheckBox* box : ui.Group_AddIcon->findChildren<QCheckBox*>()) {
    EXPECT_TRUE(box->isEnabled()) << box->objectName().toStdString();
  }
  ui.Group_AddIcon->setFocus();
  QTest::keyClick(ui.Group_AddIcon, Qt::Key_Space);  // on
  QTest::keyClick(ui.Group_AddIcon, Qt::Key_Space);  // off again, by the user
  EXPECT_FALSE(e().AddIcon);
  EXPECT_TRUE(ui.Check_LeftLaunch->isEnabled());
  Click(ui.Check_LeftLaunch);
  EXPECT_TRUE(e().LeftLaunch);
  Click(ui.Check_Animate);
  EXPECT_TRUE(e().Animate);
}
}  // namespace
