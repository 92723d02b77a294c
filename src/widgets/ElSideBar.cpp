#include "widgets/ElSideBar.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
const char* kHeaderStyle =
    "QPushButton { border: 1px solid #9fb6cd; border-radius: 0; padding: 3px;"
    " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #c9dbea);"
    " font-weight: bold; color: #1c2f5c; }"
    "QPushButton:hover { background: #e6f0fa; }";
const char* kItemStyle =
    "QToolButton { border: 1px solid transparent; border-radius: 3px; color: #1c2f5c;"
    " padding: 2px; }"
    "QToolButton:hover { border-color: #7aa0c8; background: rgba(255,255,255,90); }"
    "QToolButton:checked { border-color: #3a5fb0; background: rgba(255,255,255,170); }";
}  // namespace

ElSideBar::ElSideBar(QWidget* parent) : QWidget(parent) {
  layout_ = new QVBoxLayout(this);
  layout_->setContentsMargins(0, 0, 0, 0);
  layout_->setSpacing(0);
  layout_->addStretch(1);
}

int ElSideBar::addSection(const QString& caption) {
  Section s;
  auto* header = new QPushButton(caption, this);
  header->setStyleSheet(QString::fromLatin1(kHeaderStyle));
  header->setFocusPolicy(Qt::NoFocus);
  s.header = header;
  s.body = new QWidget(this);
  s.bodyLayout = new QVBoxLayout(s.body);
  s.bodyLayout->setContentsMargins(4, 6, 4, 6);
  s.bodyLayout->setSpacing(4);
  const int index = sections_.size();
  // Keep the stretch last.
  layout_->insertWidget(layout_->count() - 1, header);
  layout_->insertWidget(layout_->count() - 1, s.body);
  connect(header, &QPushButton::clicked, this, [this, index] {
    if (index != section_) Pick(index, 0);
  });
  sections_.append(s);
  UpdateLook();
  return index;
}

void ElSideBar::addItem(int section, const QString& caption, const QIcon& picture) {
  if (section < 0 || section >= sections_.size()) return;
  Section& s = sections_[section];
  auto* b = new QToolButton(s.body);
  b->setText(caption);
  b->setIcon(picture);
  b->setIconSize(QSize(24, 24));
  b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  b->setCheckable(true);
  b->setAutoRaise(true);
  b->setFocusPolicy(Qt::NoFocus);
  b->setStyleSheet(QString::fromLatin1(kItemStyle));
  b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  const int item = s.items.size();
  connect(b, &QToolButton::clicked, this, [this, section, item] { Pick(section, item); });
  s.bodyLayout->addWidget(b);
  s.items.append(b);
  UpdateLook();
}

void ElSideBar::setCurrent(int section, int item) {
  if (section < 0 || section >= sections_.size()) return;
  if (item < 0 || item >= sections_[section].items.size()) return;
  section_ = section;
  item_ = item;
  UpdateLook();
}

int ElSideBar::itemCount(int section) const {
  return section >= 0 && section < sections_.size() ? sections_[section].items.size() : 0;
}

QAbstractButton* ElSideBar::sectionButton(int section) const {
  return section >= 0 && section < sections_.size() ? sections_[section].header : nullptr;
}

QAbstractButton* ElSideBar::itemButton(int section, int item) const {
  if (section < 0 || section >= sections_.size()) return nullptr;
  const auto& items = sections_[section].items;
  return item >= 0 && item < items.size() ? items[item] : nullptr;
}

void ElSideBar::Pick(int section, int item) {
  setCurrent(section, item);
  emit itemChanged();
}

void ElSideBar::UpdateLook() {
  for (int i = 0; i < sections_.size(); ++i) {
    sections_[i].body->setVisible(i == section_);
    for (int j = 0; j < sections_[i].items.size(); ++j)
      sections_[i].items[j]->setChecked(i == section_ && j == item_);
  }
}

void ElSideBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  QLinearGradient g(0, 0, 0, height());
  g.setColorAt(0, QColor(0xff, 0xf8, 0xdc));  // cream
  g.setColorAt(1, QColor(0x87, 0xce, 0xeb));  // sky blue
  p.fillRect(rect(), g);
}
