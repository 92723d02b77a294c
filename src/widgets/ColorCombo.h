#pragma once
#include <QComboBox>

#include "settings/Config.h"

// A drop-down list of the 16 basic colours by name, then any other colour the page was
// given or the user chose, then "Custom...", which opens the colour dialog when chosen from
// the open list. Values are colours as the settings hold them, 0x00BBGGRR.
class ColorCombo : public QComboBox {
  Q_OBJECT

 public:
  explicit ColorCombo(QWidget* parent = nullptr);

  Color color() const { return color_; }
  // Selects the colour, adding it as the custom entry when it is not a basic one. Emits
  // nothing.
  void setColor(Color colour);

  static constexpr int kBasicColours = 16;
  // Name and value of basic colour i.
  static QString BasicName(int i);
  static Color BasicColor(int i);
  static QColor ToQColor(Color c);
  static Color FromQColor(const QColor& c);

 signals:
  // The user chose another colour.
  void colorChanged(Color colour);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void Picked(int index);
  void ShowCustom(Color colour);
  int customIndex() const { return count() - 2; }  // the entry above "Custom..."
  bool hasCustom() const { return count() == kBasicColours + 2; }

  Color color_ = 0;
  bool browsing_ = false;  // the closed box is being stepped through, not chosen from
};
