#pragma once
// The mail check: the trigger, and the worker thread that probes the accounts and leaves
// its result in the shared fields of DynamicConfig.
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class Pop3Client;

// Starts a mail check on the worker thread when the rules allow; returns at once.
void StartMailCheck(bool timed, int accountIndex);

// The worker: constructing it starts its thread at once, which runs one check and ends.
class Thread_EmailChecker {
 public:
  Thread_EmailChecker(int accountIndex, const std::atomic<bool>* abandon);
  // Only once the run has ended (Wait returned true).
  ~Thread_EmailChecker();
  // Waits at most timeoutMs for the run to end; true when it has (the thread is then joined).
  bool Wait(int timeoutMs);
  bool Finished() const { return done_; }
  // One check: probes the accounts, publishes the total, clears EmailCheckRunning.
  void RunCheck();

 private:
  int accountIndex_;
  const std::atomic<bool>* abandon_;
  std::atomic<bool> done_{false};
  std::thread thread_;  // last: starts once everything above is in place
};

// "host:port" in an account's Server names a port other than the POP3 default.
void SplitServer(const QString& server, QString* host, int* port);

// Joins and frees the thread of a check that has ended; never waits for a running one.
// Runs on every tick.
void ReleaseFinishedMailCheck();
// Waits (at most timeoutMs) for the worker thread of the last check to end; true when none
// is left running.
bool WaitForMailCheck(int timeoutMs);
// Quitting: ends every wait of a running check at once and waits for its thread.
void AbandonMailCheck();

// Makes the client of each check; tests put their own in place (nullptr restores ours).
using Pop3ClientFactory = std::function<std::unique_ptr<Pop3Client>()>;
void SetPop3ClientFactory(Pop3ClientFactory factory);
