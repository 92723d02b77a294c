#include <gtest/gtest.h>

#include <QCheckBox>
#include <QTest>
#include <tuple>

#include "pages/TFrameOptionsCommon.h"
#include "settings/Config.h"
#include "support/Fakes.h"

namespace {
// The five settings the page shows, in the order of its boxes, to read and write at once.
using Switches = std::tuple<bool, bool, bool, bool, bool>;
auto SwitchesIn(Config& c) {
  return std::tie(c.ProgramConfig.ExitAfterSet, c.WallpaperConfig.ShowImage,
                  c.CalendarConfig.ShowCalendar, c.ProgramConfig.AllowXP,
                  c.ProgramConfig.EnableSounds);
}

Switches Shown(const TFrameOptionsCommon& page) {
  const auto& ui = page.ui;
  return {ui.Check_UpdateAndClose->isChecked(), ui.Check_ShowImage->isChecked(),
          ui.Check_ShowCalendar->isChecked(), ui.Check_AllowXP->isChecked(),
          ui.Check_EnableSounds->isChecked()};
}

class ProgramOptionsPageTest : public ::testing::Test {
 protected:
  FakeServices fake;
  Config config;
  TFrameOptionsCommon page{config, Svc()};
};

TEST_F(ProgramOptionsPageTest, LoadingShowsEverySettingAndWritesNone) {
  const Switches first{false, false, false, false, false};
  const Switches second{true, true, true, true, true};
  SwitchesIn(config) = first;
  page.LoadFromConfig();
  // Each box now changes as it is filled; a load that stored the boxes would copy the
  // ones not yet filled (still off) over the settings.
  SwitchesIn(config) = second;
  page.LoadFromConfig();
  EXPECT_EQ(Switches(SwitchesIn(config)), second);
  EXPECT_EQ(Shown(page), second);
}

TEST_F(ProgramOptionsPageTest, AClickOnOneBoxStoresAllFive) {
  SwitchesIn(config) = Switches{false, true, true, false, true};
  page.LoadFromConfig();
  // Settings changed behind the page's back are put back to what the page shows.
  config.ProgramConfig.AllowXP = true;
  config.CalendarConfig.ShowCalendar = false;
  page.show();
  QTest::mouseClick(page.ui.Check_UpdateAndClose, Qt::LeftButton, {},
                    page.ui.Check_UpdateAndClose->rect().center());
  EXPECT_EQ(Switches(SwitchesIn(config)), (Switches{true, true, true, false, true}));
}

TEST_F(ProgramOptionsPageTest, TheKeyboardTogglesAFocusedBox) {
  SwitchesIn(config) = Switches{false, true, true, false, true};
  page.LoadFromConfig();
  page.show();
  page.ui.Check_ShowCalendar->setFocus();
  QTest::keyClick(page.ui.Check_ShowCalendar, Qt::Key_Space);
  EXPECT_FALSE(config.CalendarConfig.ShowCalendar);
}

TEST_F(ProgramOptionsPageTest, OnlyTheThreeUsedBoxesAreShown) {
  page.show();
  EXPECT_TRUE(page.ui.Check_UpdateAndClose->isVisible());
  EXPECT_TRUE(page.ui.Check_ShowImage->isVisible());
  EXPECT_TRUE(page.ui.Check_ShowCalendar->isVisible());
  EXPECT_FALSE(page.ui.Check_AllowXP->isVisible());
  EXPECT_FALSE(page.ui.Check_EnableSounds->isVisible());
  EXPECT_EQ(page.ui.Check_UpdateAndClose->text(),
            QStringLiteral("Update wallpaper and then close Quillatorne"));
}
}  // namespace
