#pragma once
// How a test gets its settings and its fakes: one FakeServices holds a settings record
// (`config`) and a record of every service (`services`: clock, random source, desktop,
// message boxes, keyring, mail client), each a fake the test drives. The test sets what it
// needs and passes `config` and `services` to the code under test, as the main window does
// with the real ones; nothing is installed anywhere, so nothing needs putting back.
// FakeMainStore adds the settings store, loaded and saved as the program does.
#include <QList>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "platform/DesktopNotifications.h"
#include "platform/Services.h"
#include "settings/Config.h"
#include "settings/PasswordKeeper.h"
#include "settings/RegistryStore.h"
#include "support/FakeKeyring.h"

class FakeClock : public IClock {
 public:
  QDateTime now = QDateTime(QDate(2026, 3, 15), QTime(10, 0));
  qint64 elapsedMs = 1000000;
  QDateTime Now() const override { return now; }
  qint64 ElapsedMs() const override { return elapsedMs; }
  // Time passes: the wall clock (in its zone, so across daylight saving) and the elapsed time.
  void Advance(qint64 seconds) {
    now = now.addSecs(seconds);
    elapsedMs += seconds * 1000;
  }
};

class FakeRandom : public IRandom {
 public:
  QList<int> values;  // handed out in order; 0 once used up
  uint32_t seed = 0;
  void Seed(uint32_t s) override { seed = s; }
  int Next() override { return values.isEmpty() ? 0 : values.takeFirst(); }
};

class FakeDesktop : public IDesktop {
 public:
  QSize screen = QSize(1024, 768);
  MonitorList monitors;  // none: the screen alone
  bool installResult = true;
  bool keepsWallpaper = true;
  QStringList installed;  // bmp paths handed to InstallWallpaper
  QStringList opened;
  QStringList sounds;
  QList<QList<MonitorPicture>> installedPictures;  // each InstallWallpapers call
  QSize ScreenSize() const override {
    return monitors.isEmpty() ? screen : PrimaryMonitor(monitors).rect.size();
  }
  MonitorList Monitors() const override {
    return monitors.isEmpty() ? IDesktop::Monitors() : monitors;
  }
  bool InstallWallpaper(const QString& bmpPath, const QImage&, QString* error) override;
  // Also counts as the primary's picture handed to InstallWallpaper.
  bool InstallWallpapers(const QList<MonitorPicture>& pictures, QString* error) override {
    installedPictures << pictures;
    return IDesktop::InstallWallpapers(pictures, error);
  }
  bool KeepsWallpaper() const override { return keepsWallpaper; }
  bool ShellOpen(const QString& target) override {
    opened << target;
    return true;
  }
  void PlaySound(const QString& file) override { sounds << file; }
};

class FakeMessageBoxes : public IMessageBoxes {
 public:
  struct Call {
    QString text;
    QString caption;
    unsigned flags;
  };
  QList<Call> calls;
  // Answers each box; by default the first button (IDOK or IDYES).
  std::function<int(const Call&)> answer;
  int Show(const QString& text, const QString& caption, unsigned flags) override;
};

// A notification centre that keeps what it is sent; the test answers in the user's place.
class FakeNotifications : public INotifications {
 public:
  struct Entry {
    quint64 handle;
    DesktopNotification notification;
  };
  bool available = true;
  QList<Entry> shown;     // still on screen
  QList<quint64> closed;  // withdrawn by the program
  bool Available() const override { return available; }
  quint64 Notify(const DesktopNotification& n) override;
  void Close(quint64 handle) override;
  // The user chose an action: the action, then the notification goes.
  void Invoke(quint64 handle, const QString& key);
  const Entry* Find(const QString& summary) const;

 private:
  quint64 next_ = 1;
};

// A test's settings and services. Each is a run of its own: keyring answers still on their
// way when it ends are dropped.
class FakeServices {
 public:
  FakeServices();
  ~FakeServices();
  FakeServices(const FakeServices&) = delete;
  FakeServices& operator=(const FakeServices&) = delete;
  FakeClock clock;
  FakeRandom random;
  FakeDesktop desktop;
  FakeMessageBoxes messages;
  FakeNotifications notifications;
  FakeKeyring keyring;  // not available (no Secret Service) until the test says so
  // The records handed to the code under test. services.mailClient is empty: the real POP3
  // client, which tests point at a server of their own.
  Services services{&clock, &random, &desktop, &messages, &keyring, &notifications};
  Config config{desktop.screen};
  // The run's password keeper, on services.keyring, handed down as services.passwords.
  std::unique_ptr<PasswordKeeper> passwords;
  // A new run of the program: a new keeper on services.keyring (the one it has now), which
  // knows nothing of the last; answers to the last one are dropped.
  PasswordKeeper& NewRun();
};

// The program's settings store as a test opens it: on a backend the test keeps, loaded and
// saved with the test's record and keyring as the main window does.
class FakeMainStore {
 public:
  explicit FakeMainStore(FakeServices& fakes) : fakes_(fakes) {}
  void Open(IRegistryBackend& backend);
  RegistryStore& get() { return *store_; }
  void Load();
  bool Save();
  // A new run of the program: an empty record, a new password keeper, the store loaded.
  void LoadAsNewRun();

 private:
  FakeServices& fakes_;
  std::optional<RegistryStore> store_;
};
