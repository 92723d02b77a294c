#pragma once
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

// One running copy per user: the first start takes a lock file and listens on a local
// socket beside it; a later start finds the lock held, asks the first to show its window
// and ends. A lock left by a crashed run is taken over.
class SingleInstance : public QObject {
  Q_OBJECT

 public:
  // dir: where the lock and the socket live; empty means InstanceDirectory().
  explicit SingleInstance(const QString& dir = QString());
  ~SingleInstance() override;

  // True when this process is the one to run.
  bool Acquire();
  // Asks the running copy to show its window; true once it has answered.
  bool NotifyRunning();

  QString lockPath() const { return dir_ + QStringLiteral("/quillatorne.lock"); }
  QString socketPath() const { return dir_ + QStringLiteral("/quillatorne.socket"); }

 signals:
  void showRequested();

 private:
  void OnConnection();

  QString dir_;
  std::unique_ptr<QLockFile> lock_;
  std::unique_ptr<QLocalServer> server_;
};

// $XDG_RUNTIME_DIR, or a private folder of this user's in the temporary folder.
QString InstanceDirectory();
