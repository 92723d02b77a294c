#include "widgets/WholeText.h"

#include <QLineEdit>
#include <limits>

void TakeWholeText(QWidget* root) {
  if (!root) return;
  QList<QLineEdit*> edits = root->findChildren<QLineEdit*>();
  if (auto* edit = qobject_cast<QLineEdit*>(root)) edits << edit;
  for (QLineEdit* edit : edits) edit->setMaxLength(std::numeric_limits<int>::max());
}
