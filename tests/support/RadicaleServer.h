#pragma once
// A real CalDAV server for the tests: Radicale on 127.0.0.1 and a free port, its storage and
// password file in a temporary folder, one user with one calendar collection. It runs as our
// child and ends with the object, or with the test process if that dies.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class RadicaleServer {
 public:
  RadicaleServer(const QString& user, const QString& password);
  ~RadicaleServer();
  bool ok() const { return error_.isEmpty(); }
  QString error() const { return error_; }
  quint16 port() const { return port_; }
  // The calendar collection's address.
  QString calendarUrl() const;
  // Stores an event resource (a whole VCALENDAR) under name.ics; false on failure.
  bool Put(const QString& name, const QByteArray& ics);
  // Removes the event resource name.ics; false on failure.
  bool Delete(const QString& name);
  // The requests the server answered so far, one line each, as its log tells them.
  int RequestCount() const;
  void Stop();

 private:
  int Request(const QByteArray& verb, const QString& url, const QByteArray& body);
  QTemporaryDir dir_;
  QProcess process_;
  QString user_, password_;
  quint16 port_ = 0;
  QString error_;
};
