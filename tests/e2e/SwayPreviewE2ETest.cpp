// The preview on a scale-2 output of sway: composed at the output's own pixels, so what sway
// shows is, pixel for pixel, the wallpaper drawn at twice the preview's size.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "support/E2E.h"
#include "support/SwaySession.h"
#include "unit/TestJpeg.h"

namespace {
const QString kPreview = QStringLiteral("Preview (click image to close)");

// Fine detail, which a preview drawn small and enlarged loses.
QImage Detailed(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.setPixel(x, y, ((x / 2 + y / 2) % 2) ? qRgb(230, 200, 40) : qRgb(20, 40, 120));
  return image;
}


QRect Rect(const QJsonObject& r) {
  return QRect(r["x"].toInt(), r["y"].toInt(), r["width"].toInt(), r["height"].toInt());
}
}  // namespace

TEST(SwayPreviewE2E, OnAScaleTwoOutputThePreviewIsComposedAtItsPixels) {
  SwaySession session(1, QStringLiteral("output HEADLESS-1 resolution 2560x1440 scale 2"));
  if (!session.ok()) GTEST_SKIP() << session.why();
  const QString folder = session.home() + "/Pictures";
  QDir().mkpath(folder);
  ASSERT_TRUE(WriteTestJpeg(folder + "/fine.jpg", Detailed(1280, 960)));
  QDir().mkpath(session.home() + "/.config/Quillatorne");
  {
    // The calendar on, the picture selected.
    QByteArray settings = FolderSettings({folder});
    settings.replace("\"ShowCalendar\"=dword:00000000", "\"ShowCalendar\"=dword:00000001");
    settings.replace("\"ChangeRule\"", "\"SelFile\"=\"fine.jpg\"\n\"ChangeRule\"");
    QFile f(session.home() + "/.config/Quillatorne/settings.reg");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(settings);
  }
  session.GiveToUser(session.home());

  // The wallpaper drawn at 1280 x 960 with the same settings, by the program itself.
  const QString reference = session.dir() + "/reference.png";
  ASSERT_TRUE(session.Run({QStringLiteral("ASAN_OPTIONS=detect_leaks=0"),
                           QStringLiteral(QUILLATORNE_BINARY), QStringLiteral("--render"),
                           reference, QStringLiteral("--size"), QStringLiteral("1280x960"),
                           QStringLiteral("--image"), folder + "/fine.jpg"}));
  const QImage expected(reference);
  ASSERT_EQ(expected.size(), QSize(1280, 960));

  SwayProgram program(session);
  program.addEnv(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"));
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(program.WaitForListening()) << qPrintable(program.Log().right(3000));
  ASSERT_TRUE(program.ShowWindow());
  ASSERT_TRUE(WaitUntil(
      [&] {
        return session
            .Run({QStringLiteral("/usr/bin/python3"),
                  QStringLiteral(QUILLATORNE_SOURCE_DIR "/tests/e2e/atspi_driver.py"),
                  QStringLiteral("act"), QStringLiteral("Preview"), QStringLiteral("Quillatorne")})
            .has_value();
      },
      30000));
  QJsonObject view;
  ASSERT_TRUE(WaitUntil(
      [&] {
        view = SwaySession::FindView(session.Tree(), kPreview);
        return !view.isEmpty() && Rect(view["window_rect"].toObject()).width() > 0;
      },
      30000))
      << qPrintable(program.Log().right(3000));
  // The window's inside, in the output's pixels.
  const QRect inner =
      Rect(view["window_rect"].toObject()).translated(Rect(view["rect"].toObject()).topLeft());
  // sway's title bar over it, and no frame of the toolkit's inside.
  EXPECT_EQ(view["border"].toString(), QStringLiteral("normal"));
  EXPECT_EQ(inner.size(), QSize(640, 480));
  QImage shown;
  double share = 1.0;
  // Until the preview has been drawn.
  WaitUntil(
      [&] {
        shown = session.Screenshot(QStringLiteral("HEADLESS-1"))
                    .copy(QRect(inner.topLeft() * 2, inner.size() * 2));
        share = DifferingShare(shown, expected);
        return share < 0.001;
      },
      20000);
  EXPECT_LT(share, 0.001) << "the preview differs from the 1280 x 960 wallpaper in " << share * 100
                          << "% of its pixels";
}
