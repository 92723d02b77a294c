#include "platform/Services.h"

#include "platform/DateTime.h"
#include "platform/Keyring.h"
#include "platform/SystemServices.h"

Services ProductionServices() {
  static SystemClock clock;
  static MsvcRandom random;
  static QtDesktop desktop;
  static QtMessageBoxes messages;
  static SecretServiceKeyring keyring;
  return Services{&clock, &random, &desktop, &messages, &keyring, {}};
}

double NowDays(const IClock& clock) { return DateTimeToDays(clock.Now()); }

void ReportError(IMessageBoxes& boxes, const QString& message) {
  boxes.Show(message, QStringLiteral("Quillatorne"), MB_OK | MB_ICONERROR);
}
