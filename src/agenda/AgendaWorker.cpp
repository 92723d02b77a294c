#include "agenda/AgendaWorker.h"

#include <QMetaObject>
#include <QNetworkAccessManager>

#include "agenda/AgendaFetcher.h"

AgendaWorker::AgendaWorker(const std::atomic<bool>* abandon) : abandon_(abandon) {}
AgendaWorker::~AgendaWorker() = default;

QList<AgendaCalendarState> AgendaWorker::Run(const AgendaJob& job) {
  if (!network_) network_ = std::make_unique<QNetworkAccessManager>();
  AgendaFetcher fetcher(*network_, abandon_);
  QList<AgendaCalendarState> states;
  QHash<QString, AgendaCopy> kept;
  for (const AgendaSourceSpec& c : job.calendars) {
    AgendaCalendarState state;
    const QString path = AgendaCopyPath(job.folder, c.url, c.user);
    auto known = copies_.find(path);
    if (known == copies_.end()) {
      AgendaCopy copy;
      LoadAgendaCopy(path, copy);
      known = copies_.insert(path, copy);
    }
    AgendaCopy& copy = *known;
    // A local file is read in any case: it needs no network.
    const bool local = AgendaSourceKindOf(c.url) == AgendaSourceKind::File;
    if ((job.network || local) && !(abandon_ && abandon_->load())) {
      const AgendaCopy before = copy;
      const AgendaFetchOutcome out =
          fetcher.Fetch(c.url, c.user, c.password, job.from, job.to, copy);
      state.error = out.error;
      state.changed = out.changed;
      state.requests = out.requests;
      QString saveError;
      // Also when only what the source said about the data changed (a CalDAV tag).
      if (!(copy == before) && !SaveAgendaCopy(path, copy, &saveError))
        qWarning("Agenda: cannot keep a copy of %s: %s", qPrintable(c.url), qPrintable(saveError));
    }
    if (!copy.data.isEmpty()) {
      const IcsResult r = ReadIcs(copy.data, job.from, job.to, job.zone);
      state.events = r.events;
      if (state.error.isEmpty()) state.error = r.error;
    }
    kept.insert(path, copy);
    states << state;
  }
  copies_ = kept;  // calendars no longer followed are forgotten
  return states;
}

AgendaService::AgendaService(QObject* parent) : QObject(parent) {
  worker_ = new AgendaWorker(&abandon_);
  worker_->moveToThread(&thread_);
  connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
  thread_.setObjectName(QStringLiteral("agenda"));
  thread_.start();
}

AgendaService::~AgendaService() {
  abandon_ = true;
  thread_.quit();
  thread_.wait();
}

void AgendaService::Start(const AgendaJob& job) {
  if (running_) {
    waiting_ = std::make_unique<AgendaJob>(job);
    return;
  }
  Launch(job);
}

void AgendaService::Launch(const AgendaJob& job) {
  running_ = true;
  QMetaObject::invokeMethod(worker_, [this, job] {
    QList<AgendaCalendarState> states = worker_->Run(job);
    QMetaObject::invokeMethod(this, [this, states = std::move(states)] {
      running_ = false;
      states_ = states;
      if (waiting_) {
        std::unique_ptr<AgendaJob> next = std::move(waiting_);
        Launch(*next);
      }
      emit Finished();
    });
  });
}
