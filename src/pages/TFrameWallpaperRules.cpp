#include "pages/TFrameWallpaperRules.h"

TFrameWallpaperRules::TFrameWallpaperRules(Config& config, Services& services, QWidget* parent)
    : SettingsPage(config, services, parent, StoreRule::AllAtOnce) {
  ui.setupUi(this);
  auto& w = config.WallpaperConfig;
  Bind(ui.Check_ShowImage, w.ShowImage);
  BindRadioGroup(ui.RG_ChangingRule, w.ChangeRule);
  Bind(ui.Check_StretchToFit, w.StretchToFit);
  Bind(ui.Check_ConstrainProportions, w.ConstrainProportions);
  Bind(ui.Combo_Time, w.ChangeDelay);
  Bind(ui.Combo_BackColor, w.BackgroundColor);
}
