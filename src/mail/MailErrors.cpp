#include "mail/MailErrors.h"

#include <QApplication>
#include <QFile>
#include <cstdio>

#include "mail/MailCheck.h"
#include "platform/Services.h"
#include "settings/Config.h"

namespace {
void PlayErrorSound(const QString& chosen, IDesktop& desktop) {
  if (!chosen.isEmpty()) {
    desktop.PlaySound(chosen);
    return;
  }
  // The desktop's own error sound where the sound theme has one, else the bell.
  const QString theme = QStringLiteral("/usr/share/sounds/freedesktop/stereo/dialog-error.oga");
  if (QFile::exists(theme))
    desktop.PlaySound(theme);
  else
    QApplication::beep();
}
}  // namespace

QString MailFailureReason(const MailProbeResult& r) {
  switch (r.failure) {
    case Pop3Failure::CannotConnect:
      return QStringLiteral("cannot connect to the server");
    case Pop3Failure::NoAnswer:
      return QStringLiteral("the server does not answer");
    case Pop3Failure::CertificateNotTrusted:
      return QStringLiteral("the server's TLS certificate is not trusted (%1)").arg(r.detail);
    case Pop3Failure::NoTls:
      return QStringLiteral("the server does not offer a secure (TLS) connection");
    case Pop3Failure::LoginRefused:
      return QStringLiteral("the user name or password was refused");
    case Pop3Failure::NoNetwork:
      return QStringLiteral("no network, or the server's name is unknown");
    case Pop3Failure::ServerRefused:
    case Pop3Failure::Abandoned:
      break;
  }
  return QStringLiteral("the server refused the check (%1)").arg(r.detail);
}

void MailErrorReports::Report(const EmailConfigT& e, const Services& services) {
  // Taken before any box opens: the ticks that run inside a box find nothing left.
  const QList<MailProbeResult> results = TakeMailCheckResults();
  if (results.isEmpty()) return;
  QList<MailProbeResult> fresh;
  for (const MailProbeResult& r : results) {
    if (r.ok) {
      failing_.remove(r.key);
      continue;
    }
    const QString reason = MailFailureReason(r);
    QString line = QStringLiteral("Quillatorne: checking the mail of \"%1\" failed: %2")
                       .arg(r.account, reason);
    if (!reason.contains(r.detail)) line += QStringLiteral(" [%1]").arg(r.detail);
    if (!printed_.contains(line)) {
      printed_.insert(line);
      std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    }
    if (failing_.contains(r.key)) continue;
    failing_.insert(r.key);
    fresh << r;
  }
  if (fresh.isEmpty()) return;
  if (e.ReportErrorsSound) PlayErrorSound(e.ErrorSound, *services.desktop);
  if (!e.ReportErrorsDialog) return;
  for (const MailProbeResult& r : fresh) {
    services.messages->Show(QStringLiteral("Checking the mail of \"%1\" failed: %2.")
                                .arg(r.account, MailFailureReason(r)),
                            QStringLiteral("Email Checker Error"), MB_OK | MB_ICONERROR);
  }
}
