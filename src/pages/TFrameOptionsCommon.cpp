#include "pages/TFrameOptionsCommon.h"

TFrameOptionsCommon::TFrameOptionsCommon(Config& config, Services& services, QWidget* parent)
    : SettingsPage(config, services, parent, StoreRule::AllAtOnce) {
  ui.setupUi(this);
  Bind(ui.Check_UpdateAndClose, config.ProgramConfig.ExitAfterSet);
  Bind(ui.Check_ShowImage, config.WallpaperConfig.ShowImage);
  Bind(ui.Check_ShowCalendar, config.CalendarConfig.ShowCalendar);
  // Hidden, but carried from load to save like the others.
  Bind(ui.Check_AllowXP, config.ProgramConfig.AllowXP);
  Bind(ui.Check_EnableSounds, config.ProgramConfig.EnableSounds);
}
