#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QTest>
#include <tuple>

#include "pages/TFrameOptionsCommon.h"
#include "platform/Autostart.h"
#include "settings/Config.h"
#include "support/Fakes.h"
#include "support/TempHome.h"

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
  TempHome home;  // the start-at-login box works on the autostart folder in here
  FakeServices fake;
  Config config;
  TFrameOptionsCommon page{config, fake.services};
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

TEST_F(ProgramOptionsPageTest, OnlyTheUsedBoxesAreShown) {
  page.show();
  EXPECT_TRUE(page.ui.Check_UpdateAndClose->isVisible());
  EXPECT_TRUE(page.ui.Check_ShowImage->isVisible());
  EXPECT_TRUE(page.ui.Check_ShowCalendar->isVisible());
  EXPECT_TRUE(page.ui.Check_StartAtLogin->isVisible());
  EXPECT_EQ(page.ui.Check_StartAtLogin->text(), QStringLiteral("Start Quillatorne when I log in"));
  EXPECT_FALSE(page.ui.Check_AllowXP->isVisible());
  EXPECT_FALSE(page.ui.Check_EnableSounds->isVisible());
  EXPECT_EQ(page.ui.Check_UpdateAndClose->text(),
            QStringLiteral("Update wallpaper and then close Quillatorne"));
}
// The start-at-login box shows the autostart entry and adds or removes it.
class StartAtLoginBox : public ProgramOptionsPageTest {
 protected:
  QCheckBox* box() { return page.ui.Check_StartAtLogin; }
  // On the box itself: the check box is as wide as the page, its text is not.
  void Click(QCheckBox* b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(8, b->height() / 2)); }
  QByteArray Entry() {
    QFile f(AutostartFilePath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
};

TEST_F(StartAtLoginBox, ShowsWhetherTheEntryIsThere) {
  page.LoadFromConfig();
  EXPECT_FALSE(box()->isChecked());
  QString error;
  ASSERT_TRUE(EnableAutostart("/usr/bin/quillatorne", &error));
  page.LoadFromConfig();
  EXPECT_TRUE(box()->isChecked());
  EXPECT_EQ(Entry().count("Exec="), 1);  // loading wrote nothing
}

TEST_F(StartAtLoginBox, UntickingRemovesTheEntryAndTickingRestoresIt) {
  QString error;
  ASSERT_TRUE(EnableAutostart(QCoreApplication::applicationFilePath(), &error));
  page.LoadFromConfig();
  page.show();
  Click(box());
  EXPECT_FALSE(QFile::exists(AutostartFilePath()));
  EXPECT_FALSE(AutostartEnabled());
  Click(box());
  EXPECT_TRUE(AutostartEnabled());
  EXPECT_TRUE(
      Entry().contains("\nExec=" + QCoreApplication::applicationFilePath().toUtf8() + "\n"));
  EXPECT_TRUE(fake.messages.calls.isEmpty());
}

TEST_F(StartAtLoginBox, AnotherBoxLeavesTheEntryAsItIs) {
  const QByteArray own = "[Desktop Entry]\nType=Application\nExec=quillatorne --show\n";
  home.write(".config/autostart/quillatorne.desktop", own);
  page.LoadFromConfig();
  page.show();
  Click(page.ui.Check_ShowCalendar);
  EXPECT_EQ(Entry(), own);
}

// The entry changed outside the program while the page was open; then the user clicks each
// of the other boxes. Only the start-at-login box itself may write or remove the entry.
struct OutsideCase {
  const char* name;
  bool entryAtLoad;
  bool entryAfterwards;  // as left outside
};
void PrintTo(const OutsideCase& c, std::ostream* os) { *os << c.name; }

class EntryChangedOutside : public StartAtLoginBox,
                            public ::testing::WithParamInterface<OutsideCase> {};

TEST_P(EntryChangedOutside, StaysAsLeftWhenOtherBoxesAreClicked) {
  const OutsideCase& c = GetParam();
  const QByteArray own = "[Desktop Entry]\nType=Application\nExec=quillatorne\n";
  if (c.entryAtLoad) home.write(".config/autostart/quillatorne.desktop", own);
  page.LoadFromConfig();
  page.show();
  ASSERT_EQ(box()->isChecked(), c.entryAtLoad);
  if (c.entryAfterwards)
    home.write(".config/autostart/quillatorne.desktop", own);
  else
    ASSERT_TRUE(QFile::remove(AutostartFilePath()));
  for (QCheckBox* other :
       {page.ui.Check_UpdateAndClose, page.ui.Check_ShowImage, page.ui.Check_ShowCalendar}) {
    const bool before = other->isChecked();
    Click(other);
    ASSERT_NE(other->isChecked(), before) << qPrintable(other->objectName());
    EXPECT_EQ(QFile::exists(AutostartFilePath()), c.entryAfterwards)
        << qPrintable(other->objectName());
  }
  if (c.entryAfterwards) EXPECT_EQ(Entry(), own);
  EXPECT_TRUE(fake.messages.calls.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Cases, EntryChangedOutside,
                         ::testing::Values(OutsideCase{"DeletedOutside", true, false},
                                           OutsideCase{"CreatedOutside", false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StartAtLoginBox, AnEntryThatCannotBeWrittenIsReportedAndTheBoxSaysSo) {
  home.write(".config/autostart", "a file where the folder belongs");
  page.LoadFromConfig();
  page.show();
  Click(box());
  ASSERT_EQ(fake.messages.calls.size(), 1);
  EXPECT_TRUE(fake.messages.calls[0].text.contains(AutostartFilePath()));
  EXPECT_EQ(fake.messages.calls[0].flags, unsigned(MB_OK | MB_ICONERROR));
  EXPECT_FALSE(box()->isChecked());
}
}  // namespace
