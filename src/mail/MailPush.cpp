#include "mail/MailPush.h"

#include <QTimer>
#include <atomic>
#include <thread>

#include "mail/ImapClient.h"
#include "mail/MailCheck.h"

namespace {
bool SameMailbox(const EmailAccount& a, const EmailAccount& b) {
  return a.Server == b.Server && a.User == b.User && a.Password == b.Password &&
         a.Security == b.Security && a.Protocol == b.Protocol;
}
}  // namespace

struct MailPush::Watcher {
  Watcher(MailPush* owner, EmailAccount account, ImapClientFactory make, Timing timing)
      : account(std::move(account)),
        makeClient(std::move(make)),
        thread([this, owner, timing] { Run(owner, timing); }) {}
  ~Watcher() {
    stop = true;
    if (thread.joinable()) thread.join();
  }
  void Run(MailPush* owner, const Timing& timing);

  const EmailAccount account;
  const ImapClientFactory makeClient;
  std::atomic<bool> stop{false};
  std::atomic<State> state{State::Connecting};
  std::thread thread;  // last: starts once everything above is in place
};

void MailPush::Watcher::Run(MailPush* owner, const Timing& timing) {
  int pause = timing.firstPauseMs;
  while (!stop) {
    state = State::Connecting;
    std::unique_ptr<ImapClient> client = MakeImapClient(makeClient);
    client->SetAbandonFlag(&stop);
    AimAt(*client, account);
    try {
      client->Connect();
      if (!client->CanIdle()) {
        // The timed checks serve this account.
        state = State::NoIdle;
        client->Disconnect();
        return;
      }
      state = State::Idling;
      pause = timing.firstPauseMs;  // the connection stood: a later loss starts short again
      for (;;) {
        if (client->WaitForNews(timing.renewMs)) owner->news_ = true;
      }
    } catch (const std::exception&) {
      // Lost, refused or stopped: try again after a pause that grows with every failure.
    }
    if (stop) return;
    state = State::Paused;
    PauseUnlessStopped(pause, stop);
    pause = std::min(pause * 2, timing.longestPauseMs);
  }
}

MailPush::MailPush(std::function<Wanted()> wanted, std::function<bool()> check,
                   ImapClientFactory makeClient, Timing timing, QObject* parent)
    : QObject(parent),
      wanted_(std::move(wanted)),
      check_(std::move(check)),
      makeClient_(std::move(makeClient)),
      timing_(timing) {
  // The watchers leave their news in a flag that this thread looks at: a flag every sanitizer
  // can follow, where an event posted across threads is synchronised inside Qt. Only while
  // there are watchers: the program idles with no timer of ours running.
  newsTimer_ = new QTimer(this);
  newsTimer_->setInterval(timing_.newsMs);
  connect(newsTimer_, &QTimer::timeout, this, [this] {
    if (news_.exchange(false)) Arrived();
  });
  // A check asked for while another ran starts when that one ends.
  connect(&MailChecks(), &MailCheckEvents::ended, this, [this] {
    if (pending_) Arrived();
  });
  timer_ = new QTimer(this);
  timer_->setInterval(timing_.lookMs);
  connect(timer_, &QTimer::timeout, this, &MailPush::Look);
  if (timing_.lookMs > 0) timer_->start();
  Look();
}

MailPush::~MailPush() {
  for (auto& w : watchers_) w->stop = true;  // all at once, then wait for each
  watchers_.clear();
}

void MailPush::Look() {
  const Wanted wanted = wanted_();
  QList<EmailAccount> imap;
  if (wanted.enabled)
    for (const EmailAccount& a : wanted.accounts)
      if (a.Protocol == MailProtocol::Imap && !a.User.isEmpty() && !a.Password.isEmpty()) imap << a;
  std::vector<std::unique_ptr<Watcher>> kept;
  for (const EmailAccount& a : std::as_const(imap)) {
    auto same = std::find_if(watchers_.begin(), watchers_.end(),
                             [&](const auto& w) { return w && SameMailbox(w->account, a); });
    if (same != watchers_.end()) {
      kept.push_back(std::move(*same));
    } else {
      kept.push_back(std::make_unique<Watcher>(this, a, makeClient_, timing_));
    }
  }
  for (auto& w : watchers_)
    if (w) w->stop = true;
  watchers_.clear();  // joins those no longer wanted
  watchers_ = std::move(kept);
  if (!wanted.enabled) pending_ = false;
  if (watchers_.empty()) {
    newsTimer_->stop();
    if (news_.exchange(false)) Arrived();  // what the last ones heard before they went
  } else if (!newsTimer_->isActive()) {
    newsTimer_->start();
  }
}

QList<MailPush::State> MailPush::States() const {
  QList<State> states;
  for (const auto& w : watchers_) states << w->state.load();
  return states;
}

void MailPush::Arrived() {
  if (!wanted_().enabled) {
    pending_ = false;
    return;
  }
  ++checksAsked_;
  pending_ = !check_();
}
