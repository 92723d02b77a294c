#pragma once
#include "platform/Services.h"

class SystemClock : public IClock {
 public:
  QDateTime Now() const override;
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
  bool InstallWallpaper(const QString& bmpPath, const QImage& image, QString* error) override;
  bool ShellOpen(const QString& target) override;
  void PlaySound(const QString& file) override;
};

class QtMessageBoxes : public IMessageBoxes {
 public:
  int Show(const QString& text, const QString& caption, unsigned flags) override;
};
