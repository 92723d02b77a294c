#include <gmock/gmock.h>

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMetaObject>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <functional>
#include <memory>

#include "MainWindowFixture.h"
#include "app/CommandLine.h"
#include "app/Scheduler.h"
#include "app/SingleInstance.h"
#include "platform/DateTime.h"
#include "platform/DesktopTrayIcon.h"
#include "reminders/TForm_Reminder.h"
#include "support/E2E.h"
#include "widgets/ElFormCaption.h"
#include "widgets/ElSideBar.h"

namespace {
struct SideBarCase {
  int section;
  int item;
  int slot;
  const char* caption;
  bool refreshed;  // the page is filled from the settings again when selected
};

class SideBarTest : public MainWindowTest, public ::testing::WithParamInterface<SideBarCase> {};

TEST_P(SideBarTest, ItemSelectsItsSlotCaptionAndRefreshesOnlyTheSharedPages) {
  const SideBarCase c = GetParam();
  auto pages = FillSlots();
  // Start from another page so that every case is a real change.
  form->SideBar->itemButton(5, 0)->click();
  QMap<int, int> before;
  for (auto it = pages.begin(); it != pages.end(); ++it) before[it.key()] = it.value()->loads;

  if (c.item == 0 && c.section != 5) {
    form->SideBar->sectionButton(c.section)->click();  // a header opens its first item
  } else {
    form->SideBar->itemButton(c.section, c.item)->click();
  }

  EXPECT_EQ(form->currentSlot(), c.slot);
  EXPECT_EQ(form->ElLabelCaption->text(), QString::fromLatin1(c.caption));
  EXPECT_EQ(form->ElPanelFrameHolder->currentWidget(), pages[c.slot]);
  for (auto it = pages.begin(); it != pages.end(); ++it) {
    const int expected = before[it.key()] + (it.key() == c.slot && c.refreshed ? 1 : 0);
    EXPECT_EQ(it.value()->loads, expected) << "page in slot " << it.key();
  }
}

INSTANTIATE_TEST_SUITE_P(
    AllItems, SideBarTest,
    ::testing::Values(SideBarCase{0, 0, 0, "Wallpaper: Source Directories", false},
                      SideBarCase{0, 1, 1, "Wallpaper: Showing Rules", true},
                      SideBarCase{1, 0, 5, "Calendar: Visual Style", false},
                      SideBarCase{1, 1, 6, "Calendar: Options", true},
                      SideBarCase{1, 2, 7, "Calendar: Agenda", false},
                      SideBarCase{2, 0, 10, "Reminders: Popup Reminders", false},
                      SideBarCase{2, 1, 11, "Reminders: Color-Dot Reminders", false},
                      SideBarCase{3, 0, 15, "Email: Accounts", false},
                      SideBarCase{3, 1, 16, "Email: Actions", false},
                      SideBarCase{3, 2, 17, "Email: Options", false},
                      SideBarCase{4, 0, 20, "Options: Program Options", true},
                      SideBarCase{5, 0, 25, "Help: Quillatorne Manual", false}),
    [](const auto& info) { return "Slot" + std::to_string(info.param.slot); });

TEST_F(MainWindowTest, StartsOnTheSourcePageWithTheManualInItsSlotAndTheVersionInTheCaption) {
  EXPECT_EQ(form->currentSlot(), 0);
  EXPECT_EQ(form->ElLabelCaption->text(), QStringLiteral("Wallpaper: Source Directories"));
  EXPECT_NE(form->Page(25), nullptr);
  EXPECT_EQ(form->FormCaption->leftText(), QStringLiteral("Quillatorne"));
  EXPECT_EQ(form->FormCaption->rightText(), QStringLiteral("version 4.02"));
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Quillatorne"));
  // The client area below our caption strip, inside the one-pixel border.
  EXPECT_EQ(form->size(), QSize(542, 380 + ElFormCaption::kHeight + 2));
  EXPECT_EQ(QFontMetrics(form->ElLabelCaption->font()).height(), 27);
}

TEST_F(MainWindowTest, AnEmptySlotShowsNoStalePage) {
  auto pages = FillSlots();
  form->SideBar->itemButton(3, 0)->click();
  ASSERT_EQ(form->ElPanelFrameHolder->currentWidget(), pages[15]);
  form->SelectSlot(30);  // no side-bar item, no page
  EXPECT_NE(form->ElPanelFrameHolder->currentWidget(), pages[15]);
  EXPECT_EQ(form->ElLabelCaption->text(), QString());
}

TEST_F(MainWindowTest, ShowingTheWindowRefreshesTheRemindersPageAndMakesItOpaque) {
  FakeReminderPage reminders;
  form->setReminderSelector(&reminders);
  EXPECT_EQ(form->windowOpacity(), 0.0);  // created fully transparent
  EXPECT_FALSE(fake.config.DynamicConfig.WindowVisible);

  form->ToggleMainWindow();
  EXPECT_TRUE(fake.config.DynamicConfig.WindowVisible);
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(form->windowOpacity(), 1.0);
  EXPECT_EQ(reminders.loads, 1);

  form->ToggleMainWindow();  // hiding fills nothing
  EXPECT_FALSE(form->isVisible());
  EXPECT_FALSE(fake.config.DynamicConfig.WindowVisible);
  EXPECT_EQ(reminders.loads, 1);
}

TEST_F(MainWindowTest, ReminderEditRequestOpensThePopupPageOnThatReminder) {
  FakeReminderPage reminders;
  form->setReminderSelector(&reminders);
  FillSlots();
  int announced = 0;
  form->scheduler().steps.AnnounceNewMail = [&] { ++announced; };
  form->scheduler().steps.CheckPopupReminders = [this] {
    fake.config.DynamicConfig.EditReminderIndex = 3;
  };

  form->TimerIDLETimer();

  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(form->currentSlot(), 10);
  EXPECT_EQ(form->SideBar->currentSection(), 2);
  EXPECT_EQ(form->SideBar->currentItem(), 0);
  EXPECT_EQ(reminders.selected, 3);
  EXPECT_EQ(announced, 0);
}

TEST_F(MainWindowTest, ASecondEditRequestKeepsTheShownWindowOpen) {
  FakeReminderPage reminders;
  form->setReminderSelector(&reminders);
  FillSlots();
  // An outer popup answered Edit after a nested one had already opened the window.
  form->scheduler().steps.CheckPopupReminders = [this] {
    fake.config.DynamicConfig.EditReminderIndex = 1;
  };
  form->TimerIDLETimer();
  ASSERT_TRUE(form->isVisible());
  fake.config.DynamicConfig.EditReminderIndex = 4;
  form->scheduler().steps.EditReminder(4);
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(fake.config.DynamicConfig.WindowVisible);
  EXPECT_EQ(reminders.selected, 4);
}

enum class Open { Nothing, ModalBox, ReminderWindow };

// Runs `act` from the modal loop of a box over `owner` or of a reminder window, then
// answers that window.
void WhileOpen(Open open, QWidget* owner, const std::function<void()>& act) {
  if (open == Open::ModalBox) {
    QDialog modal(owner);
    QTimer::singleShot(0, &modal, [&] {
      act();
      modal.reject();
    });
    modal.exec();
  } else if (open == Open::ReminderWindow) {
    TForm_Reminder popup;
    popup.Fill(PopupReminder{}, false);
    QTimer::singleShot(0, &popup, [&] {
      act();
      popup.close();
    });
    popup.ShowModal();
  } else {
    act();
  }
}
struct TrayMenuCase {
  bool windowShown;
  bool checkRunning;
  Open open;  // what of the program is open over the tray
  const char* firstCaption;
};

std::string TrayMenuCaseName(const TrayMenuCase& c) {
  const char* open[] = {"", "UnderAModalBox", "UnderAReminder"};
  return std::string(c.windowShown ? "Shown" : "Hidden") +
         (c.checkRunning ? "CheckRunning" : "Idle") + open[int(c.open)];
}

class TrayMenuTest : public MainWindowTest, public ::testing::WithParamInterface<TrayMenuCase> {};

TEST_P(TrayMenuTest, RightClickOpensTheMenuOnlyWithoutAModalWindow) {
  const TrayMenuCase c = GetParam();
  if (c.windowShown) form->ToggleMainWindow();
  fake.config.DynamicConfig.EmailCheckRunning = c.checkRunning;

  bool opened = false;
  auto rightClick = [&] {
    form->TrayIconRightClick();
    opened = form->PopupMenu_Main->isVisible();
    form->PopupMenu_Main->hide();
  };
  bool toggled = false;
  // A panel shows the exported menu even then: what would act is greyed.
  bool allGreyed = false;
  auto clicks = [&] {
    QMetaObject::invokeMethod(form->PopupMenu_Main, "aboutToShow");
    allGreyed = true;
    for (QAction* a : form->PopupMenu_Main->actions())
      if (!a->isSeparator() && a->isEnabled()) allGreyed = false;
    rightClick();
    const bool before = fake.config.DynamicConfig.WindowVisible;
    form->TrayIconDblClick();
    toggled = fake.config.DynamicConfig.WindowVisible != before;
  };
  if (c.open == Open::Nothing) {
    rightClick();
  } else {
    WhileOpen(c.open, form.get(), clicks);
  }

  EXPECT_EQ(opened, c.open == Open::Nothing);
  EXPECT_FALSE(toggled);
  EXPECT_EQ(allGreyed, c.open != Open::Nothing);
  if (c.windowShown != fake.config.DynamicConfig.WindowVisible) form->ToggleMainWindow();
  // Whenever the menu opens (also as a panel that asks for it before showing it).
  QMetaObject::invokeMethod(form->PopupMenu_Main, "aboutToShow");
  EXPECT_EQ(form->MI_ShowHide->text(), QString::fromLatin1(c.firstCaption));
  EXPECT_EQ(form->MI_CheckEmail->isEnabled(), !c.checkRunning);
  for (QAction* a :
       {form->MI_ShowHide, form->MI_Refresh, form->MI_Random, form->MI_Next, form->MI_Close})
    EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
  fake.config.DynamicConfig.EmailCheckRunning = false;
}

INSTANTIATE_TEST_SUITE_P(
    States, TrayMenuTest,
    ::testing::Values(TrayMenuCase{false, false, Open::Nothing, "Show Quillatorne"},
                      TrayMenuCase{true, false, Open::Nothing, "Hide Quillatorne"},
                      TrayMenuCase{false, true, Open::Nothing, "Show Quillatorne"},
                      TrayMenuCase{true, true, Open::Nothing, "Hide Quillatorne"},
                      TrayMenuCase{false, false, Open::ModalBox, "Show Quillatorne"},
                      TrayMenuCase{true, true, Open::ModalBox, "Hide Quillatorne"},
                      TrayMenuCase{false, true, Open::ReminderWindow, "Show Quillatorne"}),
    [](const auto& info) { return TrayMenuCaseName(info.param); });

// Another start (plain or --show) reaching the running copy over its socket while one of its
// modal windows waits: the window stays as the tray icon would leave it.
struct OutsideCase {
  Open open;
  Verb verb;
  const char* name;
};
void PrintTo(const OutsideCase& c, std::ostream* os) { *os << c.name; }

class ShowFromOutsideTest : public MainWindowTest,
                            public ::testing::WithParamInterface<OutsideCase> {};

TEST_P(ShowFromOutsideTest, UnderAModalWindowAnotherStartLeavesTheWindowHidden) {
  const OutsideCase& c = GetParam();
  QTemporaryDir dir;
  SingleInstance running(dir.path());
  ASSERT_TRUE(running.Acquire());
  int received = 0;
  // As the program wires it.
  QObject::connect(&running, &SingleInstance::commandReceived, form.get(),
                   [&](const Command& command) {
                     ++received;
                     CarryOut(*form, command);
                   });
  SingleInstance later(dir.path());
  ASSERT_FALSE(later.TryLock());
  auto anotherStart = [&] {
    const int before = received;
    bool delivered = false;
    std::unique_ptr<QThread> thread(QThread::create([&] {
      delivered = later.Send(Command{c.verb, {}, {}}, nullptr, 3);
    }));
    thread->start();
    WaitUntil([&] { return thread->isFinished() && received > before; }, 20000);
    thread->wait();
    return delivered && received > before;
  };

  bool delivered = false, hidden = false;
  auto whileOpen = [&] {
    delivered = anotherStart();
    hidden = !form->isVisible() && !fake.config.DynamicConfig.WindowVisible;
  };
  WhileOpen(c.open, form.get(), whileOpen);
  EXPECT_TRUE(delivered);
  EXPECT_TRUE(hidden);
  // Once nothing waits for an answer, the same request shows the window.
  EXPECT_TRUE(anotherStart());
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(fake.config.DynamicConfig.WindowVisible);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, ShowFromOutsideTest,
    ::testing::Values(OutsideCase{Open::ReminderWindow, Verb::None, "PlainStartUnderAReminder"},
                      OutsideCase{Open::ReminderWindow, Verb::Show, "ShowUnderAReminder"},
                      OutsideCase{Open::ModalBox, Verb::None, "PlainStartUnderAModalBox"},
                      OutsideCase{Open::ModalBox, Verb::Show, "ShowUnderAModalBox"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, TrayMenuItemsComeInOrder) {
  QStringList captions;
  for (QAction* a : form->PopupMenu_Main->actions())
    if (!a->isSeparator()) captions << a->text();
  EXPECT_EQ(captions,
            (QStringList{"Show Quillatorne", "Check e-mail", "Refresh wallpaper",
                         "Set random wallpaper", "Set next wallpaper", "Exit Quillatorne"}));
  EXPECT_EQ(form->TrayIcon->toolTip(), QStringLiteral("Quillatorne"));
}

TEST_F(MainWindowTest, WithoutASystemTrayTheIconKeepsWaitingForOne) {
  // The offscreen platform has no system tray, as a desktop during log-in may not.
  ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
  EXPECT_TRUE(form->waitingForTray());
  EXPECT_FALSE(form->TrayIcon->isVisible());
}

enum class ExitRoute { ToolButton, TrayMenu };
struct ExitCase {
  ExitRoute route;
  int answer;
};

class ExitTest : public MainWindowTest, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(ExitTest, ConfirmedExitSavesAndClosesRefusedExitChangesNothing) {
  const ExitCase c = GetParam();
  form->ToggleMainWindow();
  fake.messages.answer = [&](const FakeMessageBoxes::Call&) { return c.answer; };

  if (c.route == ExitRoute::ToolButton) {
    form->ToolButton_Exit->click();
  } else {
    form->MI_Close->trigger();
  }

  ASSERT_EQ(fake.messages.calls.size(), 1);
  const auto& box = fake.messages.calls[0];
  EXPECT_EQ(box.caption, QStringLiteral("Please Confirm"));
  EXPECT_EQ(box.flags, 36u);
  EXPECT_EQ(
      box.text,
      QStringLiteral("If closed, Quillatorne will not be able to update desktop wallpaper and "
                     "calendar.\nIt is recommended that you hide Quillatorne instead.\n\nDo you "
                     "still want to close Quillatorne?"));
  if (c.answer == IDYES) {
    EXPECT_EQ(registry.saves, savesAtStart + 1);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->TimerIDLE->isActive());
  } else {
    EXPECT_EQ(registry.saves, savesAtStart);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(fake.config.DynamicConfig.WindowVisible);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ExitTest,
    ::testing::Values(ExitCase{ExitRoute::ToolButton, IDYES}, ExitCase{ExitRoute::ToolButton, IDNO},
                      ExitCase{ExitRoute::TrayMenu, IDYES}, ExitCase{ExitRoute::TrayMenu, IDNO}),
    [](const auto& info) {
      return std::string(info.param.route == ExitRoute::ToolButton ? "ExitButton" : "TrayMenu") +
             (info.param.answer == IDYES ? "Yes" : "No");
    });

TEST_F(MainWindowTest, HideButtonSavesButTheTrayToggleDoesNot) {
  form->TrayIconDblClick();
  EXPECT_TRUE(form->isVisible());
  form->MI_ShowHide->trigger();
  EXPECT_FALSE(form->isVisible());
  form->TrayIconDblClick();
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(registry.saves, savesAtStart);

  form->ToolButton_Hide->click();
  EXPECT_FALSE(form->isVisible());
  EXPECT_FALSE(fake.config.DynamicConfig.WindowVisible);
  EXPECT_EQ(registry.saves, savesAtStart + 1);
}

TEST_F(MainWindowTest, TheLinkOpensTheHomePageItShows) {
  QMouseEvent click(QEvent::MouseButtonRelease, QPointF(20, 10), QPointF(20, 10), Qt::LeftButton,
                    Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(form->Label_HomePage, &click);
  ASSERT_EQ(fake.desktop.opened.size(), 1);
  EXPECT_EQ(fake.desktop.opened[0], TFormMain::HomePage());
  EXPECT_EQ(form->Label_HomePage->text(), TFormMain::HomePage());
}

TEST_F(MainWindowTest, AnotherStartShowsTheWindowEvenBeforeStartUpHidIt) {
  // Fresh window: the start-up hide has not run yet.
  form.reset();
  fake.config = Config(fake.desktop.screen);
  form = std::make_unique<TFormMain>(fake.config, fake.services, store.get());
  form->TimerIDLE->stop();
  ASSERT_TRUE(form->Timer_Minimize->isActive());

  form->ShowFromOutside();
  EXPECT_FALSE(form->Timer_Minimize->isActive());
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(form->windowOpacity(), 1.0);
  EXPECT_TRUE(fake.config.DynamicConfig.WindowVisible);

  form->ShowFromOutside();  // already shown: stays shown
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(fake.config.DynamicConfig.WindowVisible);
}
}  // namespace

// A long paste lands whole in every line edit of every page (a line edit would keep only its
// first 32,767 characters, without a word).
TEST_F(MainWindowTest, EveryLineEditOfThePagesTakesALongPasteWhole) {
  const QString paste(40000, QLatin1Char('x'));
  int edits = 0;
  for (QLineEdit* edit : form->findChildren<QLineEdit*>()) {
    // The edits inside spin boxes and combo boxes take numbers and names, not text.
    if (edit->isReadOnly() || edit->validator() ||
        qobject_cast<QAbstractSpinBox*>(edit->parentWidget()) ||
        qobject_cast<QComboBox*>(edit->parentWidget()))
      continue;
    edit->clear();
    edit->insert(paste);
    EXPECT_EQ(edit->text().size(), paste.size()) << edit->objectName().toStdString();
    ++edits;
  }
  EXPECT_GT(edits, 5);  // the accounts, reminders and file-name edits were reached
}

namespace {
// The pages whose refresh timer runs now.
QList<int> SlotsWithTimersRunning(const TFormMain& form) {
  QList<int> running;
  for (int slot = 0; slot < kPageSlots; ++slot) {
    const SettingsPage* page = form.Page(slot);
    if (!page) continue;
    for (const QTimer* t : page->findChildren<QTimer*>())
      if (t->isActive()) running << slot;
  }
  return running;
}
}  // namespace

// In the tray the program sleeps: no page wakes it; a shown page refreshes only itself.
TEST_F(MainWindowTest, OnlyTheShownPageRunsItsRefreshTimer) {
  EXPECT_THAT(SlotsWithTimersRunning(*form), ::testing::IsEmpty());
  form->ToggleMainWindow();
  QList<int> refreshed;
  for (int slot = 0; slot < kPageSlots; ++slot) {
    if (!form->Page(slot)) continue;
    form->SelectSlot(slot);
    const QList<int> running = SlotsWithTimersRunning(*form);
    EXPECT_TRUE(running.isEmpty() || running == QList<int>{slot}) << "slot " << slot;
    if (!running.isEmpty()) refreshed << slot;
  }
  // The accounts page and the popup reminders page, which refresh their enabled state.
  EXPECT_EQ(refreshed.size(), 2);
  EXPECT_TRUE(refreshed.contains(kPopupRemindersPage));
  form->ToggleMainWindow();
  EXPECT_THAT(SlotsWithTimersRunning(*form), ::testing::IsEmpty());
}

// Hidden with nothing going on, the tick sleeps until the next half minute of the wall clock or
// the first deadline it knows of; with the window shown it beats each second.
struct TickCase {
  const char* name;
  QTime wall;
  qint64 timedChangeInMs;  // -1: the wallpaper is not changed by time
  qint64 mailInMs;         // -1: mail is not checked
  bool shown;
  int expectedMs;
};
class TickBeatTest : public MainWindowTest, public ::testing::WithParamInterface<TickCase> {};

TEST_P(TickBeatTest, TheTickSleepsUntilWhatComesFirst) {
  const TickCase& c = GetParam();
  auto& config = fake.config;
  fake.clock.now = QDateTime(QDate(2026, 3, 15), c.wall);
  fake.clock.elapsedMs = qint64(24) * 3600 * 1000;  // up a day: longer than any delay
  const qint64 delay = qint64(ChangeDelaySeconds(config.WallpaperConfig.ChangeDelay)) * 1000;
  config.WallpaperConfig.ChangeRule =
      c.timedChangeInMs < 0 ? WallpaperChangeRule::Never : WallpaperChangeRule::RandomByTime;
  config.DynamicConfig.LastSetElapsedMs = fake.clock.elapsedMs - delay - 1 + c.timedChangeInMs;
  config.EmailConfig.EnableCheck = c.mailInMs >= 0;
  config.DynamicConfig.LastEmailCheck =
      NowDays(fake.clock) - config.EmailConfig.IntervalMinutes / 1440.0 + c.mailInMs / 86400000.0;
  if (c.shown) form->ToggleMainWindow();

  form->TimerIDLETimer();

  EXPECT_TRUE(form->TimerIDLE->isActive());
  EXPECT_NEAR(form->TimerIDLE->interval(), c.expectedMs, 2);
  EXPECT_EQ(config.DynamicConfig.EmailCheckRunning, false) << "no check was due";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TickBeatTest,
    ::testing::Values(TickCase{"OnTheMinute", QTime(10, 0), -1, -1, false, 30020},
                      TickCase{"IntoTheHalfMinute", QTime(10, 0, 47, 500), -1, -1, false, 12520},
                      TickCase{"TimedChangeFirst", QTime(10, 0, 0), 4000, -1, false, 4020},
                      TickCase{"TimedChangeLater", QTime(10, 0, 20), 60000, -1, false, 10020},
                      TickCase{"MailFirst", QTime(10, 0, 0), 90000, 3000, false, 3020},
                      TickCase{"WindowShown", QTime(10, 0, 0), 4000, 3000, true, 1000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, AChangeByHandOrAShownWindowMakesTheSleepingTickBeatAgain) {
  fake.config.EmailConfig.EnableCheck = false;
  form->TimerIDLETimer();
  ASSERT_GT(form->TimerIDLE->interval(), kBusyTickMs);
  form->MI_RefreshClick();
  EXPECT_EQ(form->TimerIDLE->interval(), kBusyTickMs);
  form->TimerIDLETimer();
  ASSERT_GT(form->TimerIDLE->interval(), kBusyTickMs);
  form->ToggleMainWindow();
  EXPECT_EQ(form->TimerIDLE->interval(), kBusyTickMs);
  form->TimerIDLETimer();
  EXPECT_EQ(form->TimerIDLE->interval(), kBusyTickMs);
  form->ToggleMainWindow();
  form->TimerIDLETimer();
  EXPECT_GT(form->TimerIDLE->interval(), kBusyTickMs);
}
