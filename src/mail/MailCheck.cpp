#include "mail/MailCheck.h"

#include <QCoreApplication>
#include <algorithm>
#include <climits>
#include <cmath>
#include <mutex>
#include <utility>

#include "mail/MailSeenState.h"
#include "mail/Pop3Client.h"
#include "platform/Services.h"
#include "settings/Config.h"
#include "settings/PasswordKeeper.h"

namespace {
// The one worker of the program. The trigger never waits for a running check; the object
// is kept only so that a finished thread can be released and quitting can end a running one.
struct Worker {
  std::unique_ptr<Thread_EmailChecker> thread;
  std::atomic<bool> abandon{false};
  bool exitHooked = false;
  std::mutex resultsLock;
  QList<MailProbeResult> results;  // of the last finished check, until taken
  QList<MailSummary> summaries;    // likewise
};

Worker& TheWorker() {
  static Worker worker;
  return worker;
}

// Who a mailbox is for "Count only new messages": not its name, which the user may change.
QString SeenKey(const EmailAccount& account) {
  return QString::number(static_cast<int>(account.Protocol)) + '\n' + account.Server + '\n' +
         account.User;
}

// What one check gathers besides the total.
struct CheckExtras {
  const MailCheckOptions& options;
  MailSeenState* seen;  // when counting only new messages
  QList<MailSummary> summaries;
};

// What one account's probe found beyond its count; it stands only once the probe has ended
// well, so that a message counted by a probe that then fails is counted again next time.
struct ProbeExtras {
  std::optional<QStringList> ids;  // to remember as counted
  QList<MailSummary> summaries;
};

// The count as the options have it, and the newest messages' senders and subjects. A server
// that cannot tell leaves the count as it was: the names are a bonus, not the check.
int NewOnly(Pop3Client& client, const EmailAccount& account, int count, const CheckExtras& extras,
            ProbeExtras* found) {
  const bool wantNames = extras.options.showSenders;
  if (!extras.seen && !wantNames) return count;
  try {
    const std::optional<QStringList> ids = client.MessageIds();
    if (!ids) return count;
    QStringList fresh = *ids;
    if (extras.seen) {
      fresh = extras.seen->NewOf(SeenKey(account), *ids);
      count = static_cast<int>(fresh.size());
      found->ids = ids;
    }
    if (wantNames && !fresh.isEmpty())
      found->summaries =
          client.Summaries(fresh.mid(qMax<qsizetype>(0, fresh.size() - kMaxMailSummaries)));
  } catch (const std::exception&) {
  }
  return count;
}

int AddClamped(int total, int count) {
  if (count <= 0) return total;
  return total > INT_MAX - count ? INT_MAX : total + count;
}

MailProbeResult Outcome(const EmailAccount& account, bool ok,
                        Pop3Failure failure = Pop3Failure::CannotConnect,
                        const QByteArray& detail = {}) {
  MailProbeResult r;
  r.account = account.Name;
  r.key = MailAccountKey(account);
  r.ok = ok;
  r.failure = failure;
  r.detail = QString::fromUtf8(detail).trimmed();
  return r;
}

// One account's count; every failure counts as an empty mailbox and says why.
int Probe(Pop3Client& client, const EmailAccount& account, QList<MailProbeResult>* results,
          CheckExtras* extras) {
  AimAt(client, account);
  try {
    client.Connect();
  } catch (const std::exception& e) {
    try {
      client.Disconnect();
    } catch (const std::exception&) {
    }
    const auto* pop3 = dynamic_cast<const Pop3Error*>(&e);
    const Pop3Failure failure = pop3 ? pop3->failure() : Pop3Failure::CannotConnect;
    if (failure != Pop3Failure::Abandoned) *results << Outcome(account, false, failure, e.what());
    return 0;
  }
  const auto hungUp = [&] {
    *results << Outcome(account, false, Pop3Failure::NoAnswer, "The server hung up after STAT");
    return 0;
  };
  if (!client.ConnectionOpen()) return hungUp();
  ProbeExtras found;
  const int count = NewOnly(client, account, client.MessageCount(), *extras, &found);
  try {
    client.Disconnect();
  } catch (const std::exception&) {
    // The count was taken before the goodbye went wrong; it still counts, unless the
    // server hung up instead of answering QUIT (its end of stream came too late to be seen).
    if (client.HungUp()) return hungUp();
  }
  *results << Outcome(account, true);
  if (found.ids) extras->seen->Remember(SeenKey(account), *found.ids);
  extras->summaries += found.summaries;
  return count;
}
}  // namespace

void AimAt(Pop3Client& client, const EmailAccount& account) {
  int port = 0;
  SplitServer(account.Server, &client.Host, &port,
              DefaultMailPort(account.Protocol, account.Security));
  client.Port = port;
  client.Security = account.Security;
  client.UserID = account.User;
  client.Password = account.Password;
}

bool PauseUnlessStopped(int ms, const std::atomic<bool>& stop) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < until) {
    if (stop) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return !stop;
}

QString MailAccountKey(const EmailAccount& account) {
  return account.Name + '\n' + account.Server + '\n' + account.User;
}

void SplitServer(const QString& server, QString* host, int* port, int defaultPort) {
  *host = server;
  *port = defaultPort;
  const qsizetype colon = server.lastIndexOf(':');
  if (colon <= 0 || server.indexOf(':') != colon) return;
  bool ok = false;
  const int p = server.mid(colon + 1).toInt(&ok);
  if (!ok || p < 1 || p > 65535 || !server.mid(colon + 1).front().isDigit()) return;
  *host = server.left(colon);
  *port = p;
}

int DefaultMailPort(MailProtocol protocol, MailSecurity security) {
  return protocol == MailProtocol::Imap ? ImapClient::DefaultPort(security)
                                        : Pop3Client::DefaultPort(security);
}

QString MailSecurityText(MailSecurity security, MailProtocol protocol) {
  const int port = DefaultMailPort(protocol, security);
  switch (security) {
    case MailSecurity::StartTls:
      return QStringLiteral("STARTTLS (port %1)").arg(port);
    case MailSecurity::SslTls:
      return QStringLiteral("SSL/TLS (port %1)").arg(port);
    case MailSecurity::None:
      break;
  }
  return QStringLiteral("None (port %1)").arg(port);
}

Thread_EmailChecker::Thread_EmailChecker(QList<EmailAccount> accounts,
                                         const std::atomic<bool>* abandon, const Services& services,
                                         DynamicConfigT& publish, MailCheckOptions options)
    : accounts_(std::move(accounts)),
      abandon_(abandon),
      makeClient_(services.mailClient),
      makeImapClient_(services.imapClient),
      publish_(publish),
      clock_(*services.clock),
      options_(std::move(options)),
      thread_([this] {
        RunCheck();
        done_ = true;
      }) {}

Thread_EmailChecker::~Thread_EmailChecker() {
  if (thread_.joinable()) thread_.join();
}

bool Thread_EmailChecker::Wait(int timeoutMs) {
  // Polled rather than a timed condition wait, which ThreadSanitizer cannot follow here.
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done_) {
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (thread_.joinable()) thread_.join();
  return true;
}

void Thread_EmailChecker::RunCheck() {
  auto& d = publish_;
  int total = 0;
  QList<MailProbeResult> results;
  std::optional<MailSeenState> seen;
  if (options_.countOnlyNew) {
    seen.emplace(options_.seenStatePath);
    seen->Load();
  }
  CheckExtras extras{options_, seen ? &*seen : nullptr, {}};
  try {
    // One client per protocol serves every account of the check, made when first needed.
    std::unique_ptr<Pop3Client> clients[2];
    QList<qsizetype> accountOfResult;
    // Probes one account; its result goes to `slot` in the results, or at their end.
    const auto probe = [&](qsizetype index, qsizetype slot) {
      const EmailAccount& account = accounts_.at(index);
      auto& client = clients[account.Protocol == MailProtocol::Imap ? 1 : 0];
      if (!client) {
        if (account.Protocol == MailProtocol::Imap) {
          client = MakeImapClient(makeImapClient_);
        } else {
          client = makeClient_ ? makeClient_() : std::make_unique<Pop3Client>();
        }
        client->SetAbandonFlag(abandon_);
      }
      QList<MailProbeResult> one;
      total = AddClamped(total, Probe(*client, account, &one, &extras));
      if (one.isEmpty()) return;
      if (slot >= 0) {
        results[slot] = one.first();
      } else {
        results << one.first();
        accountOfResult << index;
      }
    };
    for (qsizetype i = 0; i < accounts_.size(); ++i) {
      if (abandon_->load()) break;
      probe(i, -1);
    }
    for (int pauseMs : std::as_const(options_.networkRetryMs)) {
      QList<qsizetype> noNetwork;
      for (qsizetype i = 0; i < results.size(); ++i)
        if (!results[i].ok && results[i].failure == Pop3Failure::NoNetwork) noNetwork << i;
      if (noNetwork.isEmpty() || !PauseUnlessStopped(pauseMs, *abandon_)) break;
      for (qsizetype i : std::as_const(noNetwork)) probe(accountOfResult.at(i), i);
    }
  } catch (const std::exception&) {
    // No client, no count: the check ends like one of empty mailboxes.
  }
  // What was counted stays counted even if the file cannot be written; the next run may
  // announce it again, which is better than never.
  if (seen) seen->Save();
  {
    // Before the running mark goes: whoever sees the check over finds its results.
    Worker& w = TheWorker();
    std::lock_guard<std::mutex> lock(w.resultsLock);
    w.results = std::move(results);
    w.summaries =
        extras.summaries.mid(qMax<qsizetype>(0, extras.summaries.size() - kMaxMailSummaries));
  }
  if (total == 0) d.NoNewMail = true;
  d.NewMailCount = total;
  d.LastEmailCheck = NowDays(clock_);
  d.EmailCheckRunning = false;
  // Queued to the receivers, which live on the user-interface thread.
  emit MailChecks().ended();
}

MailCheckEvents& MailChecks() {
  static MailCheckEvents* events = [] {
    auto* e = new MailCheckEvents;
    // Should a worker of a test be first, the object still belongs to the user-interface thread.
    if (QCoreApplication* app = QCoreApplication::instance()) e->moveToThread(app->thread());
    return e;
  }();
  return *events;
}

qint64 MsUntilTimedMailCheck(const Config& config, double nowDays) {
  const auto& e = config.EmailConfig;
  if (!e.EnableCheck) return -1;
  const double left = config.DynamicConfig.LastEmailCheck + e.IntervalMinutes / 1440.0 - nowDays;
  if (!(left > 0)) return 0;
  return static_cast<qint64>(std::min(std::ceil(left * 86400000.0), 1e15));
}

bool StartMailCheck(Config& config, const Services& services, bool timed, int accountIndex) {
  const auto& e = config.EmailConfig;
  auto& d = config.DynamicConfig;
  if (!e.EnableCheck) return false;
  if (d.EmailCheckRunning) return false;
  if (timed && MsUntilTimedMailCheck(config, NowDays(*services.clock)) != 0) return false;
  // Passwords still on their way from the keyring would make the check fail for nothing.
  if (timed && services.passwords && services.passwords->Pending()) return false;

  Worker& w = TheWorker();
  // The previous check has published everything; its thread is at its very end.
  if (w.thread) {
    w.thread->Wait(INT_MAX);
    w.thread.reset();
  }
  if (!w.exitHooked) {
    w.exitHooked = true;
    qAddPostRoutine(AbandonMailCheck);
  }
  // Copied here, on the user-interface thread: the worker never touches the list the user
  // edits (the strings' shared data is safe to share between threads).
  QList<EmailAccount> accounts;
  for (qsizetype i = 0; i < e.Accounts.size(); ++i)
    if (accountIndex == -1 || i == accountIndex) accounts << e.Accounts.at(i);
  w.abandon = false;
  d.EmailCheckRunning = true;
  MailCheckOptions options{e.CountOnlyNew, e.ShowSenders, MailSeenState::DefaultPath()};
  // Only timed checks wait for the network: they are the ones that run after a resume or
  // at login, and a user who asked for a check wants its answer now.
  if (!timed) options.networkRetryMs.clear();
  w.thread = std::make_unique<Thread_EmailChecker>(std::move(accounts), &w.abandon, services, d,
                                                   std::move(options));
  return true;
}

void ReleaseFinishedMailCheck() {
  Worker& w = TheWorker();
  if (w.thread && w.thread->Finished() && w.thread->Wait(0)) w.thread.reset();
}

bool WaitForMailCheck(int timeoutMs) {
  Worker& w = TheWorker();
  if (!w.thread) return true;
  if (!w.thread->Wait(timeoutMs)) return false;
  w.thread.reset();
  return true;
}

void AbandonMailCheck() {
  Worker& w = TheWorker();
  if (!w.thread) return;
  w.abandon = true;
  // Every wait of the client is cut into short slices, so this returns promptly.
  if (w.thread->Wait(10000)) {
    w.thread.reset();
  } else {
    (void)w.thread.release();  // never destroy a running thread; the process ends anyway
  }
}

QList<MailProbeResult> TakeMailCheckResults() {
  Worker& w = TheWorker();
  std::lock_guard<std::mutex> lock(w.resultsLock);
  return std::exchange(w.results, {});
}

QList<MailSummary> TakeNewMailSummaries() {
  Worker& w = TheWorker();
  std::lock_guard<std::mutex> lock(w.resultsLock);
  return std::exchange(w.summaries, {});
}

std::unique_ptr<ImapClient> MakeImapClient(const ImapClientFactory& factory) {
  return factory ? factory() : std::make_unique<ImapClient>();
}
