#pragma once
#include <QDialog>
#include <QImage>
#include <QLabel>

// The label that shows the preview picture; a click on it closes the preview.
class PreviewImage : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
};

// A modal tool window showing a composed wallpaper at preview size.
class TFormPreview : public QDialog {
 public:
  TFormPreview(QWidget* owner, const QImage& bitmap, QSize previewSize);
  PreviewImage* Image = nullptr;
};

// The preview's picture size for a screen of that shape.
QSize PreviewSize(QSize screen);
