#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <functional>

#include "MainWindowFixture.h"
#include "pages/TFrameCalendarOptions.h"
#include "pages/TFrameWallpaperRules.h"
#include "settings/ConfigStore.h"
#include "support/Fakes.h"
#include "widgets/ColorCombo.h"

namespace {
// Answers the colour dialog the combo opens: picks `colour`, or cancels when invalid.
void AnswerColourDialog(QColor colour) {
  QTimer::singleShot(0, [colour] {
    auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    if (colour.isValid()) {
      dialog->setCurrentColor(colour);
      dialog->accept();
    } else {
      dialog->reject();
    }
  });
}

int CustomEntry(const ColorCombo& combo) { return combo.count() - 1; }

TEST(ColorComboTest, OffersTheSixteenBasicColoursByNameThenCustom) {
  ColorCombo combo;
  ASSERT_EQ(combo.count(), 17);
  EXPECT_EQ(combo.itemText(0), QStringLiteral("Black"));
  EXPECT_EQ(combo.itemText(12), QStringLiteral("Blue"));
  EXPECT_EQ(combo.itemText(16), QStringLiteral("Custom..."));
  // Stored with red in the low byte.
  EXPECT_EQ(ColorCombo::BasicColor(9), 0x0000FFu);   // Red
  EXPECT_EQ(ColorCombo::BasicColor(12), 0xFF0000u);  // Blue
  EXPECT_EQ(ColorCombo::ToQColor(0x00B3FF), QColor(255, 179, 0));
}

TEST(ColorComboTest, ABasicColourIsSelectedByItsEntryAndNothingIsEmitted) {
  ColorCombo combo;
  QSignalSpy changed(&combo, &ColorCombo::colorChanged);
  combo.setColor(0xC0C0C0);
  EXPECT_EQ(combo.currentText(), QStringLiteral("Silver"));
  EXPECT_EQ(combo.color(), 0xC0C0C0u);
  EXPECT_EQ(changed.count(), 0);
}

TEST(ColorComboTest, AnotherColourIsShownAgainOnTheNextFill) {
  ColorCombo combo;
  combo.setColor(0x00B3FF);
  EXPECT_EQ(combo.color(), 0x00B3FFu);
  EXPECT_EQ(combo.currentText(), QStringLiteral("Custom (255, 179, 0)"));
  combo.setColor(0x000000);
  combo.setColor(0x123456);
  EXPECT_EQ(combo.color(), 0x123456u);
  EXPECT_EQ(combo.count(), 18);  // one custom entry, replaced, not one per colour
}

TEST(ColorComboTest, CustomOpensTheColourDialogAndEmitsTheChosenColour) {
  ColorCombo combo;
  combo.setColor(0x000000);
  QSignalSpy changed(&combo, &ColorCombo::colorChanged);
  AnswerColourDialog(QColor(10, 20, 30));
  combo.activated(CustomEntry(combo));
  ASSERT_EQ(changed.count(), 1);
  EXPECT_EQ(changed.first().first().toUInt(), 0x1E140Au);
  EXPECT_EQ(combo.color(), 0x1E140Au);
  EXPECT_EQ(combo.currentIndex(), 16);  // the custom entry, above "Custom..."
}

TEST(ColorComboTest, CancellingTheDialogKeepsTheColourAndEmitsNothing) {
  ColorCombo combo;
  combo.setColor(0x808080);
  QSignalSpy changed(&combo, &ColorCombo::colorChanged);
  combo.setCurrentIndex(CustomEntry(combo));
  AnswerColourDialog(QColor());
  combo.activated(CustomEntry(combo));
  EXPECT_EQ(changed.count(), 0);
  EXPECT_EQ(combo.color(), 0x808080u);
  EXPECT_EQ(combo.currentText(), QStringLiteral("Gray"));
}

TEST(ColorComboTest, ChoosingABasicEntryEmitsItsValue) {
  ColorCombo combo;
  QSignalSpy changed(&combo, &ColorCombo::colorChanged);
  combo.setCurrentIndex(11);
  combo.activated(11);
  ASSERT_EQ(changed.count(), 1);
  EXPECT_EQ(combo.color(), 0x00FFFFu);  // Yellow
}

// Counts the colour dialogs that open while it lives, cancelling each.
class DialogWatch {
 public:
  DialogWatch() {
    timer_.setInterval(0);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget())) {
        ++opened;
        dialog->reject();
      }
    });
    timer_.start();
  }
  int opened = 0;

 private:
  QTimer timer_;
};

void Wheel(QWidget* w, int angle) {
  const QPointF at(w->width() / 2.0, w->height() / 2.0);
  QWheelEvent event(at, w->mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(w, &event);
}

// Stepping through the closed box from Aqua, the entry before White and "Custom...".
struct BrowseCase {
  const char* name;
  std::function<void(ColorCombo&)> step;
  const char* shown;
  int emitted;
};
void PrintTo(const BrowseCase& c, std::ostream* os) { *os << c.name; }

class ClosedBoxBrowsing : public ::testing::TestWithParam<BrowseCase> {};

TEST_P(ClosedBoxBrowsing, NeverOpensTheColourDialog) {
  const BrowseCase& c = GetParam();
  ColorCombo combo;
  combo.show();
  combo.setFocus();
  combo.setColor(0xFFFF00);  // Aqua
  QSignalSpy changed(&combo, &ColorCombo::colorChanged);
  DialogWatch watch;
  c.step(combo);
  EXPECT_EQ(watch.opened, 0);
  EXPECT_EQ(combo.currentText(), QString::fromLatin1(c.shown));
  EXPECT_EQ(changed.count(), c.emitted);
  EXPECT_EQ(combo.color(), c.emitted ? 0xFFFFFFu : 0xFFFF00u);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ClosedBoxBrowsing,
    ::testing::Values(
        BrowseCase{"TwoArrowsDown",
                   [](ColorCombo& b) {
                     QTest::keyClick(&b, Qt::Key_Down);
                     QTest::keyClick(&b, Qt::Key_Down);
                   },
                   "White", 1},
        BrowseCase{"End", [](ColorCombo& b) { QTest::keyClick(&b, Qt::Key_End); }, "Aqua", 0},
        // One entry a key, as the arrow.
        BrowseCase{"TwoPagesDown",
                   [](ColorCombo& b) {
                     QTest::keyClick(&b, Qt::Key_PageDown);
                     QTest::keyClick(&b, Qt::Key_PageDown);
                   },
                   "White", 1},
        BrowseCase{"TypingItsFirstLetter", [](ColorCombo& b) { QTest::keyClicks(&b, "c"); },
                   "Aqua", 0},
        BrowseCase{"TwoWheelStepsDown",
                   [](ColorCombo& b) {
                     Wheel(&b, -120);
                     Wheel(&b, -120);
                   },
                   "White", 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ColorComboTest, AnArrowFromAnotherColourStaysOnIt) {
  ColorCombo combo;
  combo.show();
  combo.setColor(0x123456);
  QSignalSpy changed(&combo, &ColorCombo::colorChanged);
  DialogWatch watch;
  QTest::keyClick(&combo, Qt::Key_Down);
  EXPECT_EQ(watch.opened, 0);
  EXPECT_EQ(combo.currentText(), QStringLiteral("Custom (86, 52, 18)"));
  EXPECT_EQ(changed.count(), 0);
}

TEST(ColorComboTest, EnterOnCustomInTheOpenListOpensTheDialog) {
  ColorCombo combo;
  combo.show();
  combo.setColor(0x808080);
  DialogWatch watch;
  combo.showPopup();
  QAbstractItemView* list = combo.view();
  list->setCurrentIndex(list->model()->index(CustomEntry(combo), 0));
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(watch.opened, 1);
  EXPECT_EQ(combo.currentText(), QStringLiteral("Gray"));  // cancelled
}

struct TopByteCase {
  Color stored;
  const char* shown;
};

TEST(ColorComboTest, AStoredValueIsGivenBackWithItsTopByte) {
  for (const TopByteCase& c : {TopByteCase{0x01C0C0C0, "Silver"},
                               TopByteCase{0x80123456, "Custom (86, 52, 18)"},
                               TopByteCase{0xFF000000, "Black"}}) {
    ColorCombo combo;
    combo.setColor(c.stored);
    EXPECT_EQ(combo.color(), c.stored);
    EXPECT_EQ(combo.currentText(), QString::fromLatin1(c.shown));
  }
}

// A page that stores all its controls on any change, a colour of it holding a top byte, and
// the click on another control of the page.
struct PageCase {
  const char* name;
  std::function<std::unique_ptr<SettingsPage>(Config&, Services&)> make;
  Color& (*colour)(Config&);
  QCheckBox* (*other)(SettingsPage&);
};
void PrintTo(const PageCase& c, std::ostream* os) { *os << c.name; }

class TopByteOnAPage : public ::testing::TestWithParam<PageCase> {
 protected:
  FakeServices fake;
};

TEST_P(TopByteOnAPage, SurvivesAChangeElsewhereAndASave) {
  const PageCase& c = GetParam();
  Config config;
  const Color stored = 0x02123456;
  c.colour(config) = stored;
  const std::unique_ptr<SettingsPage> page = c.make(config, fake.services);
  page->LoadFromConfig();
  page->show();
  QCheckBox* other = c.other(*page);
  const bool before = other->isChecked();
  QTest::mouseClick(other, Qt::LeftButton, {}, QPoint(8, other->height() / 2));
  ASSERT_NE(other->isChecked(), before);
  EXPECT_EQ(c.colour(config), stored);
  MemoryRegistry registry;
  RegistryStore store(registry);
  store.OpenKey(QString::fromLatin1(kProductKey));
  ASSERT_TRUE(SaveConfig(store, config));
  Config read;
  LoadConfig(store, read, QString());
  EXPECT_EQ(c.colour(read), stored);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, TopByteOnAPage,
    ::testing::Values(
        PageCase{"Rules",
                 [](Config& k, Services& s) -> std::unique_ptr<SettingsPage> {
                   return std::make_unique<TFrameWallpaperRules>(k, s);
                 },
                 [](Config& k) -> Color& { return k.WallpaperConfig.BackgroundColor; },
                 [](SettingsPage& p) -> QCheckBox* {
                   return static_cast<TFrameWallpaperRules&>(p).ui.Check_ShowImage;
                 }},
        PageCase{"CalendarOptions",
                 [](Config& k, Services& s) -> std::unique_ptr<SettingsPage> {
                   return std::make_unique<TFrameCalendarOptions>(k, s);
                 },
                 [](Config& k) -> Color& { return k.CalendarConfig.ColorDayNames; },
                 [](SettingsPage& p) -> QCheckBox* {
                   return static_cast<TFrameCalendarOptions&>(p).ui.Check_DrawGlass;
                 }}),
    [](const auto& info) { return std::string(info.param.name); });
}  // namespace
