#include "widgets/FontCombo.h"

#include <QFontDatabase>
#include <QSignalBlocker>

FontCombo::FontCombo(QWidget* parent) : QComboBox(parent) {
  QStringList faces;
  for (const QString& family : QFontDatabase::families()) {
    if (QFontDatabase::isPrivateFamily(family)) continue;
    if (!QFontDatabase::isScalable(family) || QFontDatabase::isFixedPitch(family)) continue;
    faces << family;
  }
  faces.sort(Qt::CaseInsensitive);
  faces.removeDuplicates();
  for (const QString& f : faces) {
    addItem(f);
    setItemData(count() - 1, QFont(f), Qt::FontRole);
  }
  setMaxVisibleItems(16);
  connect(this, &QComboBox::activated, this, [this] { emit faceChanged(face()); });
}

void FontCombo::setFace(const QString& face) {
  const QSignalBlocker block(this);
  if (missing_ >= 0) {
    removeItem(missing_);
    missing_ = -1;
  }
  const int at = findText(face, Qt::MatchFixedString);  // MatchFixedString ignores case
  if (at >= 0) {
    setCurrentIndex(at);
    return;
  }
  if (face.isEmpty()) {
    setCurrentIndex(-1);
    return;
  }
  insertItem(0, face);
  setItemData(0, QFont(face), Qt::FontRole);
  missing_ = 0;
  setCurrentIndex(0);
}
