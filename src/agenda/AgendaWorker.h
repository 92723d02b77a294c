#pragma once
// The agenda's fetching and reading, on a thread of its own so the tick never waits for a
// server; AgendaService is its face on the user-interface thread.
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QThread>
#include <QTimeZone>
#include <atomic>
#include <memory>

#include "agenda/AgendaCopy.h"
#include "agenda/IcsReader.h"

class QNetworkAccessManager;

struct AgendaSourceSpec {
  QString url;
  QString user;
  QString password;
};

struct AgendaJob {
  QList<AgendaSourceSpec> calendars;
  QDate from, to;       // the days to read
  QTimeZone zone;       // shown in
  QString folder;       // of the copies
  bool network = true;  // false: the copies and local files only
};

struct AgendaCalendarState {
  QList<AgendaEvent> events;
  QString error;  // of the last fetch or read; the events are then the last good ones
  bool changed = false;
  int requests = 0;
};

class AgendaWorker : public QObject {
  Q_OBJECT
 public:
  explicit AgendaWorker(const std::atomic<bool>* abandon);
  ~AgendaWorker() override;
  // Runs on the worker's thread.
  QList<AgendaCalendarState> Run(const AgendaJob& job);

 private:
  const std::atomic<bool>* abandon_;
  std::unique_ptr<QNetworkAccessManager> network_;
  QHash<QString, AgendaCopy> copies_;  // by copy path
};

class AgendaService : public QObject {
  Q_OBJECT
 public:
  explicit AgendaService(QObject* parent = nullptr);
  ~AgendaService() override;

  // Starts a job; while one runs, the newest job waits for it and older waiting ones are
  // dropped.
  void Start(const AgendaJob& job);
  bool Busy() const { return running_; }
  // The last results, one per calendar of the last job.
  const QList<AgendaCalendarState>& Calendars() const { return states_; }

 signals:
  void Finished();

 private:
  void Launch(const AgendaJob& job);

  std::atomic<bool> abandon_{false};
  QThread thread_;
  AgendaWorker* worker_ = nullptr;
  bool running_ = false;
  std::unique_ptr<AgendaJob> waiting_;
  QList<AgendaCalendarState> states_;
};
