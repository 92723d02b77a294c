// The new-mail announcement, the mail tray icon and its menu, with recording fakes.
#include <gtest/gtest.h>

#include <QMenu>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include "app/Scheduler.h"
#include "mail/MailNotify.h"
#include "platform/DesktopTrayIcon.h"
#include "settings/Config.h"
#include "support/Fakes.h"

namespace {
// Everything the announcement does, in the order it happened.
class OrderedDesktop : public FakeDesktop {
 public:
  QStringList* log = nullptr;
  bool ShellOpen(const QString& target) override {
    *log << "open " + target;
    return FakeDesktop::ShellOpen(target);
  }
  void PlaySound(const QString& file) override {
    *log << "sound " + file;
    FakeDesktop::PlaySound(file);
  }
};

class OrderedNotifications : public FakeNotifications {
 public:
  QStringList* log = nullptr;
  quint64 Notify(const DesktopNotification& n) override {
    *log << "notify " + n.summary + (n.body.isEmpty() ? QString() : " | " + n.body);
    return FakeNotifications::Notify(n);
  }
};

class MailNotify : public testing::Test {
 protected:
  void SetUp() override {
    fakes.config = Config(QSize(1024, 768));
    ASSERT_TRUE(dir.isValid());
    sound = Touch("new-mail.wav");
    client = Touch("mailer");
    other = Touch("other");
    desktop.log = &log;
    fakes.services.desktop = &desktop;
    notices.log = &log;
    fakes.services.notifications = &notices;
    fakes.messages.answer = [this](const FakeMessageBoxes::Call& c) {
      const MailNotifier* n = MailNotifier::Existing();
      log << "box " + c.text + (n && n->iconPresent() ? " (icon shown)" : "");
      return IDOK;
    };
  }
  QString Touch(const QString& name) {
    QFile f(dir.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    return f.fileName();
  }
  void Announce(int count) {
    fakes.config.DynamicConfig.NewMailCount = count;
    AnnounceNewMail(&window, fakes.config, fakes.services);
  }
  MailNotifier* notifier() { return MailNotifier::Instance(&window, fakes.config, fakes.services); }

  FakeServices fakes;
  OrderedDesktop desktop;
  OrderedNotifications notices;
  QTemporaryDir dir;
  QWidget window;
  QStringList log;
  QString sound, client, other;
};

TEST_F(MailNotify, EverythingOnRunsInItsFixedOrder) {
  auto& e = fakes.config.EmailConfig;
  e.PlaySound = e.LaunchEmailProgram = e.LaunchDiffProgram = e.AddIcon = e.ShowDialog = true;
  e.ShowNotification = true;
  e.Sound = sound;
  e.EmailClient = client;
  e.DiffProgram = other;
  Announce(7);
  EXPECT_EQ(log, QStringList({"sound " + sound, "open " + client, "open " + other,
                              "notify You have 7 email message(s) waiting!",
                              "box You have 7 email message(s) waiting! (icon shown)"}));
  ASSERT_EQ(fakes.messages.calls.size(), 1);
  EXPECT_EQ(fakes.messages.calls[0].caption, "Email Checker Message");
  EXPECT_EQ(fakes.messages.calls[0].flags, 64u);
  EXPECT_EQ(fakes.config.DynamicConfig.NewMailCount, 0);
  EXPECT_EQ(fakes.config.DynamicConfig.AnnouncedMailCount, 7);
}

// Each setting alone, and files that do not exist.
struct EffectCase {
  const char* name;
  std::function<void(EmailConfigT&, const QString& missing)> set;
  QStringList log;  // with %s, %c, %o for the sound, mail program and other program
  bool icon;
  bool animated;
};
// Test names in CTest stay readable.
void PrintTo(const EffectCase& c, std::ostream* os) { *os << c.name; }

class MailNotifySetting : public MailNotify, public testing::WithParamInterface<EffectCase> {};

TEST_P(MailNotifySetting, HasItsEffectOnly) {
  const EffectCase& c = GetParam();
  auto& e = fakes.config.EmailConfig;
  e.Sound = sound;
  e.EmailClient = client;
  e.DiffProgram = other;
  c.set(e, dir.filePath("missing"));
  Announce(1);
  QStringList expected;
  for (QString line : c.log)
    expected << line.replace("%s", sound).replace("%c", client).replace("%o", other);
  EXPECT_EQ(log, expected);
  const MailNotifier* n = MailNotifier::Existing();
  EXPECT_EQ(n && n->iconPresent(), c.icon);
  EXPECT_EQ(n && n->iconAnimated(), c.animated);
  EXPECT_EQ(fakes.config.DynamicConfig.NewMailCount, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, MailNotifySetting,
    testing::Values(EffectCase{"NothingOn", [](EmailConfigT&, const QString&) {}, {}, false, false},
                    EffectCase{"Sound",
                               [](EmailConfigT& e, const QString&) { e.PlaySound = true; },
                               {"sound %s"},
                               false,
                               false},
                    EffectCase{"MissingSound",
                               [](EmailConfigT& e, const QString& m) {
                                 e.PlaySound = true;
                                 e.Sound = m;
                               },
                               {},
                               false,
                               false},
                    EffectCase{"MailProgram",
                               [](EmailConfigT& e, const QString&) { e.LaunchEmailProgram = true; },
                               {"open %c"},
                               false,
                               false},
                    EffectCase{"MissingMailProgram",
                               [](EmailConfigT& e, const QString& m) {
                                 e.LaunchEmailProgram = true;
                                 e.EmailClient = m;
                               },
                               {},
                               false,
                               false},
                    EffectCase{"OtherProgram",
                               [](EmailConfigT& e, const QString&) { e.LaunchDiffProgram = true; },
                               {"open %o"},
                               false,
                               false},
                    EffectCase{"MissingOtherProgram",
                               [](EmailConfigT& e, const QString& m) {
                                 e.LaunchDiffProgram = true;
                                 e.DiffProgram = m;
                               },
                               {},
                               false,
                               false},
                    EffectCase{"StaticIcon",
                               [](EmailConfigT& e, const QString&) { e.AddIcon = true; },
                               {},
                               true,
                               false},
                    EffectCase{
                        "AnimatedIcon",
                        [](EmailConfigT& e, const QString&) { e.AddIcon = e.Animate = true; },
                        {},
                        true,
                        true},
                    EffectCase{"AnimateWithoutIcon",
                               [](EmailConfigT& e, const QString&) { e.Animate = true; },
                               {},
                               false,
                               false},
                    EffectCase{"Dialog",
                               [](EmailConfigT& e, const QString&) { e.ShowDialog = true; },
                               {"box You have 1 email message(s) waiting!"},
                               false,
                               false},
                    EffectCase{"Notification",
                               [](EmailConfigT& e, const QString&) { e.ShowNotification = true; },
                               {"notify You have 1 email message(s) waiting!"},
                               false,
                               false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MailNotify, NoCountAnnouncesNothingAndForgetsTheLastCount) {
  auto& e = fakes.config.EmailConfig;
  e.PlaySound = e.AddIcon = e.ShowDialog = true;
  e.Sound = sound;
  fakes.config.DynamicConfig.AnnouncedMailCount = 5;
  Announce(0);
  EXPECT_TRUE(log.isEmpty());
  EXPECT_EQ(MailNotifier::Existing(), nullptr);
  EXPECT_EQ(fakes.config.DynamicConfig.AnnouncedMailCount, 0);
}

// The tick's mail steps, wired as the main window wires them.
class MailTick : public MailNotify {
 protected:
  void SetUp() override {
    MailNotify::SetUp();
    fakes.config.DynamicConfig.WindowVisible =
        true;  // background work off; the mail steps still run
    scheduler.steps.RemoveEmailTrayIcon = [] { RemoveEmailTrayIcon(); };
    scheduler.steps.AnnounceNewMail = [this] {
      AnnounceNewMail(&window, fakes.config, fakes.services);
    };
  }
  void Tick(int published = 0) {
    fakes.config.DynamicConfig.NewMailCount = published;
    scheduler.TimerIDLETimer();
  }
  Scheduler scheduler{fakes.config.DynamicConfig};
};

TEST_F(MailTick, OnlyOnceStillShowsTheSameCountOnLaterChecks) {
  auto& e = fakes.config.EmailConfig;
  e.ShowDialog = e.OnlyOnce = true;
  Tick(3);
  Tick();  // no count waiting: the remembered count goes back to 0
  Tick(3);
  EXPECT_EQ(fakes.messages.calls.size(), 2);
}

TEST_F(MailTick, OnlyOnceSkipsTheSameCountWhileRemembered) {
  auto& e = fakes.config.EmailConfig;
  e.ShowDialog = e.OnlyOnce = true;
  fakes.config.DynamicConfig.AnnouncedMailCount = 3;
  Tick(3);
  EXPECT_TRUE(fakes.messages.calls.isEmpty());
  Tick(4);
  EXPECT_EQ(fakes.messages.calls.size(), 1);
  EXPECT_EQ(fakes.config.DynamicConfig.AnnouncedMailCount, 4);
}

TEST_F(MailTick, WithoutOnlyOnceEveryCountIsShown) {
  fakes.config.EmailConfig.ShowDialog = true;
  fakes.config.DynamicConfig.AnnouncedMailCount = 3;
  Tick(3);
  EXPECT_EQ(fakes.messages.calls.size(), 1);
}

TEST_F(MailTick, NoNewMailRemovesTheIcon) {
  fakes.config.EmailConfig.AddIcon = true;
  Tick(2);
  ASSERT_TRUE(notifier()->iconPresent());
  Tick();
  EXPECT_TRUE(notifier()->iconPresent());  // no result yet: the icon stays
  fakes.config.DynamicConfig.NoNewMail = true;
  Tick();
  EXPECT_FALSE(notifier()->iconPresent());
  EXPECT_FALSE(notifier()->TrayIcon_Email->isVisible());
  EXPECT_FALSE(fakes.config.DynamicConfig.NoNewMail);
}

TEST_F(MailTick, NoAnnouncementOnATickThatOpensAReminderForEditing) {
  fakes.config.EmailConfig.ShowDialog = true;
  int edited = -1;
  scheduler.steps.EditReminder = [&](int i) { edited = i; };
  scheduler.steps.StartMailCheck = [] {};
  fakes.config.DynamicConfig.WindowVisible = false;
  scheduler.steps.CheckPopupReminders = [this] {
    fakes.config.DynamicConfig.EditReminderIndex = 2;
  };
  Tick(3);
  EXPECT_EQ(edited, 2);
  EXPECT_TRUE(fakes.messages.calls.isEmpty());
  EXPECT_EQ(fakes.config.DynamicConfig.NewMailCount, 3);  // waits for the next tick
}

TEST_F(MailTick, OnlyOnceHoldsBackTheNotificationOfTheSameCountToo) {
  auto& e = fakes.config.EmailConfig;
  e.ShowNotification = e.OnlyOnce = true;
  Tick(3);
  Tick(3);
  EXPECT_EQ(notices.shown.size(), 1);
  Tick(4);
  EXPECT_EQ(log, QStringList({"notify You have 3 email message(s) waiting!",
                              "notify You have 4 email message(s) waiting!"}));
}

// --- the desktop notification ---------------------------------------------------------------

TEST_F(MailNotify, NotificationSaysWhatTheBoxSaysSendersBelowTheCount) {
  const QString text = NewMailText(2, {{"Ann", "Lunch"}, {"Bob", "Re: Lunch"}});
  const quint64 handle = NotifyNewMail(notices, text, 0);
  ASSERT_EQ(notices.shown.size(), 1);
  EXPECT_EQ(notices.shown[0].handle, handle);
  const DesktopNotification& n = notices.shown[0].notification;
  EXPECT_EQ(n.summary + "\n\n" + n.body, text);
  EXPECT_EQ(n.body, "Ann: Lunch\nBob: Re: Lunch");
  EXPECT_EQ(n.category, "email.arrived");
}

TEST_F(MailNotify, ANewCountReplacesTheNotificationBefore) {
  fakes.config.EmailConfig.ShowNotification = true;
  Announce(2);
  ASSERT_EQ(notices.shown.size(), 1);
  const quint64 first = notices.shown[0].handle;
  Announce(5);
  ASSERT_EQ(notices.shown.size(), 1);
  EXPECT_EQ(notices.shown[0].notification.summary, "You have 5 email message(s) waiting!");
  EXPECT_EQ(notices.closed, QList<quint64>{first});
  EXPECT_EQ(fakes.config.DynamicConfig.MailNotification, notices.shown[0].handle);
}

TEST_F(MailNotify, WithoutANotificationServerTheBoxStillComes) {
  auto& e = fakes.config.EmailConfig;
  e.ShowNotification = e.ShowDialog = true;
  notices.available = false;
  Announce(1);
  EXPECT_TRUE(notices.shown.isEmpty());
  EXPECT_EQ(fakes.config.DynamicConfig.MailNotification, 0u);
  EXPECT_EQ(fakes.messages.calls.size(), 1);
}

// --- the icon -------------------------------------------------------------------------------

TEST_F(MailNotify, AddIconOffKeepsAnIconShownEarlier) {
  auto& e = fakes.config.EmailConfig;
  e.AddIcon = true;
  Announce(2);
  e.AddIcon = false;
  Announce(2);
  EXPECT_TRUE(notifier()->iconPresent());
}

TEST_F(MailNotify, AnimateChangesOnlyWithTheNextAnnouncement) {
  auto& e = fakes.config.EmailConfig;
  e.AddIcon = true;
  Announce(2);
  ASSERT_FALSE(notifier()->iconAnimated());
  e.Animate = true;  // the actions page changes it
  EXPECT_FALSE(notifier()->iconAnimated());
  Announce(2);
  EXPECT_TRUE(notifier()->iconAnimated());
  EXPECT_TRUE(notifier()->Timer_Animate->isActive());
  e.Animate = false;
  Announce(2);
  EXPECT_FALSE(notifier()->iconAnimated());
  EXPECT_FALSE(notifier()->Timer_Animate->isActive());
}

TEST_F(MailNotify, AnimationCyclesFourFramesEvery200ms) {
  auto& e = fakes.config.EmailConfig;
  e.AddIcon = e.Animate = true;
  Announce(1);
  MailNotifier* n = notifier();
  EXPECT_EQ(n->Timer_Animate->interval(), 200);
  ASSERT_EQ(n->IL_Animate.size(), 4);
  QList<int> frames{n->frame()};
  for (int i = 0; i < 5; ++i) {
    n->AnimateStep();
    frames << n->frame();
  }
  EXPECT_EQ(frames, QList<int>({0, 1, 2, 3, 0, 1}));
  EXPECT_EQ(n->TrayIcon_Email->icon().cacheKey(), n->IL_Animate[1].cacheKey());
}

TEST(MailIcons, FramesAreSixteenPixelsAndDistinct) {
  QList<QImage> images{MailIcon().pixmap(16, 16).toImage()};
  for (const QIcon& f : MailAnimationFrames()) images << f.pixmap(16, 16).toImage();
  ASSERT_EQ(images.size(), 5);
  for (int i = 0; i < images.size(); ++i) {
    EXPECT_EQ(images[i].size(), QSize(16, 16));
    for (int j = 0; j < i; ++j) EXPECT_NE(images[i], images[j]) << i << " and " << j;
  }
}

// --- clicks and the menu --------------------------------------------------------------------

struct ClickCase {
  const char* name;
  Qt::MouseButton button;
  bool launch, remove, menu;  // the settings for that button
  bool launched, removed, menuShown;
};
// Test names in CTest stay readable.
void PrintTo(const ClickCase& c, std::ostream* os) { *os << c.name; }

class MailIconClick : public MailNotify, public testing::WithParamInterface<ClickCase> {};

TEST_P(MailIconClick, RunsEveryEffectSwitchedOn) {
  const ClickCase& c = GetParam();
  auto& e = fakes.config.EmailConfig;
  e.AddIcon = true;
  e.EmailClient = client;
  Announce(1);
  // The other button's settings are all on, to show they do not leak across.
  const bool left = c.button == Qt::LeftButton;
  e.LeftLaunch = left ? c.launch : true;
  e.LeftRemoveIcon = left ? c.remove : true;
  e.LeftShowMenu = left ? c.menu : true;
  e.RightLaunch = !left ? c.launch : true;
  e.RightRemoveIcon = !left ? c.remove : true;
  e.RightShowMenu = !left ? c.menu : true;
  if (c.button == Qt::MiddleButton) e.LeftLaunch = e.LeftRemoveIcon = e.LeftShowMenu = true;
  MailNotifier* n = notifier();
  n->TrayIcon_EmailClick(c.button, QPoint(40, 50));
  EXPECT_EQ(desktop.opened, c.launched ? QStringList{client} : QStringList());
  EXPECT_EQ(n->iconPresent(), !c.removed);
  EXPECT_EQ(n->PopupMenu_Email->isVisible(), c.menuShown);
  n->PopupMenu_Email->hide();
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, MailIconClick,
    testing::Values(
        ClickCase{"LeftLaunch", Qt::LeftButton, true, false, false, true, false, false},
        ClickCase{"LeftRemove", Qt::LeftButton, false, true, false, false, true, false},
        ClickCase{"LeftRemoveAndMenu", Qt::LeftButton, false, true, true, false, true, true},
        ClickCase{"LeftNothing", Qt::LeftButton, false, false, false, false, false, false},
        ClickCase{"RightAll", Qt::RightButton, true, true, true, true, true, true},
        ClickCase{"RightMenu", Qt::RightButton, false, false, true, false, false, true},
        ClickCase{"MiddleDoesNothing", Qt::MiddleButton, true, true, true, false, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MailNotify, MenuOffersLaunchRemoveAndCancel) {
  fakes.config.EmailConfig.EmailClient = client;
  fakes.config.EmailConfig.AddIcon = true;
  Announce(1);
  MailNotifier* n = notifier();
  QStringList captions;
  for (const QAction* a : n->PopupMenu_Email->actions()) captions << a->text();
  EXPECT_EQ(captions, QStringList({"Launch email client", "Just remove icon", "Cancel"}));
  // Launch does not ask Email/LaunchEmailProgram.
  n->MI_LaunchEmailClient->trigger();
  EXPECT_EQ(desktop.opened, QStringList{client});
  n->MI_Cancel->trigger();
  EXPECT_TRUE(n->iconPresent());
  n->MI_JustRemoveIcon->trigger();
  EXPECT_FALSE(n->iconPresent());
}
}  // namespace
