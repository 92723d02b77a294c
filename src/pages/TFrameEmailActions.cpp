#include "pages/TFrameEmailActions.h"

TFrameEmailActions::TFrameEmailActions(Config& config, Services& services, QWidget* parent)
    : SettingsPage(config, services, parent, StoreRule::AllAtOnce) {
  ui.setupUi(this);
  ui.Edit_EmailProgram->setDialogTitle(QStringLiteral("Select the e-mail program"));
  ui.Edit_DiffProgram->setDialogTitle(QStringLiteral("Select a program"));
  ui.Edit_Sound->setDialogTitle(QStringLiteral("Select a sound"));

  auto& e = config.EmailConfig;
  // The icon's own tick leaves the click settings editable: they are settings of their own.
  Bind(ui.Group_AddIcon, e.AddIcon);
  Bind(ui.Check_Animate, e.Animate);
  Bind(ui.Check_LeftLaunch, e.LeftLaunch);
  Bind(ui.Check_LeftRemoveIcon, e.LeftRemoveIcon);
  Bind(ui.Check_LeftShowMenu, e.LeftShowMenu);
  Bind(ui.Check_RightLaunch, e.RightLaunch);
  Bind(ui.Check_RightRemoveIcon, e.RightRemoveIcon);
  Bind(ui.Check_RightShowMenu, e.RightShowMenu);
  Bind(ui.Check_ShowDialog, e.ShowDialog);
  Bind(ui.Check_OnlyOnce, e.OnlyOnce);
  Bind(ui.Check_ShowNotification, e.ShowNotification);
  Bind(ui.Check_ShowSenders, e.ShowSenders);
  Bind(ui.Check_LaunchEmailProgram, e.LaunchEmailProgram);
  Bind(ui.Edit_EmailProgram, e.EmailClient);
  Bind(ui.Check_DiffProgram, e.LaunchDiffProgram);
  Bind(ui.Edit_DiffProgram, e.DiffProgram);
  Bind(ui.Check_PlaySound, e.PlaySound);
  Bind(ui.Edit_Sound, e.Sound);
}
