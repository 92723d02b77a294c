#pragma once
// The mail check: the trigger, and the worker thread that probes the accounts and leaves
// its result in the shared fields of DynamicConfig.
#include <QList>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "mail/Pop3Client.h"

struct Config;
struct DynamicConfigT;
struct Services;
class IClock;

// Starts a mail check of the accounts of `config` on the worker thread when the rules allow;
// returns at once. The check publishes into the shared values of config.DynamicConfig.
void StartMailCheck(Config& config, const Services& services, bool timed, int accountIndex);

// News of the checks for what shows them, delivered through the user-interface thread's
// event loop, so nothing has to poll EmailCheckRunning.
class MailCheckEvents : public QObject {
  Q_OBJECT

 signals:
  // A check has ended: EmailCheckRunning is false and its results are published.
  void ended();
};
// The one instance, living on the user-interface thread for the whole run.
MailCheckEvents& MailChecks();

// The worker: constructing it starts its thread at once, which runs one check and ends.
class Thread_EmailChecker {
 public:
  // The accounts are the worker's own copy: the user may edit the list while it runs. The
  // result goes into the shared values of `publish`, which must outlive the run.
  Thread_EmailChecker(QList<EmailAccount> accounts, const std::atomic<bool>* abandon,
                      std::function<std::unique_ptr<Pop3Client>()> makeClient,
                      DynamicConfigT& publish, const IClock& clock);
  // Only once the run has ended (Wait returned true).
  ~Thread_EmailChecker();
  // Waits at most timeoutMs for the run to end; true when it has (the thread is then joined).
  bool Wait(int timeoutMs);
  bool Finished() const { return done_; }
  // One check: probes the accounts, publishes the total, clears EmailCheckRunning.
  void RunCheck();

 private:
  QList<EmailAccount> accounts_;
  const std::atomic<bool>* abandon_;
  std::function<std::unique_ptr<Pop3Client>()> makeClient_;
  DynamicConfigT& publish_;
  const IClock& clock_;
  std::atomic<bool> done_{false};
  std::thread thread_;  // last: starts once everything above is in place
};

// "host:port" in an account's Server names a port other than the default.
void SplitServer(const QString& server, QString* host, int* port, int defaultPort = 110);

// An account's security as the accounts page offers it, in this order.
struct MailSecurityChoice {
  MailSecurity security;
  const char* text;
};
inline constexpr MailSecurityChoice kMailSecurityChoices[] = {
    {MailSecurity::None, "None (port 110)"},
    {MailSecurity::StartTls, "STARTTLS (port 110)"},
    {MailSecurity::SslTls, "SSL/TLS (port 995)"}};

// How one account's probe ended.
struct MailProbeResult {
  QString account;  // the account's name
  QString key;      // the account: MailAccountKey
  bool ok = false;
  Pop3Failure failure = Pop3Failure::CannotConnect;  // when not ok
  QString detail;   // the probe's own description, for standard error
};
// Who an account is, for remembering what was reported about it.
QString MailAccountKey(const EmailAccount& account);
// The results of the last finished check, once; empty until another check ends.
QList<MailProbeResult> TakeMailCheckResults();

// Joins and frees the thread of a check that has ended; never waits for a running one.
// Runs on every tick.
void ReleaseFinishedMailCheck();
// Waits (at most timeoutMs) for the worker thread of the last check to end; true when none
// is left running.
bool WaitForMailCheck(int timeoutMs);
// Quitting: ends every wait of a running check at once and waits for its thread.
void AbandonMailCheck();
