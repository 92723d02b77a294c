#include "platform/Services.h"

#include <QCoreApplication>

#include "platform/DateTime.h"
#include "platform/DesktopNotifications.h"
#include "platform/Keyring.h"
#include "platform/SystemServices.h"

Services& Svc() {
  static Services services;
  return services;
}

void InstallProductionServices() {
  static SystemClock clock;
  static MsvcRandom random;
  static QtDesktop desktop;
  static QtMessageBoxes messages;
  static SecretServiceKeyring keyring;
  // Lives with the application: it withdraws its notifications over the bus when it goes.
  auto* notifications = new DesktopNotifications(QCoreApplication::instance());
  Svc() = Services{&clock, &random, &desktop, &messages, &keyring, notifications};
}

double NowDays() { return DateTimeToDays(Svc().clock->Now()); }

void ReportError(const QString& message) {
  if (Svc().messages)
    Svc().messages->Show(message, QStringLiteral("Quillatorne"), MB_OK | MB_ICONERROR);
}
