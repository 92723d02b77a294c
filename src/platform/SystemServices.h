#pragma once
#include "platform/Services.h"

class SystemClock : public IClock {
 public:
  QDateTime Now() const override;
  qint64 ElapsedMs() const override;
};

// The classic C runtime generator: 15-bit results from a 32-bit linear congruence.
class MsvcRandom : public IRandom {
 public:
  void Seed(uint32_t seed) override { state_ = seed; }
  int Next() override;

 private:
  uint32_t state_ = 1;
};

class QtDesktop : public IDesktop {
 public:
  QSize ScreenSize() const override;
  // sway's outputs at their modes where sway runs, else Qt's screens.
  MonitorList Monitors() const override;
  bool InstallWallpaper(const QString& bmpPath, const QImage& image, QString* error) override;
  bool InstallWallpapers(const QList<MonitorPicture>& pictures, QString* error) override;
  bool KeepsWallpaper() const override;
  QRect AvailableArea() const override;
  bool ShellOpen(const QString& target) override;
  void PlaySound(const QString& file) override;
};

class QWidget;

// Each box is a child of the window it belongs to: the modal window or the active window of
// ours, else the main window while it shows. Compositors then keep the box over that window
// and hand the focus back to it. With none of ours active the box takes no focus from other
// programs.
class QtMessageBoxes : public IMessageBoxes {
 public:
  int Show(const QString& text, const QString& caption, unsigned flags) override;
  // The window that owns the boxes nothing else claims (the main window).
  static void setMainWindow(QWidget* window);
  // The window a box shown now would belong to; none when no window of ours shows.
  static QWidget* Owner();
};
