#pragma once
// The month grid of the colour-dot page: one month with the colour dots of its days, a
// selected day, and month navigation. Title and headings come from the calendar's own name
// operations, so the grid follows the language and first week day of the wallpaper.
#include <QDate>
#include <QWidget>
#include <optional>

#include "settings/Config.h"

class GdiCanvas;

class IClock;

class SHLCalendar : public QWidget {
  Q_OBJECT

 public:
  // Reads the calendar settings and the colour-dot list of `config` on every paint.
  // "Today" is the clock's.
  SHLCalendar(const Config& config, const IClock& clock, QWidget* parent = nullptr);

  Color GridDotColors[kDotColorCount] = {0x0000FF, 0x00FFFF, 0x008000};  // red, yellow, green

  // Any day of the month shown; only its month and year count.
  QDate DisplayedDate() const { return displayed_; }
  QDate SelectedDate() const { return selected_; }
  // The selected day's serial, the date of a colour reminder.
  int SelectedDay() const;

  void SetToday();
  // The 1st of the next or previous month, shown and selected.
  void NextMonth();
  void PrevMonth();

  // The one walk over the month's day boxes. With a canvas it paints the month onto it;
  // without, it finds the day whose box holds (x, y) strictly inside.
  std::optional<QDate> LayoutMonth(GdiCanvas* paint, int x, int y) const;
  // The whole control as one picture (what a paint copies to the screen).
  QImage Render() const;

 signals:
  // After a mouse button went down (and selected the day under it, if any).
  void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);
  void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);
  // The keyboard moved the selection.
  void selectionMoved();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Select(const QDate& day);
  void Changed();

  const Config& config_;
  const IClock& clock_;
  QDate displayed_;
  QDate selected_;
};
