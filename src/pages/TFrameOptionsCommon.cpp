#include "pages/TFrameOptionsCommon.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QSignalBlocker>

#include "platform/Autostart.h"
#include "platform/Services.h"

TFrameOptionsCommon::TFrameOptionsCommon(Config& config, Services& services, QWidget* parent)
    : SettingsPage(config, services, parent, StoreRule::AllAtOnce) {
  ui.setupUi(this);
  Bind(ui.Check_UpdateAndClose, config.ProgramConfig.ExitAfterSet);
  Bind(ui.Check_ShowImage, config.WallpaperConfig.ShowImage);
  Bind(ui.Check_ShowCalendar, config.CalendarConfig.ShowCalendar);
  // Hidden, but carried from load to save like the others.
  Bind(ui.Check_AllowXP, config.ProgramConfig.AllowXP);
  Bind(ui.Check_EnableSounds, config.ProgramConfig.EnableSounds);
  BindStartAtLogin();
}

void TFrameOptionsCommon::BindStartAtLogin() {
  // Not a setting: the box shows the desktop's autostart entry, and only a click on the box
  // itself writes or removes it. Storing the other boxes must leave the entry alone: it may
  // have been deleted outside the program while the page was open.
  QCheckBox* box = ui.Check_StartAtLogin;
  const int id = AddBinding(
      box, [box] { box->setChecked(AutostartEnabled()); }, [] {});
  connect(box, &QCheckBox::toggled, this, [this, box, id](bool on) {
    if (loading()) return;
    QString error;
    const bool done = on ? EnableAutostart(QCoreApplication::applicationFilePath(), &error)
                         : DisableAutostart(&error);
    if (!done) {
      services.messages->Show(error, QStringLiteral("Quillatorne Error"), MB_OK | MB_ICONERROR);
      const QSignalBlocker block(box);
      box->setChecked(AutostartEnabled());
    }
    Changed(id);
  });
}
