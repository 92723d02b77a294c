#include "mail/MailCheck.h"

#include <QCoreApplication>
#include <climits>
#include <mutex>
#include <utility>

#include "mail/MailPasswords.h"
#include "mail/Pop3Client.h"
#include "platform/Services.h"
#include "settings/Config.h"

namespace {
// The one worker of the program. The trigger never waits for a running check; the object
// is kept only so that a finished thread can be released and quitting can end a running one.
struct Worker {
  std::unique_ptr<Thread_EmailChecker> thread;
  std::atomic<bool> abandon{false};
  bool exitHooked = false;
  std::mutex resultsLock;
  QList<MailProbeResult> results;  // of the last finished check, until taken
};

Worker& TheWorker() {
  static Worker worker;
  return worker;
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
int Probe(Pop3Client& client, const EmailAccount& account, QList<MailProbeResult>* results) {
  int port = Pop3Client::kDefaultPort;
  SplitServer(account.Server, &client.Host, &port, Pop3Client::DefaultPort(account.Security));
  client.Port = port;
  client.Security = account.Security;
  client.UserID = account.User;
  client.Password = account.Password;
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
  const int count = client.MessageCount();
  try {
    client.Disconnect();
  } catch (const std::exception&) {
    // The count was taken before the goodbye went wrong; it still counts, unless the
    // server hung up instead of answering QUIT (its end of stream came too late to be seen).
    if (client.HungUp()) return hungUp();
  }
  *results << Outcome(account, true);
  return count;
}
}  // namespace

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

Thread_EmailChecker::Thread_EmailChecker(QList<EmailAccount> accounts,
                                         const std::atomic<bool>* abandon,
                                         std::function<std::unique_ptr<Pop3Client>()> makeClient,
                                         DynamicConfigT& publish, const IClock& clock)
    : accounts_(std::move(accounts)),
      abandon_(abandon),
      makeClient_(std::move(makeClient)),
      publish_(publish),
      clock_(clock),
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
  try {
    std::unique_ptr<Pop3Client> client =
        makeClient_ ? makeClient_() : std::make_unique<Pop3Client>();
    client->SetAbandonFlag(abandon_);
    for (const EmailAccount& account : std::as_const(accounts_)) {
      if (abandon_->load()) break;
      total = AddClamped(total, Probe(*client, account, &results));
    }
  } catch (const std::exception&) {
    // No client, no count: the check ends like one of empty mailboxes.
  }
  {
    // Before the running mark goes: whoever sees the check over finds its results.
    Worker& w = TheWorker();
    std::lock_guard<std::mutex> lock(w.resultsLock);
    w.results = std::move(results);
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

void StartMailCheck(Config& config, const Services& services, bool timed, int accountIndex) {
  const auto& e = config.EmailConfig;
  auto& d = config.DynamicConfig;
  if (!e.EnableCheck) return;
  if (d.EmailCheckRunning) return;
  if (timed && !(NowDays(*services.clock) >= d.LastEmailCheck + e.IntervalMinutes / 1440.0)) return;
  // Passwords still on their way from the keyring would make the check fail for nothing.
  if (timed && MailPasswordsPending()) return;

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
  w.thread = std::make_unique<Thread_EmailChecker>(std::move(accounts), &w.abandon,
                                                   services.mailClient, d, *services.clock);
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
