#include "pages/SettingsPage.h"

#include <QAbstractSlider>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>

#include "pages/ItemEditors.h"
#include "platform/Services.h"
#include "widgets/CheckGroupBox.h"
#include "widgets/ColorCombo.h"
#include "widgets/FileNameEdit.h"
#include "widgets/FontCombo.h"

SettingsPage::SettingsPage(Config& config, Services& services, QWidget* parent, StoreRule rule)
    : QWidget(parent), config(config), services(services), rule_(rule) {
  // The derived page sets its form up after this constructor; name its controls after that.
  QMetaObject::invokeMethod(this, &SettingsPage::NameControlsFromLabels, Qt::QueuedConnection);
}

void SettingsPage::RefreshWhileShown(QTimer* timer, std::function<void()> refresh) {
  refreshTimer_ = timer;
  refresh_ = std::move(refresh);
  connect(timer, &QTimer::timeout, this, [this] { refresh_(); });
  timer->stop();
}

void SettingsPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!refreshTimer_) return;
  refresh_();
  refreshTimer_->start();
}

void SettingsPage::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (refreshTimer_) refreshTimer_->stop();
}

void SettingsPage::LoadFromConfig() {
  LoadGuard guard(this);
  for (const Binding& b : bindings_) {
    // Blocked as well as flagged: a control's own listeners must not see a load either.
    const QSignalBlocker block(b.control);
    b.load();
  }
}

int SettingsPage::AddBinding(QWidget* control, std::function<void()> load,
                             std::function<void()> store) {
  bindings_.append(Binding{control, std::move(load), std::move(store)});
  return bindings_.size() - 1;
}

void SettingsPage::Changed(int binding) {
  if (loading() || binding < 0 || binding >= bindings_.size()) return;
  if (rule_ == StoreRule::AllAtOnce) {
    StoreAll();
  } else {
    bindings_[binding].store();
  }
  emit settingsChanged();
}

void SettingsPage::StoreAll() {
  for (const Binding& b : bindings_) b.store();
}

void SettingsPage::SelectRow(QListWidget* list, int row) {
  LoadGuard guard(this);
  list->setCurrentRow(row >= 0 && row < list->count() ? row : -1);
}

void SettingsPage::SelectNeighbour(QListWidget* list, int removed) {
  SelectRow(list, std::min(removed, list->count() - 1));
}

bool SettingsPage::Confirmed(const QString& question) {
  return services.messages->Show(question, QStringLiteral("Please Confirm"),
                                 MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void SettingsPage::Bind(QCheckBox* box, bool& setting) {
  const int id = AddBinding(
      box, [box, &setting] { editors::Show(box, setting); },
      [box, &setting] { editors::Read(box, setting); });
  editors::WhenChanged(box, this, [this, id] { Changed(id); });
}

void SettingsPage::Bind(QComboBox* list, int& index) {
  const int id = AddBinding(
      list, [list, &index] { editors::Show(list, index); },
      [list, &index] { editors::Read(list, index); });
  editors::WhenChanged(list, this, [this, id] { Changed(id); });
}

void SettingsPage::Bind(QSpinBox* spin, int& value) {
  const int id = AddBinding(
      spin, [spin, &value] { spin->setValue(value); }, [spin, &value] { value = spin->value(); });
  connect(spin, &QSpinBox::valueChanged, this, [this, id] { Changed(id); });
}

void SettingsPage::Bind(QAbstractSlider* slider, int& value) {
  const int id = AddBinding(
      slider, [slider, &value] { slider->setValue(value); },
      [slider, &value] { value = slider->value(); });
  connect(slider, &QAbstractSlider::valueChanged, this, [this, id] { Changed(id); });
}

void SettingsPage::Bind(QLineEdit* edit, QString& text) {
  const int id = AddBinding(
      edit, [edit, &text] { editors::Show(edit, text); },
      [edit, &text] { editors::Read(edit, text); });
  connect(edit, &QLineEdit::textEdited, this, [this, id] { Changed(id); });
}

void SettingsPage::Bind(ColorCombo* combo, Color& colour) {
  const int id = AddBinding(
      combo, [combo, &colour] { combo->setColor(colour); },
      [combo, &colour] { colour = combo->color(); });
  connect(combo, &ColorCombo::colorChanged, this, [this, id] { Changed(id); });
}

void SettingsPage::Bind(FontCombo* combo, QString& face) {
  const int id = AddBinding(
      combo, [combo, &face] { combo->setFace(face); },
      [combo, &face] {
        if (!combo->face().isEmpty()) face = combo->face();
      });
  connect(combo, &FontCombo::faceChanged, this, [this, id] { Changed(id); });
}

void SettingsPage::Bind(FileNameEdit* edit, QString& fileName) {
  const int id = AddBinding(
      edit, [edit, &fileName] { edit->setFileName(fileName); },
      [edit, &fileName] { fileName = edit->fileName(); });
  connect(edit, &FileNameEdit::fileNameChanged, this, [this, id] { Changed(id); });
}

void SettingsPage::Bind(CheckGroupBox* group, bool& setting) {
  const int id = AddBinding(
      group, [group, &setting] { group->setChecked(setting); },
      [group, &setting] { setting = group->isChecked(); });
  connect(group, &QGroupBox::toggled, this, [this, id] { Changed(id); });
}

void SettingsPage::BindRadioGroup(QGroupBox* group, int& index) {
  BindRadioGroup(
      group, [&index] { return index; }, [&index](int i) { index = i; });
}

void SettingsPage::BindRadioGroup(QGroupBox* group, std::function<int()> get,
                                  std::function<void(int)> set) {
  const QList<QRadioButton*> items = group->findChildren<QRadioButton*>();
  const int id = AddBinding(
      group,
      [items, get] {
        const int index = get();
        for (int i = 0; i < items.size(); ++i) {
          const QSignalBlocker block(items[i]);
          items[i]->setChecked(i == index);
        }
        // An index no item stands for leaves none chosen.
        if (index < 0 || index >= items.size()) {
          for (QRadioButton* r : items) {
            const QSignalBlocker block(r);
            r->setAutoExclusive(false);
            r->setChecked(false);
            r->setAutoExclusive(true);
          }
        }
      },
      [items, set] {
        for (int i = 0; i < items.size(); ++i)
          if (items[i]->isChecked()) set(i);
      });
  for (QRadioButton* r : items)
    connect(r, &QRadioButton::toggled, this, [this, id](bool on) {
      if (on) Changed(id);
    });
}

void SettingsPage::NameControlsFromLabels() {
  for (const QLabel* label : findChildren<QLabel*>()) {
    QWidget* buddy = label->buddy();
    if (buddy && buddy->accessibleName().isEmpty())
      buddy->setAccessibleName(label->text().remove(QLatin1Char('&')).trimmed());
  }
}
