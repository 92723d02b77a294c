#include <gtest/gtest.h>

#include "app/Scheduler.h"
#include "settings/Config.h"
#include "support/Fakes.h"

namespace {

// A scheduler whose steps write their names into a log.
struct SchedulerTest : ::testing::Test {
  FakeServices fakes;
  Scheduler scheduler{fakes.config.DynamicConfig};
  QStringList log;

  void SetUp() override {
    fakes.config = Config(QSize(1024, 768));
    fakes.config.DynamicConfig.WindowVisible = false;
    auto record = [this](const char* name) { return [this, name] { log << name; }; };
    scheduler.steps.StartMailCheck = record("mail");
    scheduler.steps.CheckPopupReminders = record("popups");
    scheduler.steps.CheckTimedChange = record("timed");
    scheduler.steps.CheckDayChange = record("day");
    scheduler.steps.RemoveEmailTrayIcon = record("remove-icon");
    scheduler.steps.AnnounceNewMail = record("announce");
    scheduler.steps.EditReminder = [this](int i) { log << QString("edit %1").arg(i); };
  }
};

TEST_F(SchedulerTest, HiddenWindowRunsEveryStepInOrder) {
  scheduler.TimerIDLETimer();
  EXPECT_EQ(log, (QStringList{"mail", "popups", "timed", "day", "announce"}));
}

struct Suspension {
  bool windowVisible;
  bool previewOpen;
};
class SchedulerSuspended : public SchedulerTest, public ::testing::WithParamInterface<Suspension> {};

TEST_P(SchedulerSuspended, OnlyTheMailAnnouncementRuns) {
  fakes.config.DynamicConfig.WindowVisible = GetParam().windowVisible;
  fakes.config.DynamicConfig.PreviewOpen = GetParam().previewOpen;
  fakes.config.DynamicConfig.NoNewMail = true;
  for (int second = 0; second < 3; ++second) {
    scheduler.TimerIDLETimer();
    fakes.clock.Advance(1);
  }
  EXPECT_EQ(log, (QStringList{"remove-icon", "announce", "announce", "announce"}));
  // Work resumes on the first tick after the window and the preview are gone.
  fakes.config.DynamicConfig.WindowVisible = false;
  fakes.config.DynamicConfig.PreviewOpen = false;
  log.clear();
  scheduler.TimerIDLETimer();
  EXPECT_EQ(log, (QStringList{"mail", "popups", "timed", "day", "announce"}));
}

INSTANTIATE_TEST_SUITE_P(States, SchedulerSuspended,
                         ::testing::Values(Suspension{true, false}, Suspension{false, true},
                                           Suspension{true, true}));

TEST_F(SchedulerTest, NoNewMailRemovesTheIconOnceAndIsCleared) {
  fakes.config.DynamicConfig.NoNewMail = true;
  scheduler.TimerIDLETimer();
  scheduler.TimerIDLETimer();
  EXPECT_EQ(log.count("remove-icon"), 1);
  EXPECT_FALSE(fakes.config.DynamicConfig.NoNewMail);
}

TEST_F(SchedulerTest, EditRequestOpensTheReminderAndSkipsTheMailSteps) {
  fakes.config.DynamicConfig.NoNewMail = true;
  scheduler.steps.CheckPopupReminders = [this] {
    log << "popups";
    fakes.config.DynamicConfig.EditReminderIndex = 3;
  };
  scheduler.TimerIDLETimer();
  EXPECT_EQ(log, (QStringList{"mail", "popups", "timed", "day", "edit 3"}));
  EXPECT_EQ(fakes.config.DynamicConfig.EditReminderIndex, -1);
  EXPECT_TRUE(fakes.config.DynamicConfig.NoNewMail);  // waits for the next tick
}

TEST_F(SchedulerTest, NestedTickInsideAPopupDoesNotLoseTheOuterEditRequest) {
  // The popup is modal: a nested tick runs while it is open, then the user picks Edit.
  int depth = 0;
  scheduler.steps.CheckPopupReminders = [&] {
    if (depth++ == 0) {
      scheduler.TimerIDLETimer();
      fakes.config.DynamicConfig.EditReminderIndex = 1;
    }
  };
  scheduler.TimerIDLETimer();
  EXPECT_EQ(log.count("edit 1"), 1);
  EXPECT_EQ(log.count("announce"), 1);  // only the nested tick announced
}

}  // namespace
