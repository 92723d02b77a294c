#include "widgets/FileNameEdit.h"

#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QToolButton>

FileNameEdit::FileNameEdit(QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  edit_ = new QLineEdit(this);
  browse_ = new QToolButton(this);
  browse_->setText(QStringLiteral("..."));
  browse_->setAccessibleName(QStringLiteral("Browse"));
  browse_->setToolTip(QStringLiteral("Browse for the file"));
  layout->addWidget(edit_, 1);
  layout->addWidget(browse_);
  setFocusProxy(edit_);
  connect(edit_, &QLineEdit::textEdited, this, &FileNameEdit::fileNameChanged);
  connect(browse_, &QToolButton::clicked, this, &FileNameEdit::Browse);
}

QString FileNameEdit::fileName() const { return edit_->text(); }

void FileNameEdit::setFileName(const QString& name) {
  const QSignalBlocker block(edit_);
  edit_->setText(name);
}

void FileNameEdit::Browse() {
  QFileDialog dialog(this, title_, QFileInfo(fileName()).absolutePath(), filter_);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  // Over its window, which alone it blocks.
  dialog.setWindowModality(Qt::WindowModal);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (!fileName().isEmpty()) dialog.selectFile(fileName());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  setFileName(QDir::toNativeSeparators(dialog.selectedFiles().first()));
  emit fileNameChanged(fileName());
}

bool FileNameEdit::event(QEvent* event) {
  if ((event->type() == QEvent::Polish || event->type() == QEvent::Show) &&
      edit_->accessibleName().isEmpty()) {
    QString name = accessibleName();
    if (name.isEmpty() && parentWidget()) {
      for (const QLabel* label : parentWidget()->findChildren<QLabel*>()) {
        if (label->buddy() == this) name = label->text().remove(QLatin1Char('&'));
      }
    }
    if (!name.isEmpty()) {
      edit_->setAccessibleName(name);
      // Several on a page: each browse button says which file it looks for.
      if (browse_->accessibleName() == QStringLiteral("Browse"))
        browse_->setAccessibleName(QStringLiteral("Browse for ") + name);
    }
  }
  return QWidget::event(event);
}
