#pragma once
#include <QIcon>
#include <QList>
#include <QString>
#include <QWidget>

class QAbstractButton;
class QToolButton;
class QVBoxLayout;

// The navigation bar on the left of the main window: section headers, of which one is
// open and shows its items as pictures with captions. A click on an item or a header
// changes the selection and emits itemChanged.
class ElSideBar : public QWidget {
  Q_OBJECT

 public:
  explicit ElSideBar(QWidget* parent = nullptr);
  int addSection(const QString& caption);
  void addItem(int section, const QString& caption, const QIcon& picture);

  // Selects without emitting itemChanged; out-of-range values are ignored.
  void setCurrent(int section, int item);
  int currentSection() const { return section_; }
  int currentItem() const { return item_; }

  int sectionCount() const { return sections_.size(); }
  int itemCount(int section) const;
  QAbstractButton* sectionButton(int section) const;
  QAbstractButton* itemButton(int section, int item) const;

 signals:
  void itemChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  struct Section {
    QAbstractButton* header = nullptr;
    QWidget* body = nullptr;
    QVBoxLayout* bodyLayout = nullptr;
    QList<QToolButton*> items;
  };
  void Pick(int section, int item);
  void UpdateLook();

  QVBoxLayout* layout_ = nullptr;
  QList<Section> sections_;
  int section_ = 0;
  int item_ = 0;
};
