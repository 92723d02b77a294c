#include "pages/TFrameCalendarOptions.h"

TFrameCalendarOptions::TFrameCalendarOptions(Config& config, Services& services, QWidget* parent)
    : SettingsPage(config, services, parent, StoreRule::AllAtOnce) {
  ui.setupUi(this);
  auto& c = config.CalendarConfig;
  // In the order a change stores them.
  Bind(ui.Check_ShowCalendar, c.ShowCalendar);
  BindRadioGroup(ui.RG_FirstDay, c.FirstWeekDay);
  BindRadioGroup(ui.RG_Language, c.Language);
  Bind(ui.Combo_Font, c.Font);
  Bind(ui.Combo_MonthYear, c.ColorMonthYear);
  Bind(ui.Combo_DayName, c.ColorDayNames);
  Bind(ui.Combo_DayNumber, c.ColorDayNumbers);
  Bind(ui.Combo_WeekMarker, c.ColorWeekMarker);
  Bind(ui.Check_DrawGlass, c.DrawGlass);
  Bind(ui.Check_DrawTextShadow, c.DrawTextShadow);
}
