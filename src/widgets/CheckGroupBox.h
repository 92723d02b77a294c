#pragma once
#include <QGroupBox>

// A group box with a check box in its title that, unlike a checkable QGroupBox, leaves the
// controls inside it usable whether it is ticked or not: the tick is a setting of its own.
class CheckGroupBox : public QGroupBox {
  Q_OBJECT

 public:
  explicit CheckGroupBox(QWidget* parent = nullptr);
  // Ticks or clears the title's box; the contents stay enabled.
  void setChecked(bool checked);

 protected:
  void childEvent(QChildEvent* event) override;

 private:
  void EnableContents();
};
