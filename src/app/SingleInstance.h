#pragma once
#include <QLockFile>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "app/CommandLine.h"
#include "platform/PrivateFolder.h"

class LocalListener;
class QLocalSocket;

// One running copy per user: the first start takes a lock file and listens on a local
// socket beside it; a later start finds the lock held, hands its command (a plain start:
// show the window) to the first and ends. A lock left by a crashed run is taken over.
class SingleInstance : public QObject {
  Q_OBJECT

 public:
  // dir: where the lock and the socket live.
  explicit SingleInstance(const QString& dir);
  ~SingleInstance() override;

  // True when this process is the one to run. Needs no application object, so a later
  // start can hand its command over without a display.
  bool TryLock();
  // Starts answering later starts (needs the application object).
  void Listen();
  // Asked before a request is taken: a reason refuses it, and the sender is told why.
  void setCheck(std::function<QString(const Command&)> check) { check_ = std::move(check); }
  // Both of the above.
  bool Acquire();

  // Hands the command to the running copy; true once it has taken it. `attempts` tries,
  // a good part of a second apart, cover a first copy that is still starting.
  bool Send(const Command& command, QString* error, int attempts = 25);
  bool NotifyRunning() { return Send(Command{Verb::Show, QString(), QString()}, nullptr); }

  QString lockPath() const { return dir_ + QStringLiteral("/quillatorne.lock"); }
  QString socketPath() const { return dir_ + QStringLiteral("/quillatorne.socket"); }

 signals:
  // Emitted from the event loop, after the sender has had its answer.
  void commandReceived(const Command& command);

 private:
  void OnConnection(QLocalSocket* socket);

  QString dir_;
  std::unique_ptr<QLockFile> lock_;
  std::unique_ptr<LocalListener> server_;
  std::function<QString(const Command&)> check_;
};

// Where the lock and the socket may live.
struct InstancePlaces {
  QString runtimeDir;   // $XDG_RUNTIME_DIR, may be empty
  QString tempDir;      // the temporary folder: <tempDir>/quillatorne-<uid>
  QString fallbackDir;  // a folder of the user's own, when the temporary one is not safe
  UserId uid = 0;
};
// The runtime folder when it is a private folder of this user; else the per-user folder in
// the temporary folder, made when missing. A folder that another user made, that others
// can enter, or that is a link is never used: then the fallback folder. Empty, with
// `error` naming the folders, when none is safe; `warning` says when one was passed over.
QString ChooseInstanceDirectory(const InstancePlaces& places, QString* warning, QString* error);
// The rule above for this user and environment.
QString InstanceDirectory(QString* warning, QString* error);
