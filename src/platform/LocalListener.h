#pragma once
// A local (Unix domain) socket that keeps listening: a failed accept (no descriptors left)
// pauses accepting for a moment instead of closing the socket, and a socket file that
// vanishes (a cleaner of temporary folders) is made again.
#include <QObject>
#include <QString>

class QFileSystemWatcher;
class QLocalSocket;
class QSocketNotifier;
class QTimer;

class LocalListener : public QObject {
  Q_OBJECT

 public:
  explicit LocalListener(QObject* parent = nullptr);
  ~LocalListener() override;

  // Listens on `path`, replacing a socket file left there (the caller holds the lock that
  // says it is stale); the file is for this user only. False, with the reason, on failure.
  bool Listen(const QString& path, QString* error);
  void Close();
  bool listening() const { return fd_ >= 0; }

 signals:
  // A connected socket, owned by the receiver (parented to this listener until then).
  void connection(QLocalSocket* socket);

 private:
  void Accept();
  void Relisten();
  void Warn(const QString& text);

  QString path_;
  int fd_ = -1;
  QSocketNotifier* notifier_ = nullptr;
  QTimer* pause_ = nullptr;
  QFileSystemWatcher* watcher_ = nullptr;
  bool toldPaused_ = false;  // said once until a request is taken again
};
