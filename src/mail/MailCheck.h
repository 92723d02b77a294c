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

#include "mail/ImapClient.h"
#include "mail/Pop3Client.h"
#include "platform/Services.h"

struct Config;
struct DynamicConfigT;

// Starts a mail check of the accounts of `config` on the worker thread when the rules allow;
// returns at once, true when a check started. The check publishes into the shared values of
// config.DynamicConfig.
bool StartMailCheck(Config& config, const Services& services, bool timed, int accountIndex);
// How long until the timed check is due: 0 when it is, -1 when checking is off.
qint64 MsUntilTimedMailCheck(const Config& config, double nowDays);

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

// What a check does beyond counting, fixed when it starts.
struct MailCheckOptions {
  bool countOnlyNew = false;  // Email/CountOnlyNew
  bool showSenders = false;   // Email/ShowSenders
  QString seenStatePath;      // where countOnlyNew keeps what was counted
  // After a resume or at login the network may not be up yet: accounts that found none
  // are tried again after each of these pauses before their failure stands.
  QList<int> networkRetryMs = {30000, 120000};
};
// How many senders and subjects an announcement names at most.
inline constexpr int kMaxMailSummaries = 5;

// The worker: constructing it starts its thread at once, which runs one check and ends.
class Thread_EmailChecker {
 public:
  // The accounts are the worker's own copy: the user may edit the list while it runs. The
  // clients come from the factories of `services` (ours where it has none) and the time from
  // its clock, which must outlive the run, as must `publish`, where the result goes.
  Thread_EmailChecker(QList<EmailAccount> accounts, const std::atomic<bool>* abandon,
                      const Services& services, DynamicConfigT& publish,
                      MailCheckOptions options = {});
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
  Pop3ClientFactory makeClient_;
  ImapClientFactory makeImapClient_;
  DynamicConfigT& publish_;
  const IClock& clock_;
  MailCheckOptions options_;
  std::atomic<bool> done_{false};
  std::thread thread_;  // last: starts once everything above is in place
};

// "host:port" in an account's Server names a port other than the default.
void SplitServer(const QString& server, QString* host, int* port, int defaultPort = 110);

// Points the client at the account: host, port, security, user name and password.
void AimAt(Pop3Client& client, const EmailAccount& account);
// Waits ms, in short slices; false (at once) when `stop` is set meanwhile.
bool PauseUnlessStopped(int ms, const std::atomic<bool>& stop);

// The port an account's protocol and security imply when its Server names none.
int DefaultMailPort(MailProtocol protocol, MailSecurity security);

// An account's security as the accounts page offers it, in this order.
inline constexpr MailSecurity kMailSecurityChoices[] = {MailSecurity::None, MailSecurity::StartTls,
                                                        MailSecurity::SslTls};
// "None (port 110)", "SSL/TLS (port 993)": the choice with the port it implies.
QString MailSecurityText(MailSecurity security, MailProtocol protocol);
// The protocols the accounts page offers, in this order.
struct MailProtocolChoice {
  MailProtocol protocol;
  const char* text;
};
inline constexpr MailProtocolChoice kMailProtocolChoices[] = {{MailProtocol::Pop3, "POP3"},
                                                              {MailProtocol::Imap, "IMAP"}};

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
// Senders and subjects of the newest messages the last check counted (at most
// kMaxMailSummaries), once; replaced by every check, like NewMailCount.
QList<MailSummary> TakeNewMailSummaries();

// Joins and frees the thread of a check that has ended; never waits for a running one.
// Runs on every tick.
void ReleaseFinishedMailCheck();
// Waits (at most timeoutMs) for the worker thread of the last check to end; true when none
// is left running.
bool WaitForMailCheck(int timeoutMs);
// Quitting: ends every wait of a running check at once and waits for its thread.
void AbandonMailCheck();

// An IMAP client as the factory makes it; ours when there is none.
std::unique_ptr<ImapClient> MakeImapClient(const ImapClientFactory& factory);
