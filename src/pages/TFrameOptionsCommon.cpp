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
  // Not a setting: the box shows and changes the desktop's autostart entry.
  QCheckBox* box = ui.Check_StartAtLogin;
  const int id = AddBinding(
      box, [box] { box->setChecked(AutostartEnabled()); },
      [this, box] {
        // Every box of this page is stored on any change; only a difference touches the entry.
        if (box->isChecked() == AutostartEnabled()) return;
        QString error;
        const bool done = box->isChecked()
                              ? EnableAutostart(QCoreApplication::applicationFilePath(), &error)
                              : DisableAutostart(&error);
        if (done) return;
        services.messages->Show(error, QStringLiteral("Quillatorne Error"), MB_OK | MB_ICONERROR);
        const QSignalBlocker block(box);
        box->setChecked(AutostartEnabled());
      });
  connect(box, &QCheckBox::toggled, this, [this, id] { Changed(id); });
}
