#include "widgets/AccessibleComboBox.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>

namespace {
const char kNamed[] = "quillatorne-announce-by-name";

class NamedComboBoxInterface : public QAccessibleWidget {
 public:
  explicit NamedComboBoxInterface(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return box()->currentText();
    return QAccessibleWidget::text(t);
  }
  // The list that drops down, as Qt's own combo box has it.
  int childCount() const override { return 1; }
  QAccessibleInterface* child(int index) const override {
    return index == 0 ? QAccessible::queryAccessibleInterface(box()->view()) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return child && child->object() == box()->view() ? 0 : -1;
  }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }

  QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
  void doAction(const QString& action) override {
    if (action != showMenuAction() && action != pressAction()) return;
    if (box()->view()->isVisible())
      box()->hidePopup();
    else
      box()->showPopup();
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

 private:
  QComboBox* box() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* NamedComboBoxes(const QString& className, QObject* object) {
  if (className != QLatin1String("QComboBox") || !object || !object->property(kNamed).toBool())
    return nullptr;
  return new NamedComboBoxInterface(static_cast<QComboBox*>(object));
}
}  // namespace

void AnnounceByItsName(QComboBox* box) {
  static const bool installed = [] {
    QAccessible::installFactory(NamedComboBoxes);
    return true;
  }();
  (void)installed;
  box->setProperty(kNamed, true);
  // Qt may have made its own interface already (an accessibility event while the form was
  // built): drop it, so the next one asked for is ours.
  QAccessibleInterface* made = QAccessible::queryAccessibleInterface(box);
  if (made && !dynamic_cast<NamedComboBoxInterface*>(made))
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}
