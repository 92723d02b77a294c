#include <QMessageBox>
#include <cstdio>
#include <exception>

#include "app/Application.h"
#include "app/SingleInstance.h"
#include "app/TFormMain.h"
#include "platform/RegistryFile.h"
#include "platform/Services.h"
#include "settings/Config.h"
#include "settings/ConfigStore.h"
#include "widgets/Pictures.h"

int main(int argc, char** argv) {
  QuillatorneApplication app(argc, argv);
  // A second start shows the running copy's window instead of running twice.
  SingleInstance instance;
  if (!instance.Acquire()) {
    if (instance.NotifyRunning()) return 0;
    std::fputs("Quillatorne is already running.\n", stderr);
    return 0;
  }
  QApplication::setWindowIcon(ApplicationIcon());
  InstallProductionServices();
  ResetConfig(Svc().desktop->ScreenSize());
  RegistryFile registry(RegistryFile::DefaultFileName());
  OpenMainStore(registry);

  std::unique_ptr<TFormMain> form;
  try {
    form = std::make_unique<TFormMain>();
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, QStringLiteral("Quillatorne"), QString::fromLocal8Bit(e.what()));
    return 1;
  } catch (...) {
    QMessageBox::critical(nullptr, QStringLiteral("Quillatorne"), QString());
    return 1;
  }
  QObject::connect(&instance, &SingleInstance::showRequested, form.get(),
                   &TFormMain::ShowFromOutside);
  RouteTerminationSignals(form.get());
  // The desktop session ending takes the same path: settings saved on the way out.
  QObject::connect(&app, &QGuiApplication::commitDataRequest, form.get(),
                   [&form] { form->close(); });
  QObject::connect(&app, &QCoreApplication::aboutToQuit, form.get(), [&form] { form->close(); });
  return app.exec();
}
