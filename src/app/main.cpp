#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <exception>

#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/HeadlessRender.h"
#include "app/SingleInstance.h"
#include "app/TFormMain.h"
#include "app/TrayNotices.h"
#include "calendar/Geometry.h"
#include "platform/Autostart.h"
#include "platform/DesktopTrayIcon.h"
#include "platform/DisplayBreak.h"
#include "platform/RegistryFile.h"
#include "platform/Services.h"
#include "platform/SystemServices.h"
#include "settings/Config.h"
#include "settings/RegistryStore.h"
#include "widgets/Pictures.h"

namespace {
void Print(FILE* to, const QString& text) {
  std::fputs(qPrintable(text), to);
  if (!text.endsWith(QLatin1Char('\n'))) std::fputc('\n', to);
}

// Hands the command to the copy that holds the lock. Needs no display.
int HandOver(SingleInstance& instance, const Command& command, int& argc, char** argv) {
  ReleaseTerminationSignals();
  QCoreApplication core(argc, argv);
  QString error;
  if (instance.Send(command, &error)) return 0;
  Print(stderr, error);
  return 1;
}
}  // namespace

int main(int argc, char** argv) {
  // First of all: a signal during a slow start must end the program the orderly way.
  CatchTerminationSignals();

  QStringList args;
  for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  const CommandLine line = ParseCommandLine(args, QDir::currentPath());
  switch (line.mode) {
    case CommandLine::Mode::Help:
    case CommandLine::Mode::Version:
      Print(stdout, line.text);
      return 0;
    case CommandLine::Mode::Error:
      Print(stderr, QStringLiteral("quillatorne: ") + line.text);
      return 2;
    case CommandLine::Mode::Render:
      ReleaseTerminationSignals();
      return RunRender(argc, argv, line.render);
    case CommandLine::Mode::Run:
      break;
  }

  // Checked here as well as by the running copy, so a bad --set never reaches it.
  if (const QString problem = CommandProblem(line.command); !problem.isEmpty()) {
    Print(stderr, QStringLiteral("quillatorne: ") + problem);
    return 1;
  }

  QString warning, refusal;
  const QString instanceDir = InstanceDirectory(&warning, &refusal);
  if (!warning.isEmpty()) Print(stderr, QStringLiteral("quillatorne: ") + warning);
  if (instanceDir.isEmpty()) {
    Print(stderr, refusal);
    return 1;
  }
  // A second start hands its verb (a plain start: show the window) to the running copy.
  SingleInstance instance(instanceDir);
  if (!instance.TryLock()) {
    Command command = line.command;
    // The launcher's permission to bring a window forward, passed on to the running copy.
    command.activationToken = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
    return HandOver(instance, command, argc, argv);
  }
  if (line.command.verb == Verb::Quit) {
    Print(stderr, QStringLiteral("Quillatorne is not running."));
    return 0;
  }

  QuillatorneApplication app(argc, argv);
  instance.setCheck(CommandProblem);
  instance.Listen();
  TFormMain* form = nullptr;
  // Until the window exists a signal only ends whatever modal loop start-up is in; the
  // window is closed, saving the settings, as soon as it is built.
  RouteTerminationSignals(&app, [&form] {
    if (form) {
      form->Exit();
    } else {
      QCoreApplication::exit(0);
    }
  });
  QApplication::setWindowIcon(ApplicationIcon());
  Services services = ProductionServices();
  app.setErrorBoxes(services.messages);
  const QSize screen = services.desktop->ScreenSize();
  Config config(screen);
  RegistryFile registry(RegistryFile::DefaultFileName());
  RegistryStore store(registry);
  store.OpenKey(QString::fromLatin1(kProductKey));
  const bool neverSaved = !store.ReadBool(QStringLiteral("Base"), QStringLiteral("OK"), false);
  // Never saved, and not because a bad file was just moved aside: the very first run.
  const bool firstRun = registry.movedAsideTo().isEmpty() && neverSaved;
  // The calendar's first place keeps clear of the panels.
  if (neverSaved) {
    const DynamicConfigT& d = config.DynamicConfig;
    KeepCalendarInside(config.CalendarConfig, screen, QSize(d.DesktopBoxWidth, d.DesktopBoxHeight),
                       services.desktop->AvailableArea(), CalendarToday(*services.clock));
  }

  std::unique_ptr<TFormMain> owner;
  try {
    owner = std::make_unique<TFormMain>(config, services, store);
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, QStringLiteral("Quillatorne"), QString::fromLocal8Bit(e.what()));
    return 1;
  } catch (...) {
    QMessageBox::critical(nullptr, QStringLiteral("Quillatorne"), QString());
    return 1;
  }
  form = owner.get();
  QtMessageBoxes::setMainWindow(form);
  // With no tray at all the program would run unseen.
  QObject::connect(form->TrayIcon, &DesktopTrayIcon::noTrayFound, form,
                   [&services] { TellNoTray(services.notifications); });
  // Logging out of a compositor takes the display away before any signal comes.
  SaveWhenTheDisplayBreaks([form] { form->SaveNow(); });
  if (TerminationRequested()) {
    form->Exit();
    return 0;
  }
  // A tray utility that does not come back after login is of little use.
  if (firstRun) {
    QString error;
    if (!EnableAutostart(QCoreApplication::applicationFilePath(), &error)) Print(stderr, error);
  }

  QObject::connect(&instance, &SingleInstance::commandReceived, form,
                   [form](const Command& command) { CarryOut(*form, command); });
  if (line.command.verb != Verb::None) {
    QTimer::singleShot(0, form, [form, command = line.command] { CarryOut(*form, command); });
  }
  // The desktop session ending takes the same path: settings saved on the way out.
  QObject::connect(&app, &QGuiApplication::commitDataRequest, form, [form] { form->Exit(); });
  QObject::connect(&app, &QCoreApplication::aboutToQuit, form, [form] { form->Exit(); });
  return app.exec();
}
