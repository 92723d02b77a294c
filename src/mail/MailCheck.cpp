#include "mail/MailCheck.h"

#include <QCoreApplication>
#include <climits>
#include <utility>

#include "mail/Pop3Client.h"
#include "platform/Services.h"
#include "settings/Config.h"

namespace {
// The one worker of the program. The trigger never waits for a running check; the object
// is kept only so that a finished thread can be released and quitting can end a running one.
struct Worker {
  std::unique_ptr<Thread_EmailChecker> thread;
  std::atomic<bool> abandon{false};
  Pop3ClientFactory factory;
  bool exitHooked = false;
};

Worker& TheWorker() {
  static Worker worker;
  return worker;
}

std::unique_ptr<Pop3Client> MakeClient() {
  const auto& factory = TheWorker().factory;
  return factory ? factory() : std::make_unique<Pop3Client>();
}

int AddClamped(int total, int count) {
  if (count <= 0) return total;
  return total > INT_MAX - count ? INT_MAX : total + count;
}

// One account's count; every failure counts as an empty mailbox.
int Probe(Pop3Client& client, const EmailAccount& account) {
  int port = Pop3Client::kDefaultPort;
  SplitServer(account.Server, &client.Host, &port);
  client.Port = port;
  client.UserID = account.User;
  client.Password = account.Password;
  try {
    client.Connect();
  } catch (const std::exception&) {
    try {
      client.Disconnect();
    } catch (const std::exception&) {
    }
    return 0;
  }
  if (!client.ConnectionOpen()) return 0;
  const int count = client.MessageCount();
  try {
    client.Disconnect();
  } catch (const std::exception&) {
    // The count was taken before the goodbye went wrong; it still counts.
  }
  return count;
}
}  // namespace

void SplitServer(const QString& server, QString* host, int* port) {
  *host = server;
  *port = Pop3Client::kDefaultPort;
  const qsizetype colon = server.lastIndexOf(':');
  if (colon <= 0 || server.indexOf(':') != colon) return;
  bool ok = false;
  const int p = server.mid(colon + 1).toInt(&ok);
  if (!ok || p < 1 || p > 65535 || !server.mid(colon + 1).front().isDigit()) return;
  *host = server.left(colon);
  *port = p;
}

Thread_EmailChecker::Thread_EmailChecker(int accountIndex, const std::atomic<bool>* abandon)
    : accountIndex_(accountIndex), abandon_(abandon), thread_([this] {
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
  auto& d = Cfg().DynamicConfig;
  int total = 0;
  try {
    std::unique_ptr<Pop3Client> client = MakeClient();
    client->SetAbandonFlag(abandon_);
    // The accounts page keeps the list still while a check runs.
    const QList<EmailAccount>& accounts = std::as_const(Cfg().EmailConfig.Accounts);
    for (qsizetype i = 0; i < accounts.size(); ++i) {
      if (abandon_->load()) break;
      if (accountIndex_ != -1 && i != accountIndex_) continue;
      EmailAccount account;  // our own copy of the three strings for this probe
      account.Server = accounts.at(i).Server;
      account.User = accounts.at(i).User;
      account.Password = accounts.at(i).Password;
      total = AddClamped(total, Probe(*client, account));
    }
  } catch (const std::exception&) {
    // No client, no count: the check ends like one of empty mailboxes.
  }
  if (total == 0) d.NoNewMail = true;
  d.NewMailCount = total;
  d.LastEmailCheck = NowDays();
  d.EmailCheckRunning = false;
}

void StartMailCheck(bool timed, int accountIndex) {
  const auto& e = Cfg().EmailConfig;
  auto& d = Cfg().DynamicConfig;
  if (!e.EnableCheck) return;
  if (d.EmailCheckRunning) return;
  if (timed && !(NowDays() >= d.LastEmailCheck + e.IntervalMinutes / 1440.0)) return;

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
  w.abandon = false;
  d.EmailCheckRunning = true;
  w.thread = std::make_unique<Thread_EmailChecker>(accountIndex, &w.abandon);
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

void SetPop3ClientFactory(Pop3ClientFactory factory) { TheWorker().factory = std::move(factory); }
