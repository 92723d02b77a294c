#pragma once
#include <QString>
#include <QWidget>

class QLineEdit;
class QToolButton;

// A file name to type in, with a button that browses for it. The edit takes its accessible
// name from this widget's, or else from the label whose buddy this widget is; the button
// says "Browse for" that name.
class FileNameEdit : public QWidget {
  Q_OBJECT

 public:
  explicit FileNameEdit(QWidget* parent = nullptr);

  QString fileName() const;
  // Shows the name. Emits nothing.
  void setFileName(const QString& name);
  // The browse dialog's title and name filter ("Sounds (*.wav)").
  void setDialogTitle(const QString& title) { title_ = title; }
  void setFilter(const QString& filter) { filter_ = filter; }

  QLineEdit* edit() const { return edit_; }
  QToolButton* browseButton() const { return browse_; }
  // Opens the file dialog; a chosen file replaces the name.
  void Browse();

 protected:
  bool event(QEvent* event) override;

 signals:
  // The user typed or chose another name.
  void fileNameChanged(const QString& name);

 private:
  QLineEdit* edit_;
  QToolButton* browse_;
  QString title_ = QStringLiteral("Select a file");
  QString filter_;
};
