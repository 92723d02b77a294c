#pragma once
// The mail check: the trigger, and the worker thread that probes the accounts and leaves
// its result in the shared fields of DynamicConfig.
#include <QString>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>

class Pop3Client;

// Starts a mail check on the worker thread when the rules allow; returns at once.
void StartMailCheck(bool timed, int accountIndex);

class Thread_EmailChecker : public QThread {
 public:
  Thread_EmailChecker(int accountIndex, const std::atomic<bool>* abandon);
  // One check: probes the accounts, publishes the total, clears EmailCheckRunning.
  void RunCheck();

 protected:
  void run() override { RunCheck(); }

 private:
  int accountIndex_;
  const std::atomic<bool>* abandon_;
};

// "host:port" in an account's Server names a port other than the POP3 default.
void SplitServer(const QString& server, QString* host, int* port);

// Waits (at most timeoutMs) for the worker thread of the last check to end; true when none
// is left running.
bool WaitForMailCheck(int timeoutMs);
// Quitting: ends every wait of a running check at once and waits for its thread.
void AbandonMailCheck();

// Makes the client of each check; tests put their own in place (nullptr restores ours).
using Pop3ClientFactory = std::function<std::unique_ptr<Pop3Client>()>;
void SetPop3ClientFactory(Pop3ClientFactory factory);
