// The showing rules and calendar options pages: every change stores all of the page's
// values, a load stores none.
#include <gtest/gtest.h>

#include <QRadioButton>
#include <tuple>

#include "PrintQt.h"
#include "calendar/Render.h"
#include "pages/TFrameCalendarOptions.h"
#include "pages/TFrameWallpaperRules.h"
#include "support/Fakes.h"

namespace {
// The page's six settings, in its order, to read and write at once.
using Rules = std::tuple<bool, WallpaperChangeRule, int, bool, bool, Color>;
constexpr auto kNever = WallpaperChangeRule::Never;
constexpr auto kOnStartup = WallpaperChangeRule::RandomOnStartup;
constexpr auto kByTime = WallpaperChangeRule::RandomByTime;
auto RulesIn(Config& c) {
  auto& w = c.WallpaperConfig;
  return std::tie(w.ShowImage, w.ChangeRule, w.ChangeDelay, w.StretchToFit, w.ConstrainProportions,
                  w.BackgroundColor);
}

const Rules kShown{true, kByTime, 10, true, false, 0x123456};
const Rules kElsewhere{false, kNever, 3, false, true, 0xFFFFFF};

// One user action on the page and the value it leaves in the settings.
struct RulesCase {
  const char* name;
  void (*act)(TFrameWallpaperRules&);
  Rules expected;
};

class RulesPageTest : public ::testing::TestWithParam<RulesCase> {
 protected:
  FakeServices fake;
  Config config;
  TFrameWallpaperRules page{config, fake.services};
};

TEST_F(RulesPageTest, ShowsTheFifteenIntervalsAndTheRulesAsThePageNamesThem) {
  ASSERT_EQ(page.ui.Combo_Time->count(), 15);
  EXPECT_EQ(page.ui.Combo_Time->itemText(0), QStringLiteral("5 seconds (slideshow?)"));
  EXPECT_EQ(page.ui.Combo_Time->itemText(10), QStringLiteral("3 hours"));
  EXPECT_EQ(page.ui.Combo_Time->itemText(14), QStringLiteral("48 hours"));
  EXPECT_EQ(page.ui.Radio_RandomByTime->text(),
            QStringLiteral("Choose random image depending on time"));
  EXPECT_EQ(page.ui.Check_StretchToFit->text(), QStringLiteral("Stretch to fit screen the screen"));
}

TEST_F(RulesPageTest, LoadingShowsEveryValueAndStoresNone) {
  RulesIn(config) = kElsewhere;
  page.LoadFromConfig();
  RulesIn(config) = kShown;
  page.LoadFromConfig();
  EXPECT_EQ(Rules(RulesIn(config)), kShown);
  EXPECT_TRUE(page.ui.Radio_RandomByTime->isChecked());
  EXPECT_EQ(page.ui.Combo_Time->currentIndex(), 10);
  EXPECT_EQ(page.ui.Combo_BackColor->color(), 0x123456u);
}

TEST_P(RulesPageTest, AnyChangeStoresAllSixValues) {
  RulesIn(config) = kShown;
  page.LoadFromConfig();
  RulesIn(config) = kElsewhere;  // changed behind the page's back
  GetParam().act(page);
  EXPECT_EQ(Rules(RulesIn(config)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    EachControl, RulesPageTest,
    ::testing::Values(
        RulesCase{"ShowImage",
                  [](TFrameWallpaperRules& p) { p.ui.Check_ShowImage->click(); },
                  {false, kByTime, 10, true, false, 0x123456}},
        RulesCase{"Rule",
                  [](TFrameWallpaperRules& p) { p.ui.Radio_RandomOnStartup->click(); },
                  {true, kOnStartup, 10, true, false, 0x123456}},
        RulesCase{"Stretch",
                  [](TFrameWallpaperRules& p) { p.ui.Check_StretchToFit->click(); },
                  {true, kByTime, 10, false, false, 0x123456}},
        // Constraining stays editable while stretching is off.
        RulesCase{"Constrain",
                  [](TFrameWallpaperRules& p) {
                    p.ui.Check_StretchToFit->click();
                    p.ui.Check_ConstrainProportions->click();
                  },
                  {true, kByTime, 10, false, true, 0x123456}},
        RulesCase{"Interval",
                  [](TFrameWallpaperRules& p) { p.ui.Combo_Time->setCurrentIndex(0); },
                  {true, kByTime, 0, true, false, 0x123456}},
        RulesCase{"Colour",
                  [](TFrameWallpaperRules& p) {
                    p.ui.Combo_BackColor->setCurrentIndex(12);
                    p.ui.Combo_BackColor->activated(12);
                  },
                  {true, kByTime, 10, true, false, 0xFF0000}}),
    [](const auto& info) { return std::string(info.param.name); });

// The page's ten settings, in the order a change stores them.
using Calendar =
    std::tuple<bool, WeekStart, CalendarLanguage, QString, Color, Color, Color, Color, bool, bool>;
constexpr auto kSunday = WeekStart::Sunday, kMonday = WeekStart::Monday;
constexpr auto kLocal = CalendarLanguage::Local, kEnglish = CalendarLanguage::English;
auto CalendarIn(Config& config) {
  auto& c = config.CalendarConfig;
  return std::tie(c.ShowCalendar, c.FirstWeekDay, c.Language, c.Font, c.ColorMonthYear,
                  c.ColorDayNames, c.ColorDayNumbers, c.ColorWeekMarker, c.DrawGlass,
                  c.DrawTextShadow);
}

class CalendarOptionsPageTest : public ::testing::Test {
 protected:
  FakeServices fake;
  Config config;
  TFrameCalendarOptions page{config, fake.services};
};

TEST_F(CalendarOptionsPageTest, LoadingShowsEveryValueAndStoresNone) {
  const Calendar first{false, kSunday, kLocal, "DejaVu Serif", 0, 0, 0, 0, false, false};
  const Calendar second{true,     kMonday,  kEnglish, "DejaVu Sans", 0x00B3FF,
                        0xC0C0C0, 0xFFFF00, 0x0000FF, true,          true};
  CalendarIn(config) = first;
  page.LoadFromConfig();
  CalendarIn(config) = second;
  page.LoadFromConfig();
  EXPECT_EQ(Calendar(CalendarIn(config)), second);
  EXPECT_TRUE(page.ui.Radio_Monday->isChecked());
  EXPECT_TRUE(page.ui.Radio_English->isChecked());
  EXPECT_EQ(page.ui.Combo_Font->face(), QStringLiteral("DejaVu Sans"));
  EXPECT_EQ(page.ui.Combo_DayName->currentText(), QStringLiteral("Silver"));
  EXPECT_EQ(page.ui.Combo_WeekMarker->currentText(), QStringLiteral("Red"));
}

TEST_F(CalendarOptionsPageTest, ChangingTheLanguageStoresAllTenKeepingAFaceNotInstalled) {
  const Calendar shown{true,     kMonday,  kEnglish, "Arial", 0x00B3FF,
                       0xC0C0C0, 0xFFFF00, 0x00B3FF, true,    false};
  CalendarIn(config) = shown;
  page.LoadFromConfig();
  CalendarIn(config) = Calendar{false, kSunday, kEnglish, "Other", 1, 2, 3, 4, false, true};
  page.ui.Radio_Local->click();
  Calendar expected = shown;
  std::get<2>(expected) = kLocal;
  EXPECT_EQ(Calendar(CalendarIn(config)), expected);
}

TEST_F(CalendarOptionsPageTest, TheChosenFontIsTheOneTheCalendarDrawsWithNext) {
  fake.config = Config(fake.desktop.screen);
  TFrameCalendarOptions global(fake.config, fake.services);
  fake.config.CalendarConfig.Font = QStringLiteral("DejaVu Sans");
  global.LoadFromConfig();
  auto draw = [this] {
    QImage canvas(800, 600, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    DrawCalendar(canvas, canvas.width(), canvas.height(), fake.config, CalendarToday(fake.clock));
    return canvas;
  };
  const QImage before = draw();
  const int serif = global.ui.Combo_Font->findText(QStringLiteral("DejaVu Serif"));
  ASSERT_GE(serif, 0);
  global.ui.Combo_Font->setCurrentIndex(serif);
  global.ui.Combo_Font->activated(serif);
  EXPECT_EQ(fake.config.CalendarConfig.Font, QStringLiteral("DejaVu Serif"));
  const QImage after = draw();
  EXPECT_NE(after, before);
  // The same as a calendar set to that face directly.
  fake.config.CalendarConfig.Font = QStringLiteral("DejaVu Serif");
  EXPECT_EQ(draw(), after);
}
}  // namespace
