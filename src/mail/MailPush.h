#pragma once
// New mail pushed by IMAP servers that offer IDLE: one small thread per such account waits
// in IDLE and, when messages arrive, asks for a check, which is announced like a timed one.
// Accounts whose server has no IDLE, and POP3 accounts, are left to the timed checks.
#include <QList>
#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Services.h"
#include "settings/Config.h"

class QTimer;

class MailPush : public QObject {
  Q_OBJECT

 public:
  // What should be watched now: read on the user-interface thread at every look.
  struct Wanted {
    bool enabled = false;  // Email/EnableCheck: nothing is watched while checking is off
    QList<EmailAccount> accounts;
  };
  struct Timing {
    int firstPauseMs = 15000;         // after a loss, before the first new attempt
    int longestPauseMs = 10 * 60000;  // the pause doubles up to this
    int renewMs = 29 * 60000;         // IDLE is ended and begun again before servers drop it
    int lookMs = 0;  // how often the wanted accounts are looked at; 0: only when asked (Look)
    int newsMs = 1000;  // how often the watchers' news is looked at, only while there are any
  };
  enum class State { Connecting, Idling, NoIdle, Paused };

  // check: starts a check of every account; returns false when it could not start one
  // now (another check runs), and is asked again when that one ends. The watchers' clients
  // come from makeClient (ours when it is empty).
  MailPush(std::function<Wanted()> wanted, std::function<bool()> check,
           ImapClientFactory makeClient, Timing timing, QObject* parent = nullptr);
  MailPush(std::function<Wanted()> wanted, std::function<bool()> check,
           ImapClientFactory makeClient, QObject* parent = nullptr)
      : MailPush(std::move(wanted), std::move(check), std::move(makeClient), Timing(), parent) {}
  ~MailPush() override;

  // Starts and stops watchers to match what is wanted; runs by itself every lookMs, if set.
  void Look();
  // The state of each account's watcher, in the order of the accounts.
  QList<State> States() const;
  // How many checks the watchers have asked for.
  int ChecksAsked() const { return checksAsked_; }

 private:
  struct Watcher;
  void Arrived();

  std::function<Wanted()> wanted_;
  std::function<bool()> check_;
  ImapClientFactory makeClient_;
  Timing timing_;
  std::vector<std::unique_ptr<Watcher>> watchers_;
  QTimer* timer_ = nullptr;
  QTimer* newsTimer_ = nullptr;
  std::atomic<bool> news_{false};  // a watcher heard of new mail
  bool pending_ = false;           // news came while another check ran
  int checksAsked_ = 0;
};
