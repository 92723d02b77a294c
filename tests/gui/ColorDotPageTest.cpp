#include <gtest/gtest.h>

#include <QTest>

#include "pages/TFrameRemindersDot.h"
#include "platform/DateTime.h"
#include "reminders/SHLCalendar.h"
#include "settings/Config.h"
#include "support/Fakes.h"

namespace {
using List = QList<ColorReminder>;

std::string Show(const List& list) {
  std::string s;
  for (const ColorReminder& r : list)
    s += std::to_string(r.date) + "/" + std::to_string(r.style) + " ";
  return s;
}

struct ToggleCase {
  const char* name;
  List before;
  int date, style;
  bool on;
  List after;
};

class ToggleColorReminderTest : public ::testing::TestWithParam<ToggleCase> {};

TEST_P(ToggleColorReminderTest, KeepsEachPairOnceAndTheOrderOfTheRest) {
  const ToggleCase& c = GetParam();
  List list = c.before;
  ToggleColorReminder(list, c.date, c.style, c.on);
  EXPECT_EQ(Show(list), Show(c.after));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ToggleColorReminderTest,
    ::testing::Values(
        ToggleCase{"OnAppends", {{10, 1}}, 20, 0, true, {{10, 1}, {20, 0}}},
        ToggleCase{"OnTwiceKeepsOne", {{20, 0}}, 20, 0, true, {{20, 0}}},
        ToggleCase{"OnAnotherStyleOfTheDay", {{20, 0}}, 20, 2, true, {{20, 0}, {20, 2}}},
        ToggleCase{"OffRemovesOnlyThatPair",
                   {{20, 0}, {20, 1}, {20, 2}},
                   20,
                   1,
                   false,
                   {{20, 0}, {20, 2}}},
        ToggleCase{"OffWhenMissingChangesNothing", {{20, 0}}, 21, 0, false, {{20, 0}}},
        ToggleCase{"OffOfALoadedDuplicateRemovesTheFirst",
                   {{20, 0}, {5, 2}, {20, 0}},
                   20,
                   0,
                   false,
                   {{5, 2}, {20, 0}}},
        ToggleCase{
            "OnOfALoadedDuplicateAddsNone", {{20, 0}, {20, 0}}, 20, 0, true, {{20, 0}, {20, 0}}},
        ToggleCase{"PastDaysStay", {{100, 2}}, 37987, 2, true, {{100, 2}, {37987, 2}}}),
    [](const auto& info) { return std::string(info.param.name); });

class ColorDotPageTest : public ::testing::Test {
 protected:
  ColorDotPageTest() {
    fake.clock.now = QDateTime(QDate(2004, 1, 31), QTime(8, 0));
    page = std::make_unique<TFrameRemindersDot>(config, fake.services);
    page->LoadFromConfig();
  }
  QList<bool> Switches() const {
    return {page->ui.Button_Rem0->isChecked(), page->ui.Button_Rem1->isChecked(),
            page->ui.Button_Rem2->isChecked()};
  }
  FakeServices fake;
  Config config;
  std::unique_ptr<TFrameRemindersDot> page;
};

TEST_F(ColorDotPageTest, TheGridFillsThePanelAndTheSwitchesAreNamed) {
  EXPECT_EQ(page->Calendar->size(), QSize(263, 302));
  EXPECT_EQ(page->ui.Button_Rem0->accessibleName(), "Red");
  EXPECT_EQ(page->ui.Button_Rem1->accessibleName(), "Yellow");
  EXPECT_EQ(page->ui.Button_Rem2->accessibleName(), "Green");
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
            "Button_Rem0 Button_Rem1 Button_Rem2");
}

TEST_F(ColorDotPageTest, SwitchingRedOnOffOnLeavesOneRecordAndRedrawsNothingElse) {
  const int day = DateToDayNumber(QDate(2004, 1, 31));
  for (int i = 0; i < 3; ++i) page->ui.Button_Rem0->click();
  EXPECT_EQ(Show(config.ColorRemConfig.ColorReminders), Show({{day, 0}}));
  EXPECT_EQ(Switches(), (QList<bool>{true, false, false}));
}

TEST_F(ColorDotPageTest, NavigationSelectsTheFirstAndShowsItsDots) {
  const int first2005 = DateToDayNumber(QDate(2005, 1, 1));
  config.ColorRemConfig.ColorReminders = {{first2005, 2}, {first2005, 1}};
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
  config.ColorRemConfig.ColorReminders = {{DateToDayNumber(QDate(2004, 1, 2)), 0}};
  QTest::mouseClick(page->Calendar, Qt::LeftButton, {}, QPoint(4 * 37 + 18, 74 + 18));
  EXPECT_EQ(page->Calendar->SelectedDate(), QDate(2004, 1, 2));
  EXPECT_EQ(Switches(), (QList<bool>{true, false, false}));
}
}  // namespace
