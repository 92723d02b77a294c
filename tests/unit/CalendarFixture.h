#pragma once
// Shared set-up for the calendar tests: fake clock, fresh settings for a 1024 x 768
// screen, and small pixel helpers.
#include <gtest/gtest.h>

#include <QImage>
#include <QPoint>
#include <set>
#include <utility>

#include "calendar/Names.h"
#include "settings/Config.h"
#include "support/Fakes.h"

class CalendarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fakes.config = Config(QSize(1024, 768));
    SetCalendarLocale(std::nullopt);
  }
  void TearDown() override {
    fakes.config = Config(QSize(1024, 768));
    SetCalendarLocale(std::nullopt);
  }
  void SetToday(const QDate& d) { fakes.clock.now = QDateTime(d, QTime(10, 0)); }
  CalendarConfigT& Cal() { return fakes.config.CalendarConfig; }

  FakeServices fakes;
};

constexpr QRgb kBackground = 0xFF808080;

inline QImage GreyCanvas(int w = 1024, int h = 768) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(kBackground);
  return img;
}

// 0x00BBGGRR as the QRgb an RGB32 image holds.
inline QRgb RgbOf(Color c) { return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

inline QRgb At(const QImage& img, int x, int y) { return img.pixel(x, y) | 0xFF000000; }

inline QList<QPoint> PixelsOf(const QImage& img, QRgb color) {
  QList<QPoint> out;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (At(img, x, y) == (color | 0xFF000000)) out << QPoint(x, y);
  return out;
}

struct PointLess {
  bool operator()(const QPoint& a, const QPoint& b) const {
    return std::pair(a.x(), a.y()) < std::pair(b.x(), b.y());
  }
};
using PointSet = std::set<QPoint, PointLess>;
