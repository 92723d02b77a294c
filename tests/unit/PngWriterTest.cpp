#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <QtEndian>
#include <stdexcept>

#include "TestJpeg.h"
#include "platform/WallpaperInstaller.h"
#include "settings/Config.h"
#include "support/Fakes.h"
#include "wallpaper/Compose.h"
#include "wallpaper/BmpWriter.h"
#include "wallpaper/PngWriter.h"

using ::testing::HasSubstr;

namespace {
// Every pixel unlike its neighbours, so a shifted, dropped or doubled byte shows.
QImage Noise(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  uint32_t seed = 2463534242u;
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) {
      seed ^= seed << 13;
      seed ^= seed >> 17;
      seed ^= seed << 5;
      row[x] = 0xFF000000u | (seed & 0xFFFFFFu);
    }
  }
  return image;
}

// The file as gdk-pixbuf (the loader of the GNOME family's desktops) reads it, by way of
// gdk-pixbuf-pixdata, which writes the decoded pixels out raw.
QImage ThroughGdkPixbuf(const QString& png, const QString& scratch) {
  const QString out = scratch + "/decoded.pixdata";
  if (QProcess::execute("gdk-pixbuf-pixdata", {png, out}) != 0) return QImage();
  QFile f(out);
  if (!f.open(QIODevice::ReadOnly)) return QImage();
  const QByteArray d = f.readAll();
  if (d.size() < 24 || !d.startsWith("GdkP")) return QImage();
  const auto u32 = [&](int at) { return qFromBigEndian<quint32>(d.constData() + at); };
  const quint32 type = u32(8), stride = u32(12), width = u32(16), height = u32(20);
  // Raw encoding, 8-bit samples, RGB without alpha.
  if (type != 0x01010001u || d.size() < qsizetype(24 + stride * height)) return QImage();
  QImage image(int(width), int(height), QImage::Format_RGB32);
  for (quint32 y = 0; y < height; ++y) {
    const auto* in = reinterpret_cast<const uchar*>(d.constData() + 24 + y * stride);
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(int(y)));
    for (quint32 x = 0; x < width; ++x, in += 3) row[x] = qRgb(in[0], in[1], in[2]);
  }
  return image;
}

struct SizeCase {
  const char* name;
  int width, height;
};
class PngWriter : public ::testing::TestWithParam<SizeCase> {
 protected:
  QTemporaryDir dir_;
};

// Both wallpaper files, the PNG copy (chunks written on two threads) and the BMP (chunks of
// rows from the bottom up), read back as the picture to the pixel.
TEST_P(PngWriter, BothFilesDecodeToExactlyThePicture) {
  const SizeCase& c = GetParam();
  const QImage picture = Noise(c.width, c.height);
  const struct {
    void (*write)(const QImage&, const QString&);
    const char* name;
    const char* format;
  } kFiles[] = {{WritePngFile, "copy.png", "PNG"}, {WriteBmpFile, "wallpaper.bmp", "BMP"}};
  for (const auto& f : kFiles) {
    SCOPED_TRACE(f.format);
    const QString path = dir_.path() + "/" + f.name;
    f.write(picture, path);
    const QImage decoded(path, f.format);
    ASSERT_FALSE(decoded.isNull());
    EXPECT_FALSE(decoded.hasAlphaChannel());
    EXPECT_EQ(decoded.convertToFormat(QImage::Format_RGB32), picture);
    EXPECT_THAT(QDir(dir_.path()).entryList(QDir::Files), ::testing::Contains(f.name));
  }
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files).size(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, PngWriter,
    ::testing::Values(SizeCase{"OnePixel", 1, 1}, SizeCase{"Small", 7, 3},
                      // a row of exactly one stored block, and one byte over it
                      SizeCase{"RowFillsOneBlock", 21844, 2}, SizeCase{"RowOneByteOver", 21845, 2},
                      // several chunks of rows, the last one short; an odd count of them
                      SizeCase{"SeveralChunks", 1001, 1050}, SizeCase{"OddChunks", 1001, 1500}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PngWriterInput, AnImageWithAlphaIsWrittenOpaqueAsTheBmpIs) {
  QTemporaryDir dir;
  QImage picture = Noise(9, 4).convertToFormat(QImage::Format_ARGB32);
  picture.setPixel(2, 1, qRgba(10, 20, 30, 0));
  const QString path = dir.path() + "/copy.png";
  WritePngFile(picture, path);
  EXPECT_EQ(QImage(path, "PNG").convertToFormat(QImage::Format_RGB32),
            picture.convertToFormat(QImage::Format_RGB32));
}

TEST(PngWriterInput, FailuresThrowAndNameTheFile) {
  QTemporaryDir dir;
  const QString path = dir.path() + "/missing/copy.png";
  try {
    WritePngFile(Noise(4, 4), path);
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_THAT(e.what(), HasSubstr(path.toStdString()));
  }
  EXPECT_THROW(WritePngFile(QImage(), dir.path() + "/empty.png"), std::runtime_error);
}

// The copy a GNOME desktop is handed, of a real composition: photo, glass and the calendar's
// one-pixel lines, read back by the desktop's own loader.
TEST(PngCopy, TheGnomeCopyIsTheComposedWallpaperPixelForPixel) {
  FakeServices fakes;
  fakes.desktop.screen = QSize(1366, 768);
  fakes.config = Config(fakes.desktop.screen);
  QTemporaryDir dir;
  const QString jpeg = dir.path() + "/photo.jpg";
  ASSERT_TRUE(WriteTestJpeg(jpeg, Noise(1600, 1000), JpegKind::Colour420));
  ASSERT_TRUE(fakes.config.CalendarConfig.ShowCalendar);
  const ComposeResult composed =
      ComposeWallpaper(jpeg, 1366, 768, fakes.config, fakes.desktop.screen, fakes.clock.now.date());
  ASSERT_TRUE(composed.bitmap);
  const QImage& picture = *composed.bitmap;

  const QString bmp = dir.path() + "/Quillatorne.bmp";
  QFile(bmp).open(QIODevice::WriteOnly);
  InstallerMachine machine;
  machine.env = QProcessEnvironment();
  machine.env.insert("XDG_CURRENT_DESKTOP", "GNOME");
  QString uri;
  machine.run = [&](const QString&, const QStringList& args, QString*, QString*) {
    if (args.value(2) == "picture-uri") uri = args.value(3);
    return true;
  };
  machine.setRootPixmap = [](const QImage&, QString*) { return false; };
  QString error;
  ASSERT_TRUE(InstallWallpaperOn(machine, bmp, picture, &error)) << error.toStdString();
  const QString copy = QUrl(uri).toLocalFile();
  ASSERT_TRUE(copy.endsWith(".png"));

  EXPECT_EQ(QImage(copy, "PNG").convertToFormat(QImage::Format_RGB32), picture);
  const QImage byDesktop = ThroughGdkPixbuf(copy, dir.path());
  ASSERT_FALSE(byDesktop.isNull()) << "gdk-pixbuf could not read the copy";
  EXPECT_EQ(byDesktop, picture);
  fakes.config = Config(QSize(1024, 768));
}
}  // namespace
