#pragma once
#include <QString>
#include <QWidget>

// The window's own title strip: a vertical gradient (navy while the window is active,
// silver to grey while not), a bold text on the left and a plain one on the right.
// Dragging it moves the window.
class ElFormCaption : public QWidget {
 public:
  explicit ElFormCaption(QWidget* parent = nullptr);
  void setTexts(const QString& left, const QString& right);
  QString leftText() const { return left_; }
  QString rightText() const { return right_; }
  static constexpr int kHeight = 22;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  QString left_;
  QString right_;
  QPoint dragOffset_;
  bool dragging_ = false;
};
