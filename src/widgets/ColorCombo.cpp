#include "widgets/ColorCombo.h"

#include <QColorDialog>
#include <QPainter>
#include <QPixmap>
#include <QSignalBlocker>

namespace {
struct Basic {
  const char* name;
  Color value;
};
// The sixteen colours every drawing program offers, in their usual order.
constexpr Basic kBasic[] = {
    {"Black", 0x000000},  {"Maroon", 0x000080},  {"Green", 0x008000}, {"Olive", 0x008080},
    {"Navy", 0x800000},   {"Purple", 0x800080},  {"Teal", 0x808000},  {"Gray", 0x808080},
    {"Silver", 0xC0C0C0}, {"Red", 0x0000FF},     {"Lime", 0x00FF00},  {"Yellow", 0x00FFFF},
    {"Blue", 0xFF0000},   {"Fuchsia", 0xFF00FF}, {"Aqua", 0xFFFF00},  {"White", 0xFFFFFF},
};
static_assert(std::size(kBasic) == ColorCombo::kBasicColours);

QIcon Swatch(Color c) {
  QPixmap pm(16, 12);
  pm.fill(ColorCombo::ToQColor(c));
  QPainter p(&pm);
  p.setPen(Qt::black);
  p.drawRect(0, 0, pm.width() - 1, pm.height() - 1);
  return QIcon(pm);
}

QString CustomName(Color c) {
  const QColor q = ColorCombo::ToQColor(c);
  return QStringLiteral("Custom (%1, %2, %3)").arg(q.red()).arg(q.green()).arg(q.blue());
}
}  // namespace

QString ColorCombo::BasicName(int i) { return QString::fromLatin1(kBasic[i].name); }
Color ColorCombo::BasicColor(int i) { return kBasic[i].value; }

QColor ColorCombo::ToQColor(Color c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

Color ColorCombo::FromQColor(const QColor& c) {
  return Color(c.red()) | (Color(c.green()) << 8) | (Color(c.blue()) << 16);
}

ColorCombo::ColorCombo(QWidget* parent) : QComboBox(parent) {
  for (const Basic& b : kBasic) addItem(Swatch(b.value), QString::fromLatin1(b.name), b.value);
  addItem(QStringLiteral("Custom..."));
  setCurrentIndex(0);
  // activated is the user's choice only; a load goes through setColor.
  connect(this, &QComboBox::activated, this, &ColorCombo::Picked);
}

void ColorCombo::setColor(Color colour) {
  // Kept whole: a value with a top byte is given back unchanged unless the user picks anew.
  color_ = colour;
  colour &= 0xFFFFFF;
  const QSignalBlocker block(this);
  for (int i = 0; i < kBasicColours; ++i) {
    if (kBasic[i].value == colour) {
      setCurrentIndex(i);
      return;
    }
  }
  ShowCustom(color_);
}

void ColorCombo::ShowCustom(Color colour) {
  if (!hasCustom()) insertItem(kBasicColours, QString());
  setItemIcon(customIndex(), Swatch(colour & 0xFFFFFF));
  setItemText(customIndex(), CustomName(colour & 0xFFFFFF));
  setItemData(customIndex(), colour);
  setCurrentIndex(customIndex());
}

void ColorCombo::keyPressEvent(QKeyEvent* event) {
  const bool was = browsing_;
  browsing_ = true;
  QComboBox::keyPressEvent(event);
  browsing_ = was;
}

void ColorCombo::wheelEvent(QWheelEvent* event) {
  const bool was = browsing_;
  browsing_ = true;
  QComboBox::wheelEvent(event);
  browsing_ = was;
}

void ColorCombo::Picked(int index) {
  if (index == count() - 1) {  // "Custom..."
    // Stepping through the closed box (arrows, wheel, typing) stops short of the dialog.
    if (browsing_) {
      setColor(color_);
      return;
    }
    QColorDialog dialog(ToQColor(color_), this);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    // Over its window, which alone it blocks.
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setWindowTitle(QStringLiteral("Choose a colour"));
    const bool chosen = dialog.exec() == QDialog::Accepted;
    if (!chosen || !dialog.selectedColor().isValid()) {
      setColor(color_);  // back to what was shown
      return;
    }
    setColor(FromQColor(dialog.selectedColor()));
  } else {
    color_ = itemData(index).toUInt();
  }
  emit colorChanged(color_);
}
