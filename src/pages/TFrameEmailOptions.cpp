#include "pages/TFrameEmailOptions.h"

TFrameEmailOptions::TFrameEmailOptions(Config& config, Services& services, QWidget* parent)
    : SettingsPage(config, services, parent, StoreRule::AllAtOnce) {
  ui.setupUi(this);
  ui.Edit_Sound->setDialogTitle(QStringLiteral("Select the error sound"));

  auto& e = config.EmailConfig;
  Bind(ui.Check_CheckEvery, e.EnableCheck);
  // An interval beyond the box's 100 shows as 100 and stays in force until the page stores.
  Bind(ui.Spin_Time, e.IntervalMinutes);
  Bind(ui.Check_CheckOnStartup, e.CheckOnStartup);
  Bind(ui.Check_CountOnlyNew, e.CountOnlyNew);
  Bind(ui.Check_ReportDialog, e.ReportErrorsDialog);
  Bind(ui.Check_ReportSound, e.ReportErrorsSound);
  Bind(ui.Edit_Sound, e.ErrorSound);
}
