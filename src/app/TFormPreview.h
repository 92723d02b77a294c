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

// The preview's picture size for a screen of that shape, in logical pixels.
QSize PreviewSize(QSize screen);
// The device pixels of that logical size on a screen of that device pixel ratio.
QSize PreviewPixels(QSize logical, qreal ratio);
