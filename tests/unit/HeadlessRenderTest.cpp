#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include "TestJpeg.h"
#include "app/HeadlessRender.h"
#include "settings/Config.h"
#include "support/Fakes.h"
#include "support/TempHome.h"
#include "wallpaper/BmpWriter.h"
#include "wallpaper/Compose.h"

namespace {
class HeadlessRender : public ::testing::Test {
 protected:
  void SetUp() override { config.WallpaperConfig.ShowImage = true; }
  // As a render run has them.
  RenderResult Render(const QString& image, QSize size) {
    return ComposeForRender(config, services, image, size);
  }
  Services services = RenderServices(QSize(320, 200));
  Config config{QSize(320, 200)};
  TempHome home;
};

TEST_F(HeadlessRender, ComposesAsAScreenOfTheRenderedSize) {
  const QString picture = home.path() + "/p.jpg";
  ASSERT_TRUE(WriteTestJpeg(picture, Flat(160, 100, 0xFFFF0000)));
  // Unscaled placement measures against the screen: with the screen the render's size,
  // the picture keeps its natural size, centred.
  config.WallpaperConfig.StretchToFit = false;
  config.CalendarConfig.ShowCalendar = false;
  const RenderResult result = Render(picture, QSize(320, 200));
  ASSERT_TRUE(result.image) << result.error.toStdString();
  EXPECT_TRUE(result.error.isEmpty());
  EXPECT_EQ(result.image->size(), QSize(320, 200));
  EXPECT_TRUE(Near(result.image->pixel(160, 100), 0xFFFF0000));
  EXPECT_FALSE(Near(result.image->pixel(20, 20), 0xFFFF0000));
}

TEST_F(HeadlessRender, AMissingOrBrokenPictureGivesTheBoxsTextAndNoPicture) {
  RenderResult missing = Render(home.path() + "/gone.jpg", QSize(320, 200));
  EXPECT_FALSE(missing.image);
  EXPECT_EQ(missing.error, "Quillatorne could not find the image:\n\n" + home.path() +
                               "/gone.jpg\n\n Please either select an image or switch off the "
                               "Show Image option.");
  EXPECT_TRUE(Render(QString(), QSize(320, 200)).error.startsWith("There is no image selected."));

  const QString broken = home.write("broken.jpg", "not a picture at all");
  const RenderResult decode = Render(broken, QSize(320, 200));
  EXPECT_FALSE(decode.image);
  EXPECT_FALSE(decode.error.isEmpty());
}

TEST_F(HeadlessRender, WritesBmpOrPngByTheExtension) {
  QImage picture(7, 5, QImage::Format_RGB32);
  picture.fill(qRgb(10, 200, 30));
  for (const char* name : {"/out.bmp", "/out.PNG"}) {
    const QString file = home.path() + name;
    ASSERT_EQ(WriteRenderedFile(picture, file), QString()) << name;
    QImageReader reader(file);
    EXPECT_EQ(reader.format(), QByteArray(name).endsWith("bmp") ? "bmp" : "png");
    const QImage back = reader.read();
    EXPECT_EQ(back.size(), QSize(7, 5));
    EXPECT_EQ(back.pixel(3, 2) & 0xFFFFFF, 0x0AC81Eu);
  }
  const QString nowhere = home.path() + "/no/such/folder/out.png";
  EXPECT_TRUE(WriteRenderedFile(picture, nowhere).contains(nowhere));
}

TEST_F(HeadlessRender, WithoutASizeTheCurrentWallpaperFilesSizeIsUsed) {
  EXPECT_EQ(DefaultRenderSize(), QSize(1920, 1080));
  QImage current(640, 360, QImage::Format_RGB32);
  current.fill(Qt::black);
  WriteBmpFile(current, WallpaperFilePath());
  EXPECT_EQ(DefaultRenderSize(), QSize(640, 360));
}
}  // namespace

// The render replaces what is at the path: a link is replaced, never written through, in
// both formats; a FIFO or a folder in the way is refused and left as it was.
TEST_F(HeadlessRender, ReplacesALinkAndRefusesWhatIsNoFile) {
  QImage picture(4, 3, QImage::Format_RGB32);
  picture.fill(qRgb(200, 10, 10));
  for (const char* suffix : {".bmp", ".png"}) {
    const QString target = home.write(QStringLiteral("precious") + suffix, "keep me");
    const QString link = home.path() + "/out" + suffix;
    ASSERT_TRUE(QFile::link(target, link));
    EXPECT_EQ(WriteRenderedFile(picture, link), QString()) << suffix;
    EXPECT_FALSE(QFileInfo(link).isSymLink()) << suffix;
    EXPECT_EQ(QImage(link).size(), QSize(4, 3)) << suffix;
    QFile kept(target);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "keep me") << suffix;

    const QString fifo = home.path() + "/fifo" + suffix;
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_TRUE(WriteRenderedFile(picture, fifo).contains("not a regular file")) << suffix;
    struct stat st = {};
    ASSERT_EQ(::lstat(QFile::encodeName(fifo).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << suffix;
    const QString folder = home.path() + "/folder" + suffix;
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_FALSE(WriteRenderedFile(picture, folder).isEmpty()) << suffix;
    EXPECT_TRUE(QFileInfo(folder).isDir()) << suffix;
  }
  // Nothing left behind: no temporary files beside the outputs.
  EXPECT_TRUE(QDir(home.path()).entryList({"*.??????"}, QDir::Files).isEmpty());
}
