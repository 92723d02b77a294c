#pragma once
// Stand-ins for the machine: a clock the test moves, a scripted random source, a desktop
// that records, message boxes that answer as told.
#include <QList>
#include <QStringList>
#include <functional>

#include "platform/DesktopNotifications.h"
#include "platform/Services.h"

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
  bool installResult = true;
  bool keepsWallpaper = true;
  QStringList installed;  // bmp paths handed to InstallWallpaper
  QStringList opened;
  QStringList sounds;
  QSize ScreenSize() const override { return screen; }
  bool InstallWallpaper(const QString& bmpPath, const QImage&, QString* error) override;
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

// Installs fakes into Svc() for the life of the object.
class FakeServices {
 public:
  FakeServices();
  ~FakeServices();
  FakeClock clock;
  FakeRandom random;
  FakeDesktop desktop;
  FakeMessageBoxes messages;
  FakeNotifications notifications;

 private:
  Services saved_;
};
