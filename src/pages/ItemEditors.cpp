#include "pages/ItemEditors.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "platform/DateTime.h"
#include "widgets/ColorCombo.h"

namespace editors {
void Show(QCheckBox* box, bool on) { box->setChecked(on); }
void Read(const QCheckBox* box, bool& on) { on = box->isChecked(); }
void Blank(QCheckBox* box) { box->setChecked(false); }
void WhenChanged(QCheckBox* box, QObject* context, std::function<void()> changed) {
  QObject::connect(box, &QCheckBox::toggled, context, std::move(changed));
}

void Show(QComboBox* list, int index) {
  list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}
void Read(const QComboBox* list, int& index) {
  if (list->currentIndex() >= 0) index = list->currentIndex();
}
void Blank(QComboBox* list) { list->setCurrentIndex(-1); }
void ShowData(QComboBox* list, std::optional<int> number) {
  list->setCurrentIndex(number ? list->findData(*number) : -1);
}
void ReadData(const QComboBox* list, int& number) {
  if (list->currentIndex() >= 0) number = list->currentData().toInt();
}
void WhenChanged(QComboBox* list, QObject* context, std::function<void()> changed) {
  QObject::connect(list, &QComboBox::currentIndexChanged, context, std::move(changed));
}

void Show(QLineEdit* edit, const QString& text) { edit->setText(text); }
void Read(const QLineEdit* edit, QString& text) { text = edit->text(); }
void Blank(QLineEdit* edit) { edit->clear(); }
void WhenChanged(QLineEdit* edit, QObject* context, std::function<void()> changed) {
  QObject::connect(edit, &QLineEdit::textChanged, context, std::move(changed));
}

void Show(QPlainTextEdit* edit, const QString& text) { edit->setPlainText(text); }
void Read(const QPlainTextEdit* edit, QString& text) { text = edit->toPlainText(); }
void Blank(QPlainTextEdit* edit) { edit->clear(); }
void WhenChanged(QPlainTextEdit* edit, QObject* context, std::function<void()> changed) {
  QObject::connect(edit, &QPlainTextEdit::textChanged, context, std::move(changed));
}

void Show(ColorCombo* combo, Color colour) { combo->setColor(colour); }
void Read(const ColorCombo* combo, Color& colour) { colour = combo->color(); }
void WhenChanged(ColorCombo* combo, QObject* context, std::function<void()> changed) {
  QObject::connect(combo, &ColorCombo::colorChanged, context, std::move(changed));
}

void Show(QDateTimeEdit* edit, double days) { edit->setDateTime(DaysToDateTime(days)); }
void Read(const QDateTimeEdit* edit, double& days) { days = DateTimeToDays(edit->dateTime()); }
void Blank(QDateTimeEdit* edit) { Show(edit, 0); }
void WhenChanged(QDateTimeEdit* edit, QObject* context, std::function<void()> changed) {
  QObject::connect(edit, &QDateTimeEdit::dateTimeChanged, context, std::move(changed));
}
}  // namespace editors
