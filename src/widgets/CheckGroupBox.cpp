#include "widgets/CheckGroupBox.h"

#include <QChildEvent>

CheckGroupBox::CheckGroupBox(QWidget* parent) : QGroupBox(parent) {
  setCheckable(true);
  // A click or a key on the title: QGroupBox has just disabled the contents.
  connect(this, &QGroupBox::toggled, this, &CheckGroupBox::EnableContents);
}

void CheckGroupBox::setChecked(bool checked) {
  QGroupBox::setChecked(checked);
  // Again here: a load blocks the toggled signal.
  EnableContents();
}

void CheckGroupBox::childEvent(QChildEvent* event) {
  // QGroupBox disables a child of an unticked group as it is added and again as it is
  // polished (first shown).
  QGroupBox::childEvent(event);
  if (event->added() || event->polished()) EnableContents();
}

void CheckGroupBox::EnableContents() {
  // Only what the group itself disabled: a control disabled on purpose keeps WA_ForceDisabled.
  for (QObject* child : children()) {
    if (!child->isWidgetType()) continue;
    auto* w = static_cast<QWidget*>(child);
    if (!w->isWindow() && !w->testAttribute(Qt::WA_ForceDisabled)) w->setEnabled(true);
  }
}
