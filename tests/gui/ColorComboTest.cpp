#include <gtest/gtest.h>

#include <QApplication>
#include <QColorDialog>
#include <QSignalSpy>
#include <QTimer>

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
}  // namespace
