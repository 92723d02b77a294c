#include "platform/Services.h"

#include <QCoreApplication>

#include "platform/DateTime.h"
#include "platform/DesktopNotifications.h"
#include "platform/Keyring.h"
#include "platform/SystemServices.h"

Services ProductionServices() {
  static SystemClock clock;
  static MsvcRandom random;
  static QtDesktop desktop;
  static QtMessageBoxes messages;
  static SecretServiceKeyring keyring;
  // Lives with the application: it withdraws its notifications over the bus when it goes.
  static auto* notifications = new DesktopNotifications(QCoreApplication::instance());
  return Services{&clock, &random, &desktop, &messages, &keyring, notifications, nullptr, {}, {}};
}

double NowDays(const IClock& clock) { return DateTimeToDays(clock.Now()); }

void ReportError(IMessageBoxes& boxes, const QString& message) {
  boxes.Show(message, QStringLiteral("Quillatorne"), MB_OK | MB_ICONERROR);
}
