#include "settings/Config.h"

#include "platform/DateTime.h"

namespace {
constexpr int kChangeDelaySeconds[kChangeDelayCount] = {5,    30,   60,    120,   180,
                                                        300,  600,  1200,  3600,  7200,
                                                        10800, 21600, 43200, 86400, 172800};
}

int ChangeDelaySeconds(int index) {
  if (index < 0 || index >= kChangeDelayCount) index = kDefaultChangeDelay;
  return kChangeDelaySeconds[index];
}

PopupReminder NewPopupReminder(double now) {
  PopupReminder r;
  r.DateTime = now;
  r.Id = NextReminderId();
  return r;
}

EmailAccount NewEmailAccount() {
  EmailAccount a;
  a.Name = QStringLiteral("New");
  a.Server = QStringLiteral("server");
  a.User = QStringLiteral("user");
  a.EnableCheck = true;
  a.Security = MailSecurity::SslTls;
  a.Protocol = MailProtocol::Imap;
  return a;
}

ColorReminder NewColorReminder(double today) {
  ColorReminder c;
  c.date = DayNumber(today);
  return c;
}

Config::Config(QSize screen) {
  using D = DynamicConfigT;
  DynamicConfig.DesktopBoxWidth =
      screen.width() > screen.height() ? D::kDesktopBoxLongSide : D::kDesktopBoxSide;
  DynamicConfig.DesktopBoxHeight =
      screen.height() > screen.width() ? D::kDesktopBoxLongSide : D::kDesktopBoxSide;
}

quint64 NextReminderId() {
  static quint64 next = 0;
  return ++next;
}
