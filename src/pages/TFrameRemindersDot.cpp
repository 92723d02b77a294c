#include "pages/TFrameRemindersDot.h"

#include <QPainter>
#include <QStyle>

#include "calendar/Marks.h"
#include "platform/Services.h"
#include "reminders/SHLCalendar.h"

namespace {
// A switch's picture: the dot in its colour when on, a pale ring when off.
QIcon DotSwitchPicture(Color color) {
  const QColor c(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
  QIcon icon;
  for (const bool on : {false, true}) {
    QPixmap pix(16, 16);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(c.darker(on ? 130 : 100), 1.5));
    p.setBrush(on ? QBrush(c) : QBrush(c.lighter(170)));
    p.drawEllipse(QRectF(2, 2, 12, 12));
    p.end();
    icon.addPixmap(pix, QIcon::Normal, on ? QIcon::On : QIcon::Off);
  }
  return icon;
}
}  // namespace

void ToggleColorReminder(QList<ColorReminder>& list, int date, DotColor color, bool on) {
  for (qsizetype i = 0; i < list.size(); ++i) {
    if (list[i].date != date || list[i].style != color) continue;
    if (!on) list.removeAt(i);
    return;
  }
  if (on) list.append(ColorReminder{date, color});
}

TFrameRemindersDot::TFrameRemindersDot(Config& config, Services& services, QWidget* parent)
    : SettingsPage(config, services, parent), Calendar(nullptr) {
  ui.setupUi(this);
  switches_[0] = ui.Button_RedDot;
  switches_[1] = ui.Button_YellowDot;
  switches_[2] = ui.Button_GreenDot;
  const QSize panel = ui.PanelCalendar->size();
  Calendar = new SHLCalendar(config, *services.clock, ui.PanelCalendar);
  Calendar->setGeometry(3, 3, panel.width() - 4, panel.height() - 4);
  // The grid first, then the buttons as they stand, top to bottom and left to right.
  QWidget* order[] = {Calendar,
                      ui.Button_YearPrev,
                      ui.Button_YearNext,
                      ui.Button_MonthPrev,
                      ui.Button_MonthNext,
                      ui.Button_Today,
                      ui.Button_RedDot,
                      ui.Button_YellowDot,
                      ui.Button_GreenDot};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
  connect(Calendar, &SHLCalendar::mouseDown, this, &TFrameRemindersDot::SyncDotSwitches);
  connect(Calendar, &SHLCalendar::selectionMoved, this, &TFrameRemindersDot::SyncDotSwitches);

  ui.Button_YearPrev->setIcon(style()->standardIcon(QStyle::SP_MediaSkipBackward));
  ui.Button_YearNext->setIcon(style()->standardIcon(QStyle::SP_MediaSkipForward));
  ui.Button_MonthPrev->setIcon(style()->standardIcon(QStyle::SP_ArrowLeft));
  ui.Button_MonthNext->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
  ui.Button_Today->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
  const auto navigate = [this](QPushButton* button, auto step) {
    connect(button, &QPushButton::clicked, this, [this, step] {
      step();
      SyncDotSwitches();
    });
  };
  navigate(ui.Button_MonthPrev, [this] { Calendar->PrevMonth(); });
  navigate(ui.Button_MonthNext, [this] { Calendar->NextMonth(); });
  // A year is twelve months, so the grid lands on the 1st of the same month.
  navigate(ui.Button_YearPrev, [this] {
    for (int i = 0; i < 12; ++i) Calendar->PrevMonth();
  });
  navigate(ui.Button_YearNext, [this] {
    for (int i = 0; i < 12; ++i) Calendar->NextMonth();
  });
  navigate(ui.Button_Today, [this] { Calendar->SetToday(); });

  for (int s = 0; s < kDotColorCount; ++s) {
    switches_[s]->setIcon(DotSwitchPicture(DotColors[s]));
    connect(switches_[s], &QToolButton::clicked, this, [this, s] { SwitchClick(s); });
  }
}

void TFrameRemindersDot::LoadFromConfig() {
  SettingsPage::LoadFromConfig();
  SyncDotSwitches();
}

void TFrameRemindersDot::SyncDotSwitches() {
  const int d = Calendar->SelectedDay();
  const QList<ColorReminder>& list = config.ColorRemConfig.ColorReminders;
  for (int s = 0; s < kDotColorCount; ++s) {
    // setChecked does not click, so nothing is toggled from here.
    const QSignalBlocker block(switches_[s]);
    switches_[s]->setChecked(HasColorReminder(list, d, kDotColorsInOrder[s]));
  }
}

void TFrameRemindersDot::SwitchClick(int place) {
  ToggleColorReminder(config.ColorRemConfig.ColorReminders, Calendar->SelectedDay(),
                      kDotColorsInOrder[place], switches_[place]->isChecked());
  Calendar->update();
  emit settingsChanged();
}
