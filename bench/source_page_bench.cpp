// How long the source page takes to show a folder's picture list and the preview of a
// large photo, and how long the user-interface thread goes without answering meanwhile.
//
//   source_page_bench <folder holding the photo>      (Release build: make bench)
//
// A 16 MB progressive photo for it:
//   convert -size 6000x4000 xc: +noise Random -blur 0x0.9 -quality 92 big.jpg
//   jpegtran -progressive -optimize big.jpg > folder/photo.jpg
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

#include "pages/TFrameWallpaperSource.h"
#include "platform/Services.h"
#include "settings/Config.h"
#include "wallpaper/JpegDecoder.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc < 2 || !QFileInfo(QString::fromLocal8Bit(argv[1])).isDir()) {
    std::fprintf(stderr, "usage: %s <folder holding JPEG photos>\n", argv[0]);
    return 2;
  }
  Services services = ProductionServices();
  const QString folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
  Config config;
  config.WallpaperConfig.Paths = {folder};

  TFrameWallpaperSource page(config, services);
  page.resize(454, 322);
  page.show();

  // The longest the event loop goes without running a 1 ms timer: what a click would wait.
  qint64 longestStall = 0;
  QElapsedTimer sinceTick;
  QTimer probe;
  probe.setInterval(1);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    longestStall = std::max(longestStall, sinceTick.elapsed());
    sinceTick.restart();
  });

  QElapsedTimer clock;
  clock.start();
  page.LoadFromConfig();
  const qint64 listed = clock.elapsed();
  if (page.ui.List_ImageList->count() == 0) {
    std::fprintf(stderr, "no .jpg in %s\n", qPrintable(folder));
    return 2;
  }
  const QString photo = folder + QLatin1Char('/') + page.ui.List_ImageList->currentItem()->text();

  qint64 previewed = -1;
  QObject::connect(page.decoder, &PreviewDecoder::Ready, [&] {
    previewed = clock.elapsed();
    QTimer::singleShot(0, &app, &QApplication::quit);
  });
  QObject::connect(page.decoder, &PreviewDecoder::Failed, [&](const QString&, const QString& e) {
    std::fprintf(stderr, "decode failed: %s\n", qPrintable(e));
    app.quit();
  });
  sinceTick.start();
  probe.start();
  app.exec();

  JpegDecoder header(photo);
  const QSize full = header.size();
  const QSize panel = page.ui.Panel_Preview->size() - QSize(6, 8);
  std::printf("photo: %s, %lld bytes, %d x %d\n", qPrintable(QFileInfo(photo).fileName()),
              static_cast<long long>(QFileInfo(photo).size()), full.width(), full.height());
  std::printf("preview box %d x %d, decoded at %d/8 scale\n", panel.width(), panel.height(),
              JpegScaleEighths(full, page.ui.Image_Preview->size()));
  std::printf("list shown after       %6lld ms\n", static_cast<long long>(listed));
  std::printf("preview shown after    %6lld ms (50 ms of it the click timer)\n",
              static_cast<long long>(previewed));
  std::printf("longest UI stall while decoding %4lld ms\n", static_cast<long long>(longestStall));
  return previewed >= 0 ? 0 : 1;
}
