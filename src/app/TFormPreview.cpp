#include "app/TFormPreview.h"

#include <QMouseEvent>
#include <QPixmap>

void PreviewImage::mousePressEvent(QMouseEvent* event) {
  // Whichever button: the caption promises that a click closes it.
  event->accept();
  emit clicked();
}

TFormPreview::TFormPreview(QWidget* owner, const QImage& bitmap, QSize previewSize)
    : QDialog(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setWindowTitle(QStringLiteral("Preview (click image to close)"));
  setModal(true);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::yellow);
  setPalette(pal);

  Image = new PreviewImage(this);
  Image->setAlignment(Qt::AlignCenter);
  // The window's own border frames the picture; nothing more around it.
  Image->setGeometry(0, 0, previewSize.width(), previewSize.height());
  Image->setPixmap(QPixmap::fromImage(bitmap));
  Image->setCursor(Qt::PointingHandCursor);
  connect(Image, &PreviewImage::clicked, this, &QDialog::accept);
  setFixedSize(Image->x() + Image->width(), Image->y() + Image->height());

  // Centred on the window that opened it.
  if (owner) {
    const QPoint centre = owner->frameGeometry().center();
    move(centre - QPoint(width() / 2, height() / 2));
  }
}

QSize PreviewPixels(QSize logical, qreal ratio) {
  if (!(ratio > 0)) ratio = 1;
  return QSize(qRound(logical.width() * ratio), qRound(logical.height() * ratio));
}

QSize PreviewSize(QSize screen) {
  return screen.width() > screen.height() ? QSize(640, 480) : QSize(480, 640);
}
