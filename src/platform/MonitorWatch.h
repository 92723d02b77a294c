#pragma once
// Tells when the monitors have changed: one added or removed, turned, or given another
// resolution or scale. Docking sends a burst of such changes; they are told once, when the
// burst has been quiet for a moment.
#include <QObject>
#include <QProcess>
#include <QTimer>

class QScreen;

class MonitorWatch : public QObject {
  Q_OBJECT
 public:
  // Quiet time that ends a burst.
  static constexpr int kSettleMs = 1000;
  explicit MonitorWatch(QObject* parent = nullptr);
  ~MonitorWatch() override;

 signals:
  void changed();

 private:
  void Watch(QScreen* screen);
  void Changing();
  QTimer settle_;
  QProcess swayEvents_;  // sway's output events, which Qt misses for a new scale
};
