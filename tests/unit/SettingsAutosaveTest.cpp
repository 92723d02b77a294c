// Changes made in memory reach the file at the next poll, several in one save, and only when
// there is something new to write.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <functional>
#include <thread>

#include "platform/DisplayBreak.h"
#include "settings/Config.h"
#include "settings/SettingsAutosave.h"

namespace {
struct Change {
  const char* name;
  std::function<void(Config&)> apply;
};

class AutosaveTest : public ::testing::TestWithParam<Change> {
 protected:
  void SetUp() override {
    config.RemindersConfig.Reminders.append(PopupReminder{});
    autosave.MarkSaved();
  }
  Config config;
  int saves = 0;
  bool saveWorks = true;
  SettingsAutosave autosave{config, [this] {
                              ++saves;
                              return saveWorks;
                            }};
};

TEST_P(AutosaveTest, AChangeIsSavedOnceAtTheNextPoll) {
  EXPECT_FALSE(autosave.Poll());
  GetParam().apply(config);
  EXPECT_TRUE(autosave.Poll());
  EXPECT_EQ(saves, 1);
  EXPECT_FALSE(autosave.Poll());
  EXPECT_EQ(saves, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Changes, AutosaveTest,
    ::testing::Values(
        Change{"LastImage", [](Config& c) { c.ProgramConfig.LastImageFileName = "/p/b.jpg"; }},
        Change{"LastDay", [](Config& c) { c.ProgramConfig.LastDay = 17; }},
        Change{"ClosedReminder", [](Config& c) { c.RemindersConfig.Reminders.clear(); }},
        Change{"SnoozedReminder",
               [](Config& c) { c.RemindersConfig.Reminders[0].DateTime += 10.0 / 1440; }},
        Change{"PageEdit", [](Config& c) { c.WallpaperConfig.Paths.append("/photos"); }},
        Change{"MailAccount", [](Config& c) { c.EmailConfig.Accounts.append(EmailAccount{}); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AutosaveTest, ChangesBetweenTwoPollsGoOutInOneSave) {
  config.ProgramConfig.LastDay = 3;
  config.WallpaperConfig.Paths.append("/a");
  config.RemindersConfig.Reminders[0].Name = "Dentist";
  EXPECT_TRUE(autosave.Poll());
  EXPECT_EQ(saves, 1);
}

TEST_F(AutosaveTest, ValuesThatComeBackToWhatWasSavedNeedNoSave) {
  const int before = config.ProgramConfig.LastDay;
  config.ProgramConfig.LastDay = before + 1;
  config.ProgramConfig.LastDay = before;
  EXPECT_FALSE(autosave.Poll());
  EXPECT_EQ(saves, 0);
}

TEST_F(AutosaveTest, AFailedSaveIsTriedAgain) {
  config.ProgramConfig.LastDay = 9;
  saveWorks = false;
  EXPECT_FALSE(autosave.Poll());
  saveWorks = true;
  EXPECT_TRUE(autosave.Poll());
  EXPECT_EQ(saves, 2);
}

struct DisplayMessage {
  const char* text;
  bool broke;
};
class DisplayBrokeTest : public ::testing::TestWithParam<DisplayMessage> {};

TEST_P(DisplayBrokeTest, QtsLastWordsAboutTheDisplayAreRecognised) {
  EXPECT_EQ(DisplayBrokeMessage(QString::fromLatin1(GetParam().text)), GetParam().broke);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, DisplayBrokeTest,
    ::testing::Values(
        DisplayMessage{"The Wayland connection broke. Did the Wayland compositor die?", true},
        DisplayMessage{"The Wayland connection experienced a fatal error: Broken pipe", true},
        DisplayMessage{"The X11 connection broke (error 1). Did the X11 server die?", true},
        DisplayMessage{"The X11 connection broke: I/O error (code 1)", true},
        DisplayMessage{"QWidget::setMinimumSize: (/QWidget) Negative sizes", false},
        DisplayMessage{"Wayland does not support QWindow::requestActivate()", false}));

// Qt's Wayland plugin reports the break from its event thread and ends the process right
// after: the save must have run by then, on the GUI thread that owns the record.
TEST(DisplayBreakSave, AReportFromAnotherThreadSavesOnTheGuiThreadBeforeItReturns) {
  std::atomic<int> saves = 0;
  std::atomic<bool> onGuiThread = false;
  SaveWhenTheDisplayBreaks([&] {
    onGuiThread = QThread::currentThread() == qApp->thread();
    ++saves;
  });
  std::atomic<bool> returned = false;
  std::atomic<int> savesWhenItReturned = -1;
  std::thread display([&] {
    qWarning("The Wayland connection broke. Did the Wayland compositor die?");
    savesWhenItReturned = saves.load();
    // A second report (Qt may say it twice) saves no more.
    qWarning("The Wayland connection broke. Did the Wayland compositor die?");
    returned = true;
  });
  while (!returned) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  display.join();
  SaveWhenTheDisplayBreaks({});
  EXPECT_EQ(savesWhenItReturned, 1);
  EXPECT_EQ(saves, 1);
  EXPECT_TRUE(onGuiThread);
}
}  // namespace
