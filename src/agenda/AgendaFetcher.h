#pragma once
// Brings a followed calendar's copy up to date, blocking, on the thread that calls it: a
// local file when it changed on disk, an .ics address with a conditional GET, a CalDAV
// collection with its ctag first and, only when that changed, its events' ETags, then the
// events that are new or changed with one calendar-multiget.
#include <QByteArray>
#include <QDate>
#include <QList>
#include <QPair>
#include <QString>
#include <atomic>

#include "agenda/AgendaCopy.h"

class QNetworkAccessManager;

enum class AgendaSourceKind { File, Http };

// A local path or file: URL is a file; http and https addresses are fetched.
AgendaSourceKind AgendaSourceKindOf(const QString& source);
// The local path of a file source.
QString AgendaLocalPath(const QString& source);

struct AgendaFetchOutcome {
  bool changed = false;  // the copy holds new data
  QString error;         // not empty: the copy is as it was
  int requests = 0;      // sent to the server
  qint64 received = 0;   // bytes of the answers' bodies
  int downloaded = 0;    // CalDAV event resources the server sent whole
};

class AgendaFetcher {
 public:
  // Every wait ends after this long without an answer.
  static constexpr int kTimeoutMs = 30000;
  // Answers larger than this are refused (the reader refuses more anyway).
  static constexpr qint64 kMaxAnswer = 16 * 1024 * 1024;

  // The manager must live on the calling thread; abandon, when set, cuts a fetch short.
  explicit AgendaFetcher(QNetworkAccessManager& network, const std::atomic<bool>* abandon = nullptr)
      : network_(network), abandon_(abandon) {}

  // Updates `copy` from the source; a CalDAV calendar is asked for the days [from, to].
  AgendaFetchOutcome Fetch(const QString& source, const QString& user, const QString& password,
                           QDate from, QDate to, AgendaCopy& copy);

 private:
  struct Answer;
  Answer Send(const QByteArray& verb, const QString& url,
              const QList<QPair<QByteArray, QByteArray>>& headers, const QByteArray& body,
              const QString& user, const QString& password, AgendaFetchOutcome& outcome);
  AgendaFetchOutcome FetchFile(const QString& source, AgendaCopy& copy);
  void FetchIcs(const QString& url, const QString& user, const QString& password, AgendaCopy& copy,
                AgendaFetchOutcome& outcome);
  // A CalDAV calendar's events of the days [from, to]: their tags, then those the copy lacks
  // or holds older; `ctag` is the collection's tag for the copy to keep.
  void SyncCalDav(const QString& url, const QString& user, const QString& password, QDate from,
                  QDate to, const QString& ctag, AgendaCopy& copy, AgendaFetchOutcome& outcome);

  QNetworkAccessManager& network_;
  const std::atomic<bool>* abandon_;
};
