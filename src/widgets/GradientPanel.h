#pragma once
#include <QColor>
#include <QFont>
#include <QWidget>

// A plain panel painted with a two-colour linear gradient.
class GradientPanel : public QWidget {
 public:
  GradientPanel(QColor from, QColor to, Qt::Orientation direction, QWidget* parent = nullptr);
  void setColors(QColor from, QColor to);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor from_;
  QColor to_;
  Qt::Orientation direction_;
};

// The text of the caption strips (over the pages, atop a reminder): Tahoma, 27 pixels from
// the top of the highest glyph to the bottom of the lowest.
QFont CaptionStripFont();
