#pragma once
// The last good data of each followed calendar, kept on disk so the agenda is on the
// wallpaper at login before the network is up, and so unchanged calendars cost nothing.
#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

// One event resource of a CalDAV calendar as the server last gave it.
struct AgendaResource {
  QString href;
  QString etag;
  qsizetype size = 0;  // of its part of the copy's data
  bool operator==(const AgendaResource&) const = default;
};

struct AgendaCopy {
  QByteArray data;  // one or more VCALENDARs, one after another
  // What the source said about this data, to ask it next time whether it changed.
  QString etag;
  QString lastModified;
  QString ctag;           // a CalDAV collection's tag; empty for plain .ics sources
  qint64 fileStamp = -1;  // a local file's modification time (ms) ...
  qint64 fileSize = -1;   // ... and size
  QDate from, to;         // the days a CalDAV answer covers
  // A CalDAV calendar's resources, in the order their parts follow one another in `data`;
  // they let a fetch ask only for what changed.
  QList<AgendaResource> resources;
  bool operator==(const AgendaCopy&) const = default;
};

// Where the copy of a calendar (its address and user) lives under `folder`.
QString AgendaCopyPath(const QString& folder, const QString& url, const QString& user);
// False when there is no readable copy; a damaged one is no copy.
bool LoadAgendaCopy(const QString& path, AgendaCopy& copy);
// Replaces the file whole; false with the reason in *error.
bool SaveAgendaCopy(const QString& path, const AgendaCopy& copy, QString* error);
