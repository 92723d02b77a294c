#include <gtest/gtest.h>

#include <QTest>

#include "pages/TFrameRemindersDot.h"
#include "platform/DateTime.h"
#include "reminders/SHLCalendar.h"
#include "settings/Config.h"
#include "support/Fakes.h"

namespace {
using List = QList<ColorReminder>;
constexpr DotColor kRed = DotColor::Red, kYellow = DotColor::Yellow, kGreen = DotColor::Green;

std::string Show(const List& list) {
  std::string s;
  for (const ColorReminder& r : list)
    s += std::to_string(r.date) + "/" + std::to_string(static_cast<int>(r.style)) + " ";
  return s;
}

struct ToggleCase {
  const char* name;
  List before;
  int date;
  DotColor color;
  bool on;
  List after;
};

class ToggleColorReminderTest : public ::testing::TestWithParam<ToggleCase> {};

TEST_P(ToggleColorReminderTest, KeepsEachPairOnceAndTheOrderOfTheRest) {
  const ToggleCase& c = GetParam();
  List list = c.before;
  ToggleColorReminder(list, c.date, c.color, c.on);
  EXPECT_EQ(Show(list), Show(c.after));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ToggleColorReminderTest,
    ::testing::Values(
        ToggleCase{"OnAppends", {{10, kYellow}}, 20, kRed, true, {{10, kYellow}, {20, kRed}}},
        ToggleCase{"OnTwiceKeepsOne", {{20, kRed}}, 20, kRed, true, {{20, kRed}}},
        ToggleCase{
            "OnAnotherStyleOfTheDay", {{20, kRed}}, 20, kGreen, true, {{20, kRed}, {20, kGreen}}},
        ToggleCase{"OffRemovesOnlyThatPair",
                   {{20, kRed}, {20, kYellow}, {20, kGreen}},
                   20,
                   kYellow,
                   false,
                   {{20, kRed}, {20, kGreen}}},
        ToggleCase{"OffWhenMissingChangesNothing", {{20, kRed}}, 21, kRed, false, {{20, kRed}}},
        ToggleCase{"OffOfALoadedDuplicateRemovesTheFirst",
                   {{20, kRed}, {5, kGreen}, {20, kRed}},
                   20,
                   kRed,
                   false,
                   {{5, kGreen}, {20, kRed}}},
        ToggleCase{"OnOfALoadedDuplicateAddsNone",
                   {{20, kRed}, {20, kRed}},
                   20,
                   kRed,
                   true,
                   {{20, kRed}, {20, kRed}}},
        ToggleCase{"PastDaysStay",
                   {{100, kGreen}},
                   37987,
                   kGreen,
                   true,
                   {{100, kGreen}, {37987, kGreen}}}),
    [](const auto& info) { return std::string(info.param.name); });

class ColorDotPageTest : public ::testing::Test {
 protected:
  ColorDotPageTest() {
    fake.clock.now = QDateTime(QDate(2004, 1, 31), QTime(8, 0));
    page = std::make_unique<TFrameRemindersDot>(config, fake.services);
    page->LoadFromConfig();
  }
  QList<bool> Switches() const {
    return {page->ui.Button_RedDot->isChecked(), page->ui.Button_YellowDot->isChecked(),
            page->ui.Button_GreenDot->isChecked()};
  }
  FakeServices fake;
  Config config;
  std::unique_ptr<TFrameRemindersDot> page;
};

TEST_F(ColorDotPageTest, TheGridFillsThePanelAndTheSwitchesAreNamed) {
  EXPECT_EQ(page->Calendar->size(), QSize(263, 302));
  EXPECT_EQ(page->ui.Button_RedDot->accessibleName(), "Red");
  EXPECT_EQ(page->ui.Button_YellowDot->accessibleName(), "Yellow");
  EXPECT_EQ(page->ui.Button_GreenDot->accessibleName(), "Green");
}

TEST_F(ColorDotPageTest, TheTabKeyGoesFromTheGridThroughEveryButtonInTurn) {
  QStringList order;
  QWidget* w = page->Calendar;
  for (int i = 0; i < 9; ++i, w = w->nextInFocusChain()) {
    while (w->focusPolicy() == Qt::NoFocus) w = w->nextInFocusChain();
    order << (w == page->Calendar ? QStringLiteral("grid") : w->objectName());
  }
  EXPECT_EQ(order.join(' '),
            "grid Button_YearPrev Button_YearNext Button_MonthPrev Button_MonthNext Button_Today "
            "Button_RedDot Button_YellowDot Button_GreenDot");
}

TEST_F(ColorDotPageTest, SwitchingRedOnOffOnLeavesOneRecordAndRedrawsNothingElse) {
  const int day = DateToDayNumber(QDate(2004, 1, 31));
  for (int i = 0; i < 3; ++i) page->ui.Button_RedDot->click();
  EXPECT_EQ(Show(config.ColorRemConfig.ColorReminders), Show({{day, kRed}}));
  EXPECT_EQ(Switches(), (QList<bool>{true, false, false}));
}

TEST_F(ColorDotPageTest, NavigationSelectsTheFirstAndShowsItsDots) {
  const int first2005 = DateToDayNumber(QDate(2005, 1, 1));
  config.ColorRemConfig.ColorReminders = {{first2005, kGreen}, {first2005, kYellow}};
  page->ui.Button_YearNext->click();
  EXPECT_EQ(page->Calendar->SelectedDate(), QDate(2005, 1, 1));
  EXPECT_EQ(Switches(), (QList<bool>{false, true, true}));
  page->ui.Button_MonthNext->click();
  EXPECT_EQ(page->Calendar->SelectedDate(), QDate(2005, 2, 1));
  EXPECT_EQ(Switches(), (QList<bool>{false, false, false}));
  page->ui.Button_YearPrev->click();
  page->ui.Button_MonthPrev->click();
  EXPECT_EQ(page->Calendar->SelectedDate(), QDate(2004, 1, 1));
  page->ui.Button_Today->click();
  EXPECT_EQ(page->Calendar->SelectedDate(), QDate(2004, 1, 31));
}

TEST_F(ColorDotPageTest, AClickInTheGridSyncsTheSwitchesToThatDay) {
  // January 2004 starts on a Thursday (column 3); the 2nd is a Friday.
  config.ColorRemConfig.ColorReminders = {{DateToDayNumber(QDate(2004, 1, 2)), kRed}};
  QTest::mouseClick(page->Calendar, Qt::LeftButton, {}, QPoint(4 * 37 + 18, 74 + 18));
  EXPECT_EQ(page->Calendar->SelectedDate(), QDate(2004, 1, 2));
  EXPECT_EQ(Switches(), (QList<bool>{true, false, false}));
}
}  // namespace
