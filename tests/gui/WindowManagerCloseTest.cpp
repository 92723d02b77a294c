// The window manager's close hides the window and saves, as "Hide" does; only the program's
// own exits end it. And what changes in memory reaches the settings at the next tick.
#include <gtest/gtest.h>

#include <QtTest/qtestspontaneevent.h>
#include <QApplication>
#include <QCloseEvent>
#include <QWindow>
#include <string>
#include <tuple>

#include "MainWindowFixture.h"

namespace {
// A close as the window manager sends it (WM_DELETE_WINDOW, xdg_toplevel.close).
bool CloseFromOutside(QWidget* window) {
  QCloseEvent close;
  QSpontaneKeyEvent::setSpontaneous(&close);
  // Not sendEvent: that one takes the mark off again.
  qApp->notify(window, &close);
  return close.isAccepted();
}

// What Qt's Wayland plugin does on xdg_toplevel.close: it closes the window itself, so the
// widget's close event does not look spontaneous.
bool CloseThroughTheWindow(QWidget* window) {
  window->winId();
  return window->windowHandle()->close();
}

class WindowManagerCloseTest : public MainWindowTest,
                               public ::testing::WithParamInterface<std::tuple<bool, bool>> {};

TEST_P(WindowManagerCloseTest, HidesAndSavesWithoutEndingOrAsking) {
  const auto [shown, throughTheWindow] = GetParam();
  if (shown) form->ToggleMainWindow();
  fake.config.ProgramConfig.LastDay = 27;  // an edit the close must not lose

  EXPECT_FALSE(throughTheWindow ? CloseThroughTheWindow(form.get()) : CloseFromOutside(form.get()));
  QCoreApplication::processEvents();

  EXPECT_FALSE(form->isVisible());
  EXPECT_FALSE(fake.config.DynamicConfig.WindowVisible);
  EXPECT_EQ(registry.saves, savesAtStart + 1);
  EXPECT_EQ(store.get().ReadInteger("Program", "LastDay", 0), 27);
  EXPECT_TRUE(fake.messages.calls.empty());
  // Still running: the tray brings the window back.
  form->TrayIconDblClick();
  EXPECT_TRUE(form->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Window, WindowManagerCloseTest,
                         ::testing::Combine(::testing::Bool(), ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param) ? "Shown" : "Hidden") +
                                  (std::get<1>(info.param) ? "ClosedThroughItsWindow"
                                                           : "SpontaneousClose");
                         });

TEST_F(MainWindowTest, TheProgramsOwnCloseStillEndsIt) {
  form->ToggleMainWindow();
  form->Exit();  // --quit, a termination signal, the session's end
  EXPECT_FALSE(form->TimerIDLE->isActive());
  EXPECT_EQ(registry.saves, savesAtStart + 1);
  // After the end, a late close from outside changes nothing.
  EXPECT_TRUE(CloseFromOutside(form.get()));
  EXPECT_EQ(registry.saves, savesAtStart + 1);
}

TEST_F(MainWindowTest, ATickSavesWhatChangedSinceTheLastOneAndNothingElse) {
  form->scheduler().steps = {};
  form->TimerIDLETimer();  // whatever start-up itself recorded
  const int saves = registry.saves;
  form->TimerIDLETimer();
  EXPECT_EQ(registry.saves, saves);

  // A popup closed and the image recorded within one second: one save.
  fake.config.ProgramConfig.LastImageFileName = QStringLiteral("/photos/b.jpg");
  fake.config.RemindersConfig.Reminders.append(PopupReminder{});
  form->TimerIDLETimer();
  EXPECT_EQ(registry.saves, saves + 1);
  EXPECT_EQ(store.get().ReadString("Program", "LastImageFileName", ""), "/photos/b.jpg");

  form->TimerIDLETimer();
  EXPECT_EQ(registry.saves, saves + 1);
}
}  // namespace
