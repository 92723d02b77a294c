#include "reminders/SHLCalendar.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "calendar/GdiCanvas.h"
#include "calendar/Geometry.h"
#include "calendar/Marks.h"
#include "calendar/Names.h"
#include "platform/DateTime.h"

namespace {
constexpr Color kMaroon = 0x000080;
constexpr Color kNavy = 0x800000;
constexpr Color kBlack = 0x000000;

QDate FirstOf(const QDate& d) { return QDate(d.year(), d.month(), 1); }

}  // namespace

SHLCalendar::SHLCalendar(const Config& config, const IClock& clock, QWidget* parent)
    : QWidget(parent), config_(config), clock_(clock) {
  // Every paint covers the whole control, so there is nothing to erase first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  setAccessibleName(QStringLiteral("Month"));
  SetToday();
}

int SHLCalendar::SelectedDay() const { return DateToDayNumber(selected_); }

void SHLCalendar::SetToday() {
  selected_ = CalendarToday(clock_);
  displayed_ = selected_;
  Changed();
}

void SHLCalendar::NextMonth() {
  displayed_ = FirstOf(displayed_).addMonths(1);
  selected_ = displayed_;
  Changed();
}

void SHLCalendar::PrevMonth() {
  displayed_ = FirstOf(displayed_).addMonths(-1);
  selected_ = displayed_;
  Changed();
}

void SHLCalendar::Select(const QDate& day) {
  selected_ = day;
  if (day.year() != displayed_.year() || day.month() != displayed_.month()) displayed_ = day;
  Changed();
}

void SHLCalendar::Changed() {
  // Screen readers hear the selected day, as they would on a date picker.
  setAccessibleDescription(QLocale().toString(selected_, QLocale::LongFormat));
  update();
}

std::optional<QDate> SHLCalendar::LayoutMonth(GdiCanvas* paint, int x, int y) const {
  const CalendarConfigT& k = config_.CalendarConfig;
  const int W = width();
  const int cell = W / 7;
  const QFont large = FontForCellHeight(font().family(), static_cast<int>(cell * 0.8));
  if (paint) {
    paint->SetFont(large);
    // No shadow anywhere in this control.
    paint->DrawText(MonthTitle(displayed_, k), kMaroon, Box{0, 0, W, cell}, kCalendarTextFormat);
    for (int i = 0; i < 7; ++i)
      paint->DrawText(DayName(i + 1, k), kNavy, Box{i * cell, cell, (i + 1) * cell, 2 * cell},
                      kCalendarTextFormat);
  }
  // The agenda's marks show here too, for reading only: clicks change the colour dots alone.
  const DotStyle dots{config_.ColorRemConfig.ColorReminders, GridDotColors, false,
                      DT_SINGLELINE | DT_VCENTER, &config_.DynamicConfig.Agenda};
  int row = 0;
  for (QDate d = FirstOf(displayed_); d.month() == displayed_.month(); d = d.addDays(1)) {
    const int col = WeekColumn(WeekdayOf(d), k) - 1;
    const Box box{col * cell, 2 * cell + row * cell, (col + 1) * cell, 2 * cell + (row + 1) * cell};
    if (paint) {
      DrawDotMarks(*paint, box, cell, d, dots);
      if (d == selected_) {
        paint->SetPenColor(kNavy);
        paint->SetPenStyle(PenStyle::Solid);
        paint->Rectangle(box);
      }
      paint->SetFont(large);
      paint->DrawText(QString::number(d.day()), kBlack, box, kCalendarTextFormat);
    } else if (box.left < x && x < box.right && box.top < y && y < box.bottom) {
      return d;
    }
    if (col == 6) ++row;
  }
  return std::nullopt;
}

QImage SHLCalendar::Render() const {
  QImage picture(size(), QImage::Format_RGB32);
  if (picture.isNull()) return picture;
  picture.fill(palette().color(QPalette::Button));
  GdiCanvas dc(picture);
  if (dc.IsActive()) LayoutMonth(&dc, 0, 0);
  return picture;
}

void SHLCalendar::paintEvent(QPaintEvent*) {
  // Drawn off-screen and copied in one piece, so nothing flickers.
  const QImage picture = Render();
  QPainter p(this);
  p.drawImage(0, 0, picture);
  if (hasFocus()) {
    // Where the keyboard is: the system's focus colour just inside the edge.
    p.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void SHLCalendar::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (const auto day = LayoutMonth(nullptr, pos.x(), pos.y())) selected_ = *day;
  Changed();
  emit mouseDown(event->button(), event->modifiers(), pos);
}

void SHLCalendar::mouseReleaseEvent(QMouseEvent* event) {
  update();
  emit mouseUp(event->button(), event->modifiers(), event->position().toPoint());
}

void SHLCalendar::keyPressEvent(QKeyEvent* event) {
  // The keyboard's way to pick a day: arrows by a day or a week, Page keys by a month.
  int days = 0, months = 0;
  switch (event->key()) {
    case Qt::Key_Left:
      days = -1;
      break;
    case Qt::Key_Right:
      days = 1;
      break;
    case Qt::Key_Up:
      days = -7;
      break;
    case Qt::Key_Down:
      days = 7;
      break;
    case Qt::Key_PageUp:
      months = -1;
      break;
    case Qt::Key_PageDown:
      months = 1;
      break;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  Select(selected_.addDays(days).addMonths(months));
  emit selectionMoved();
}
