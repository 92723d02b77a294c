#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QSignalSpy>

#include "widgets/FontCombo.h"

namespace {
TEST(FontComboTest, ListsScalableProportionalFacesSortedEachInItsOwnFace) {
  FontCombo combo;
  ASSERT_GT(combo.count(), 0);
  QStringList names;
  for (int i = 0; i < combo.count(); ++i) {
    const QString face = combo.itemText(i);
    names << face;
    EXPECT_TRUE(QFontDatabase::isScalable(face)) << face.toStdString();
    EXPECT_FALSE(QFontDatabase::isFixedPitch(face)) << face.toStdString();
    EXPECT_EQ(combo.itemData(i, Qt::FontRole).value<QFont>().family(), face);
  }
  QStringList sorted = names;
  sorted.sort(Qt::CaseInsensitive);
  EXPECT_EQ(names, sorted);
  EXPECT_TRUE(names.contains(QStringLiteral("DejaVu Sans")));
  EXPECT_FALSE(names.contains(QStringLiteral("DejaVu Sans Mono")));
}

TEST(FontComboTest, SelectsAFaceWithoutRegardToCaseAndEmitsNothing) {
  FontCombo combo;
  QSignalSpy changed(&combo, &FontCombo::faceChanged);
  combo.setFace(QStringLiteral("dejavu sans"));
  EXPECT_EQ(combo.face(), QStringLiteral("DejaVu Sans"));
  EXPECT_EQ(changed.count(), 0);
}

TEST(FontComboTest, AFaceThatIsNotInstalledIsShownAsItIsAndDroppedOnTheNextFill) {
  FontCombo combo;
  const int installed = combo.count();
  combo.setFace(QStringLiteral("No Such Face 123"));
  EXPECT_EQ(combo.face(), QStringLiteral("No Such Face 123"));
  EXPECT_EQ(combo.count(), installed + 1);
  combo.setFace(QStringLiteral("DejaVu Sans"));
  EXPECT_EQ(combo.count(), installed);
  EXPECT_EQ(combo.findText(QStringLiteral("No Such Face 123")), -1);
}

TEST(FontComboTest, TheUsersChoiceIsEmitted) {
  FontCombo combo;
  combo.setFace(QStringLiteral("DejaVu Sans"));
  QSignalSpy changed(&combo, &FontCombo::faceChanged);
  const int serif = combo.findText(QStringLiteral("DejaVu Serif"));
  ASSERT_GE(serif, 0);
  combo.setCurrentIndex(serif);
  combo.activated(serif);
  ASSERT_EQ(changed.count(), 1);
  EXPECT_EQ(changed.first().first().toString(), QStringLiteral("DejaVu Serif"));
}
}  // namespace
