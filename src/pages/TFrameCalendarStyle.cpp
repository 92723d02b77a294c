#include "pages/TFrameCalendarStyle.h"

#include "calendar/Geometry.h"
#include "platform/Services.h"
#include "widgets/MiniatureDesktop.h"

TFrameCalendarStyle::TFrameCalendarStyle(Config& config, Services& services, QWidget* parent)
    : SettingsPage(config, services, parent), Panel_Position(nullptr) {
  ui.setupUi(this);
  Panel_Position = ui.Panel_Desktop->marker();
  setTabOrder(ui.Track_Size, Panel_Position);
  BindRadioGroup(ui.RG_Style, config.CalendarConfig.Style);
  Bind(ui.Track_Size, config.CalendarConfig.Size);
  // Style and size change the calendar's size, and so the marker's.
  connect(this, &SettingsPage::settingsChanged, this, &TFrameCalendarStyle::FitPositionMarker);
  connect(Panel_Position, &PositionMarker::moved, this, &TFrameCalendarStyle::Panel_PositionMove);
}

void TFrameCalendarStyle::LoadFromConfig() {
  SettingsPage::LoadFromConfig();
  const DynamicConfigT& dyn = config.DynamicConfig;
  ui.Panel_Desktop->resize(dyn.DesktopBoxWidth, dyn.DesktopBoxHeight);
  // Shown inside, stored as it was: this month may only have a week row more than the one
  // the calendar was placed in, and the next may fit it again.
  PlaceMarker();
}

void TFrameCalendarStyle::FitPositionMarker() {
  const QPoint at = PlaceMarker();
  config.CalendarConfig.PosX = at.x();
  config.CalendarConfig.PosY = at.y();
}

QPoint TFrameCalendarStyle::PlaceMarker() {
  const CalendarConfigT& k = config.CalendarConfig;
  const QSize desktop = ui.Panel_Desktop->size();
  const QSize screen = services.desktop ? services.desktop->ScreenSize() : QSize();
  QSize marker(0, 0);
  if (screen.width() > 0 && screen.height() > 0) {
    const CalendarBox r =
        CalendarRect(screen.width(), screen.height(), k, desktop, CalendarToday(*services.clock));
    // Both sides at the horizontal scale, in single precision as the position is.
    const float s = static_cast<float>(desktop.width()) / static_cast<float>(screen.width());
    marker = QSize(TruncToInt((r.right - r.left) * s), TruncToInt((r.bottom - r.top) * s));
  }
  Panel_Position->resize(marker);
  const QPoint at = ClampMarker(QPoint(k.PosX, k.PosY), marker, desktop);
  Panel_Position->move(at);
  return at;
}

void TFrameCalendarStyle::Panel_PositionMove(QPoint topLeft) {
  config.CalendarConfig.PosX = topLeft.x();
  config.CalendarConfig.PosY = topLeft.y();
  emit settingsChanged();
}
