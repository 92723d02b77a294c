#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTransform>
#include <QtEndian>
#include <functional>

#include "TestJpeg.h"
#include "platform/DateTime.h"
#include "settings/Config.h"
#include "support/Fakes.h"
#include "support/TempHome.h"
#include "wallpaper/Compose.h"
#include "wallpaper/JpegDecoder.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {
constexpr QRgb kRed = 0xFFFF0000, kBlue = 0xFF0000FF, kGreen = 0xFF00C800, kWhite = 0xFFFFFFFF;

// Columns left of `split` red, the rest blue.
QImage Halves(int width, int height, int split) {
  QImage image = Flat(width, height, kBlue);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < split; ++x) image.setPixel(x, y, kRed);
  }
  return image;
}

class Compose : public ::testing::Test {
 protected:
  void SetUp() override {
    fakes_.desktop.screen = QSize(64, 48);
    fakes_.config = Config(fakes_.desktop.screen);
    auto& c = fakes_.config;
    // The calendar draws on the canvas; these tests look at the picture alone.
    c.CalendarConfig.ShowCalendar = false;
    c.WallpaperConfig.BackgroundColor = 0x00332211;  // red 0x11, green 0x22, blue 0x33
  }
  void TearDown() override { fakes_.config = Config(QSize(1024, 768)); }

  QString Jpeg(const QString& name, const QImage& image, JpegKind kind = JpegKind::Colour) {
    const QString path = home_.path() + "/" + name;
    EXPECT_TRUE(WriteTestJpeg(path, image, kind));
    return path;
  }
  void Mode(bool stretch, bool constrain) {
    fakes_.config.WallpaperConfig.StretchToFit = stretch;
    fakes_.config.WallpaperConfig.ConstrainProportions = constrain;
  }
  static QRgb Background() { return qRgb(0x11, 0x22, 0x33); }

  FakeServices fakes_;
  TempHome home_;
};
}  // namespace

// ---- Placement ---------------------------------------------------------------------------

struct PlaceCase {
  bool stretch, constrain;
  QSize image, canvas, screen;
  QSize drawn;
  QPoint position;
  bool resample;
};
class Placing : public Compose, public ::testing::WithParamInterface<PlaceCase> {};

TEST_P(Placing, GivesTheDrawnSizeAndTruncatedCentring) {
  const PlaceCase& c = GetParam();
  Mode(c.stretch, c.constrain);
  const Placement p = PlaceImage(c.image, c.canvas.width(), c.canvas.height(), c.screen,
                                 fakes_.config.WallpaperConfig);
  EXPECT_EQ(p.drawn, c.drawn);
  EXPECT_EQ(p.position, c.position);
  EXPECT_EQ(p.resample, c.resample);
}

const QSize kScreen(1024, 768);
INSTANTIATE_TEST_SUITE_P(
    Modes, Placing,
    ::testing::Values(
        // Natural size on a screen-sized canvas: exact fit, odd margin to the right, cropping.
        PlaceCase{false, true, {1024, 768}, kScreen, kScreen, {1024, 768}, {0, 0}, false},
        PlaceCase{false, false, {1023, 768}, kScreen, kScreen, {1023, 768}, {0, 0}, false},
        PlaceCase{false, true, {1027, 771}, kScreen, kScreen, {1027, 771}, {-1, -1}, false},
        PlaceCase{false, true, {200, 101}, kScreen, kScreen, {200, 101}, {412, 333}, false},
        // The preview shows the same share of a smaller canvas.
        PlaceCase{false, true, {1280, 1024}, {640, 480}, {1280, 1024}, {640, 480}, {0, 0}, true},
        PlaceCase{false, true, {1000, 300}, {640, 480}, {1280, 1024}, {500, 140}, {70, 170}, true},
        // Fit inside, enlarging too, centred.
        PlaceCase{true, true, {400, 300}, kScreen, kScreen, {1024, 768}, {0, 0}, true},
        PlaceCase{true, true, {1000, 500}, kScreen, kScreen, {1024, 512}, {0, 128}, true},
        PlaceCase{true, true, {333, 1000}, kScreen, kScreen, {255, 768}, {384, 0}, true},
        // Stretch over the whole canvas.
        PlaceCase{true, false, {333, 1000}, {640, 480}, kScreen, {640, 480}, {0, 0}, true}));

struct FitCase {
  int w, h, boxW, boxH, outW, outH;
};
class FitInsideOf : public ::testing::TestWithParam<FitCase> {};

TEST_P(FitInsideOf, TouchesTheBoxOnOneAxisInSinglePrecision) {
  const FitCase& c = GetParam();
  EXPECT_EQ(FitInside(c.w, c.h, c.boxW, c.boxH), QSize(c.outW, c.outH));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, FitInsideOf,
    ::testing::Values(FitCase{400, 300, 1024, 768, 1024, 768},
                      FitCase{1000, 750, 1280, 1024, 1280, 960},
                      FitCase{1920, 1080, 1920, 1080, 1920, 1080},
                      // Single-precision ratio: double precision would give 1080.
                      FitCase{100, 4416, 1920, 1080, 24, 1079}, FitCase{0, 100, 640, 480, 0, 0},
                      FitCase{100, 100, 0, 480, 0, 0}));

// ---- The composed canvas -----------------------------------------------------------------

// A composition is a function of what it is given: the calendar is that of the day passed
// in, whatever the clock says.
TEST_F(Compose, TheCalendarDrawnIsThatOfTheDayGiven) {
  fakes_.config.CalendarConfig.ShowCalendar = true;
  fakes_.config.WallpaperConfig.ShowImage = false;
  const QSize screen(1024, 768);
  const auto compose = [&](const QDate& day) {
    return ComposeWallpaper(QString(), 1024, 768, fakes_.config, screen, day).bitmap;
  };
  const auto march = compose(QDate(2026, 3, 15));
  fakes_.clock.Advance(40 * 24 * 3600);
  const auto marchAgain = compose(QDate(2026, 3, 15));
  const auto april = compose(QDate(2026, 4, 15));
  ASSERT_TRUE(march && marchAgain && april);
  EXPECT_EQ(*march, *marchAgain);
  EXPECT_NE(*march, *april);
}

TEST_F(Compose, ASmallImageStandsCentredInTheBackgroundWithTheOddPixelRight) {
  Mode(false, true);
  fakes_.desktop.screen = QSize(63, 41);
  const auto canvas = ComposeWallpaper(Jpeg("g.jpg", Flat(16, 16, kGreen)), 63, 41, fakes_.config,
                                       fakes_.desktop.screen, fakes_.clock.now.date())
                          .bitmap;
  ASSERT_TRUE(canvas);
  ASSERT_EQ(canvas->size(), QSize(63, 41));
  // x = (63 - 16) / 2 = 23, y = (41 - 16) / 2 = 12.
  EXPECT_EQ(canvas->pixel(22, 20), Background());
  EXPECT_TRUE(Near(canvas->pixel(23, 12), kGreen));
  EXPECT_TRUE(Near(canvas->pixel(38, 27), kGreen));
  EXPECT_EQ(canvas->pixel(39, 20), Background());
  EXPECT_EQ(canvas->pixel(30, 28), Background());
  EXPECT_EQ(canvas->pixel(30, 11), Background());
}

struct ResampleCase {
  const char* name;
  bool stretch, constrain;
  QSize screen, canvas;
  QSize picture = QSize(1200, 1000);
  JpegKind kind = JpegKind::Colour420;
};
class ComposeInBands : public Compose,
                                public ::testing::WithParamInterface<ResampleCase> {};

// A picture is decoded and shrunk or enlarged straight into the canvas, in bands on two
// threads (a progressive one by one decoder feeding the other thread); the result must be the
// plain composition: background, the whole decode resampled and placed, glass, calendar.
TEST_P(ComposeInBands, GivesThePlainComposition) {
  const ResampleCase& c = GetParam();
  Mode(c.stretch, c.constrain);
  fakes_.desktop.screen = c.screen;
  fakes_.config.CalendarConfig.ShowCalendar = true;
  fakes_.config.CalendarConfig.DrawGlass = true;
  const QString path = Jpeg("busy.jpg", Busy(c.picture.width(), c.picture.height()), c.kind);
  const int width = c.canvas.width(), height = c.canvas.height();

  const Placement place =
      PlaceImage(c.picture, width, height, c.screen, fakes_.config.WallpaperConfig);
  ASSERT_TRUE(place.resample);
  QImage plain = Flat(width, height, Background());
  QImage image = ResampleHalftone(JpegDecoder(path).Decode(place.drawn), place.drawn.width(),
                                  place.drawn.height());
  DarkenGlassArea(image, CalendarRect(width, height, fakes_.config, fakes_.clock.now.date()), width,
                  height);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x)
      plain.setPixel(place.position.x() + x, place.position.y() + y, image.pixel(x, y));
  }
  DrawCalendar(plain, width, height, fakes_.config, fakes_.clock.now.date());

  const auto composed = ComposeWallpaper(path, width, height, fakes_.config, fakes_.desktop.screen,
                                         fakes_.clock.now.date())
                            .bitmap;
  ASSERT_TRUE(composed);
  EXPECT_EQ(*composed, plain);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ComposeInBands,
    ::testing::Values(
        ResampleCase{"ShrinkFit", true, true, {800, 600}, {800, 600}},
        ResampleCase{"ShrinkStretch", true, false, {800, 600}, {800, 600}},
        ResampleCase{"ShrinkUnscaledPreview", false, true, {1600, 1200}, {800, 600}},
        ResampleCase{"ShrinkProgressive", true, true, {800, 600}, {800, 600}, {1200, 1000},
                     JpegKind::Progressive420},
        ResampleCase{"Shrink422", true, true, {800, 600}, {800, 600}, {1200, 1000},
                     JpegKind::Colour422},
        ResampleCase{"ShrinkGrey", true, true, {800, 600}, {800, 600}, {1200, 1000},
                     JpegKind::Grey},
        ResampleCase{"EnlargeFit", true, true, {800, 600}, {800, 600}, {300, 190}},
        ResampleCase{"EnlargeAcrossShrinkDown", true, false, {800, 600}, {800, 600}, {500, 900}},
        ResampleCase{"EnlargeProgressive", true, true, {800, 600}, {800, 600}, {300, 190},
                     JpegKind::Progressive420},
        ResampleCase{"Enlarge422", true, true, {800, 600}, {800, 600}, {300, 190},
                     JpegKind::Colour422},
        ResampleCase{"EnlargeGrey", true, false, {800, 600}, {800, 600}, {300, 190},
                     JpegKind::Grey},
        ResampleCase{"EnlargeUnscaledPreview", false, true, {400, 300}, {800, 600}, {350, 280}}),
    [](const auto& info) { return std::string(info.param.name); });

struct CropCase {
  int imageWidth;
  int firstBlueColumn;  // on a 64-pixel canvas, the image turning blue at its column 32
};
class Cropping : public Compose, public ::testing::WithParamInterface<CropCase> {};

TEST_P(Cropping, ALargerImageIsCroppedOnBothSidesTruncatingTowardZero) {
  Mode(false, false);
  const auto canvas =
      ComposeWallpaper(Jpeg("wide.jpg", Halves(GetParam().imageWidth, 48, 32)), 64, 48,
                       fakes_.config, fakes_.desktop.screen, fakes_.clock.now.date())
          .bitmap;
  ASSERT_TRUE(canvas);
  const int blue = GetParam().firstBlueColumn;
  EXPECT_TRUE(Near(canvas->pixel(blue - 1, 20), kRed)) << Qt::hex << canvas->pixel(blue - 1, 20);
  EXPECT_TRUE(Near(canvas->pixel(blue, 20), kBlue)) << Qt::hex << canvas->pixel(blue, 20);
  EXPECT_TRUE(Near(canvas->pixel(0, 0), kRed));
  EXPECT_TRUE(Near(canvas->pixel(63, 47), kBlue));
}

// (64 - 70) / 2 = -3; (64 - 71) / 2 = -3 as well (not -4): the extra pixel is cut on the right.
INSTANTIATE_TEST_SUITE_P(Widths, Cropping,
                         ::testing::Values(CropCase{64, 32}, CropCase{70, 29}, CropCase{71, 29}));

TEST_F(Compose, StretchingCoversTheWholeCanvas) {
  Mode(true, false);
  const auto canvas = ComposeWallpaper(Jpeg("g.jpg", Flat(16, 40, kGreen)), 64, 48, fakes_.config,
                                       fakes_.desktop.screen, fakes_.clock.now.date())
                          .bitmap;
  ASSERT_TRUE(canvas);
  for (QPoint p : {QPoint(0, 0), QPoint(63, 0), QPoint(0, 47), QPoint(63, 47), QPoint(32, 24)}) {
    EXPECT_TRUE(Near(canvas->pixel(p), kGreen)) << p.x() << "," << p.y();
  }
}

TEST_F(Compose, WithoutTheImageTheCanvasIsTheBackgroundAndThePathIsNotLookedAt) {
  fakes_.config.WallpaperConfig.ShowImage = false;
  const auto canvas = ComposeWallpaper(QString(), 20, 10, fakes_.config, fakes_.desktop.screen,
                                       fakes_.clock.now.date())
                          .bitmap;
  ASSERT_TRUE(canvas);
  EXPECT_EQ(*canvas, Flat(20, 10, Background()));
  EXPECT_THAT(fakes_.messages.calls, IsEmpty());

  ApplyWallpaper(home_.path() + "/nowhere.jpg", fakes_.config, fakes_.services);
  EXPECT_EQ(fakes_.config.ProgramConfig.LastImageFileName, home_.path() + "/nowhere.jpg");
  EXPECT_EQ(fakes_.desktop.installed.size(), 1);
}

TEST_F(Compose, AGreyscaleJpegComesOutInColourAndTakesTheGlass) {
  Mode(true, false);
  QImage grey = Flat(32, 32, qRgb(255, 255, 255));
  for (int y = 16; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) grey.setPixel(x, y, qRgb(100, 100, 100));
  }
  const QString path = Jpeg("grey.jpg", grey, JpegKind::Grey);
  JpegDecoder decoder(path);
  QImage decoded = decoder.Decode();
  EXPECT_EQ(decoded.format(), QImage::Format_RGB32);
  EXPECT_EQ(decoded.pixel(3, 3), kWhite);
  EXPECT_TRUE(Near(decoded.pixel(3, 20), qRgb(100, 100, 100), 1));
  EXPECT_EQ(qAlpha(decoded.pixel(3, 20)), 255);
  fakes_.config.CalendarConfig.ShowCalendar = true;
  DarkenGlassArea(decoded, CalendarBox{0, 0, 8, 8}, 32, 32);
  EXPECT_EQ(decoded.pixel(3, 3), qRgb(178, 178, 178));
  EXPECT_EQ(decoded.pixel(9, 3), kWhite);
}

TEST_F(Compose, InvertedCmykJpegsDecodeInColour) {
  const QString path = Jpeg("cmyk.jpg", Halves(32, 16, 16), JpegKind::InvertedCmyk);
  JpegDecoder decoder(path);
  const QImage image = decoder.Decode();
  EXPECT_TRUE(Near(image.pixel(2, 2), kRed)) << Qt::hex << image.pixel(2, 2);
  EXPECT_TRUE(Near(image.pixel(30, 2), kBlue)) << Qt::hex << image.pixel(30, 2);
}

TEST_F(Compose, ShrinkingAveragesTheSourcePixels) {
  QImage stripes(64, 4, QImage::Format_RGB32);
  for (int x = 0; x < 64; ++x) {
    for (int y = 0; y < 4; ++y) stripes.setPixel(x, y, x % 2 ? kWhite : 0xFF000000);
  }
  const QImage small = ResampleHalftone(stripes, 16, 1);
  ASSERT_EQ(small.size(), QSize(16, 1));
  EXPECT_TRUE(Near(small.pixel(8, 0), qRgb(128, 128, 128), 2)) << Qt::hex << small.pixel(8, 0);
  EXPECT_EQ(stripes.pixel(1, 0), kWhite);  // the source is left alone
}

// ---- Glass -------------------------------------------------------------------------------

TEST_F(Compose, GlassDarkensOnlyImagePixelsUnderTheCalendar) {
  fakes_.config.CalendarConfig.ShowCalendar = true;
  QImage image = Flat(100, 60, kWhite);
  // The image stands at (50, 20) on a 200 x 100 canvas; the calendar covers (30..79, 10..39).
  DarkenGlassArea(image, CalendarBox{30, 10, 80, 40}, 200, 100);
  const QRgb dark = qRgb(178, 178, 178);
  EXPECT_EQ(image.pixel(0, 0), dark);
  EXPECT_EQ(image.pixel(29, 19), dark);
  EXPECT_EQ(image.pixel(30, 0), kWhite);
  EXPECT_EQ(image.pixel(0, 20), kWhite);
  int darkened = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) darkened += image.pixel(x, y) == dark;
  }
  EXPECT_EQ(darkened, 30 * 20);
}

TEST_F(Compose, GlassTakesSeventyPercentDroppingTheFraction) {
  fakes_.config.CalendarConfig.ShowCalendar = true;
  const int values[] = {0, 1, 10, 99, 100, 200, 254, 255};
  const int expected[] = {0, 0, 7, 69, 70, 140, 177, 178};
  QImage image(8, 1, QImage::Format_RGB32);
  for (int i = 0; i < 8; ++i) image.setPixel(i, 0, qRgb(values[i], values[7 - i], values[i]));
  DarkenGlassArea(image, CalendarBox{0, 0, 8, 1}, 8, 1);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(qRed(image.pixel(i, 0)), expected[i]) << values[i];
    EXPECT_EQ(qGreen(image.pixel(i, 0)), expected[7 - i]) << values[7 - i];
    EXPECT_EQ(qBlue(image.pixel(i, 0)), expected[i]) << values[i];
  }
}

struct GlassFlags {
  bool showCalendar, showImage, drawGlass;
};
class GlassSwitches : public Compose, public ::testing::WithParamInterface<GlassFlags> {};

TEST_P(GlassSwitches, NeedCalendarImageAndGlassAllOn) {
  const GlassFlags& f = GetParam();
  fakes_.config.CalendarConfig.ShowCalendar = f.showCalendar;
  fakes_.config.WallpaperConfig.ShowImage = f.showImage;
  fakes_.config.CalendarConfig.DrawGlass = f.drawGlass;
  EXPECT_EQ(GlassOn(fakes_.config), f.showCalendar && f.showImage && f.drawGlass);
  // The darkening itself asks no switch: the composition asks GlassOn first.
  QImage image = Flat(10, 10, kWhite);
  DarkenGlassArea(image, CalendarBox{0, 0, 10, 10}, 10, 10);
  EXPECT_EQ(image.pixel(5, 5), qRgb(178, 178, 178));
}

INSTANTIATE_TEST_SUITE_P(Flags, GlassSwitches,
                         ::testing::Values(GlassFlags{true, true, true},
                                           GlassFlags{false, true, true},
                                           GlassFlags{true, false, true},
                                           GlassFlags{true, true, false}));

// ---- Missing and bad pictures ------------------------------------------------------------

TEST_F(Compose, AMissingImageIsReportedAndNothingIsInstalled) {
  struct Case {
    QString path;
    QString text;
  };
  const QString gone = home_.path() + "/gone.jpg";
  const QString tail = "\n\n Please either select an image or switch off the Show Image option.";
  for (const Case& c : {Case{QString(), "There is no image selected." + tail},
                        Case{gone, "Quillatorne could not find the image:\n\n" + gone + tail}}) {
    fakes_.messages.calls.clear();
    fakes_.config.DynamicConfig.LastSetTime = 12.5;
    fakes_.config.ProgramConfig.LastImageFileName = "/pictures/last.jpg";
    fakes_.config.ProgramConfig.LastDay = 14;
    fakes_.config.ProgramConfig.LastMonth = 3;
    fakes_.config.ProgramConfig.LastYear = 2026;
    fakes_.clock.Advance(3 * 24 * 3600);
    const WallpaperError error = ApplyWallpaper(c.path, fakes_.config, fakes_.services);
    EXPECT_EQ(error.kind, WallpaperError::MissingImage);
    EXPECT_EQ(error.message, c.text);
    EXPECT_THAT(fakes_.messages.calls, IsEmpty());  // the engine only says; the caller shows
    ShowWallpaperError(error, fakes_.messages);
    ASSERT_EQ(fakes_.messages.calls.size(), 1);
    EXPECT_EQ(fakes_.messages.calls[0].text, c.text);
    EXPECT_EQ(fakes_.messages.calls[0].caption, "Quillatorne Error");
    EXPECT_EQ(fakes_.messages.calls[0].flags, 16u);
    // Nothing was installed: the current picture and its date stay those drawn last.
    const auto& p = fakes_.config.ProgramConfig;
    EXPECT_EQ(p.LastImageFileName, "/pictures/last.jpg");
    EXPECT_EQ(QDate(p.LastYear, p.LastMonth, p.LastDay), QDate(2026, 3, 14));
    EXPECT_EQ(fakes_.config.DynamicConfig.LastSetTime, 12.5);
    EXPECT_THAT(fakes_.desktop.installed, IsEmpty());
    EXPECT_FALSE(QFile::exists(WallpaperFilePath()));
  }
}

namespace {
QByteArray ValidJpegBytes(const QString& path, JpegKind kind = JpegKind::Colour) {
  QImage noise(64, 64, QImage::Format_RGB32);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x)
      noise.setPixel(x, y, qRgb((x * 37 + y * 11) % 256, (x * y) % 256, (x + y * 53) % 256));
  }
  WriteTestJpeg(path, noise, kind);
  QFile f(path);
  f.open(QIODevice::ReadOnly);
  return f.readAll();
}

// The frame header's size changed to declare width x height.
QByteArray Declaring(QByteArray jpeg, quint16 width, quint16 height) {
  qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
  if (sof < 0) sof = jpeg.indexOf(QByteArray("\xFF\xC2", 2));  // progressive
  if (sof < 0) return QByteArray();
  qToBigEndian<quint16>(height, jpeg.data() + sof + 5);
  qToBigEndian<quint16>(width, jpeg.data() + sof + 7);
  return jpeg;
}
QByteArray Enormous(const QByteArray& jpeg) { return Declaring(jpeg, 30000, 30000); }
}  // namespace

struct BadCase {
  const char* name;
  std::function<QByteArray(const QByteArray& valid)> bytes;
  const char* says;
  JpegKind kind = JpegKind::Colour;
};
class BadFile : public Compose, public ::testing::WithParamInterface<BadCase> {};

TEST_P(BadFile, FailsWithAClearMessageAndWritesNothing) {
  const QByteArray valid = ValidJpegBytes(home_.path() + "/valid.jpg", GetParam().kind);
  ASSERT_GT(valid.size(), 1000);
  const QString path = home_.write(GetParam().name, GetParam().bytes(valid));
  fakes_.config.DynamicConfig.LastSetTime = 7.0;
  fakes_.config.ProgramConfig.LastImageFileName = "/pictures/last.jpg";
  fakes_.config.ProgramConfig.LastDay = 14;
  const WallpaperError error = ApplyWallpaper(path, fakes_.config, fakes_.services);
  EXPECT_EQ(error.kind, WallpaperError::Decode) << GetParam().name;
  EXPECT_EQ(error.path, path);
  EXPECT_THAT(error.message.toStdString(), HasSubstr(path.toStdString()));
  EXPECT_THAT(error.message.toStdString(), HasSubstr(GetParam().says));
  EXPECT_EQ(fakes_.config.ProgramConfig.LastImageFileName, "/pictures/last.jpg");
  EXPECT_EQ(fakes_.config.ProgramConfig.LastDay, 14);
  EXPECT_EQ(fakes_.config.DynamicConfig.LastSetTime, 7.0);
  EXPECT_THAT(fakes_.desktop.installed, IsEmpty());
  EXPECT_FALSE(QFile::exists(WallpaperFilePath()));
  EXPECT_THAT(fakes_.messages.calls, IsEmpty());  // the caller tells the user
  ShowWallpaperError(error, fakes_.messages);
  ASSERT_EQ(fakes_.messages.calls.size(), 1);
  EXPECT_EQ(fakes_.messages.calls[0].text, error.message);
  EXPECT_EQ(fakes_.messages.calls[0].caption, "Quillatorne");
  EXPECT_EQ(fakes_.messages.calls[0].flags, MB_OK | MB_ICONERROR);
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadFile,
    ::testing::Values(
        BadCase{"text.jpg",
                [](const QByteArray&) { return QByteArray("just some text, no picture\n"); },
                "Not a JPEG file"},
        BadCase{"empty.jpg", [](const QByteArray&) { return QByteArray(); }, "Empty input file"},
        BadCase{"half.jpg", [](const QByteArray& v) { return v.left(v.size() / 2); },
                "Premature end"},
        BadCase{"header-only.jpg", [](const QByteArray& v) { return v.left(20); }, "Premature end"},
        // Stored in several scans, held whole: refused before anything is allocated.
        BadCase{"huge.jpg", [](const QByteArray& v) { return Enormous(v); }, "too large",
                JpegKind::Progressive420}),
    [](const ::testing::TestParamInfo<BadCase>& info) {
      return QString::fromLatin1(info.param.name).section('.', 0, 0).remove('-').toStdString();
    });

// ---- The wallpaper file ------------------------------------------------------------------

TEST_F(Compose, ApplyWritesABottomUpBmpOfTheScreensSizeAndInstallsIt) {
  Mode(true, false);
  fakes_.desktop.screen = QSize(61, 40);  // odd width: rows are padded to four bytes
  QImage picture = Flat(64, 48, kBlue);
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 64; ++x) picture.setPixel(x, y, kRed);
  }
  const QString path = Jpeg("top-red.jpg", picture);
  ApplyWallpaper(path, fakes_.config, fakes_.services);

  const QString file = home_.dataDir() + "/Quillatorne.bmp";
  EXPECT_EQ(WallpaperFilePath(), file);
  EXPECT_THAT(fakes_.desktop.installed, ElementsAre(file));
  EXPECT_DOUBLE_EQ(fakes_.config.DynamicConfig.LastSetTime, NowDays(fakes_.clock));
  EXPECT_THAT(QDir(home_.dataDir()).entryList(QDir::Files), ElementsAre("Quillatorne.bmp"));

  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray bytes = f.readAll();
  const auto* d = reinterpret_cast<const uchar*>(bytes.constData());
  const int rowBytes = (61 * 3 + 3) & ~3;
  ASSERT_EQ(bytes.size(), 54 + rowBytes * 40);
  EXPECT_EQ(bytes.left(2), "BM");
  EXPECT_EQ(qFromLittleEndian<quint32>(d + 2), quint32(bytes.size()));
  EXPECT_EQ(qFromLittleEndian<quint32>(d + 10), 54u);
  EXPECT_EQ(qFromLittleEndian<qint32>(d + 18), 61);
  EXPECT_EQ(qFromLittleEndian<qint32>(d + 22), 40);  // positive: bottom-up
  EXPECT_EQ(qFromLittleEndian<quint16>(d + 28), 24);
  EXPECT_EQ(qFromLittleEndian<quint32>(d + 30), 0u);  // uncompressed
  // The first row in the file is the bottom of the picture (blue), the last the top (red).
  const uchar* bottom = d + 54;
  const uchar* top = d + 54 + rowBytes * 39;
  EXPECT_TRUE(Near(qRgb(bottom[2], bottom[1], bottom[0]), kBlue));
  EXPECT_TRUE(Near(qRgb(top[2], top[1], top[0]), kRed));
  const QImage loaded(file);
  EXPECT_EQ(loaded.size(), QSize(61, 40));
}

TEST_F(Compose, AWallpaperFileThatCannotBeWrittenStopsTheApply) {
  QDir().mkpath(WallpaperFilePath() + "/blocked");  // a folder where the file should be
  fakes_.config.DynamicConfig.LastSetTime = 3.0;
  const WallpaperError error =
      ApplyWallpaper(Jpeg("g.jpg", Flat(8, 8, kGreen)), fakes_.config, fakes_.services);
  EXPECT_EQ(error.kind, WallpaperError::Write);
  EXPECT_THAT(error.message.toStdString(), HasSubstr("Could not write the wallpaper file"));
  EXPECT_THAT(fakes_.desktop.installed, IsEmpty());
  // The temporary file is not left behind.
  EXPECT_THAT(
      QDir(home_.dataDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
      ElementsAre("Quillatorne.bmp"));
  EXPECT_EQ(fakes_.config.DynamicConfig.LastSetTime, 3.0);
}

TEST_F(Compose, ADesktopThatRefusesTheWallpaperDoesNotFailTheApply) {
  fakes_.desktop.installResult = false;
  ApplyWallpaper(Jpeg("g.jpg", Flat(8, 8, kGreen)), fakes_.config, fakes_.services);
  EXPECT_EQ(fakes_.desktop.installed.size(), 1);
  EXPECT_DOUBLE_EQ(fakes_.config.DynamicConfig.LastSetTime, NowDays(fakes_.clock));
  EXPECT_THAT(fakes_.messages.calls, IsEmpty());
}

// ---- DCT scaling -------------------------------------------------------------------------

struct ScaleCase {
  QSize full, cover;
  int eighths;
};
class DctScale : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(DctScale, PicksASmallScaleThatStillCovers) {
  EXPECT_EQ(JpegScaleEighths(GetParam().full, GetParam().cover), GetParam().eighths);
}

INSTANTIATE_TEST_SUITE_P(Sizes, DctScale,
                         ::testing::Values(ScaleCase{{6000, 4000}, {640, 426}, 1},
                                           ScaleCase{{6000, 4000}, {3240, 2160}, 5},
                                           ScaleCase{{6000, 4000}, {1620, 1080}, 4},
                                           ScaleCase{{6000, 4000}, {5000, 3400}, 8},
                                           ScaleCase{{6000, 4000}, {4500, 3000}, 8},
                                           ScaleCase{{6000, 4000}, {6000, 4000}, 8},
                                           ScaleCase{{800, 600}, {1024, 768}, 8},
                                           ScaleCase{{801, 600}, {101, 75}, 1},
                                           ScaleCase{{801, 600}, {102, 75}, 2},
                                           ScaleCase{{800, 600}, {0, 0}, 8}));

TEST_F(Compose, DecodingToACoverDecodesSmallerButNeverBelowIt) {
  const QString path = Jpeg("big.jpg", Flat(800, 600, kGreen));
  struct Case {
    QSize cover, size;
  };
  for (const Case& c :
       {Case{{100, 75}, {100, 75}}, Case{{101, 75}, {200, 150}}, Case{{}, {800, 600}}}) {
    JpegDecoder decoder(path);
    EXPECT_EQ(decoder.size(), QSize(800, 600));
    const QImage image = decoder.Decode(c.cover);
    EXPECT_EQ(image.size(), c.size);
    EXPECT_TRUE(Near(image.pixel(image.width() / 2, image.height() / 2), kGreen));
  }
}

TEST_F(Compose, AChangeOfResolutionTakesEffectAtTheNextApply) {
  const QString path = Jpeg("g.jpg", Flat(8, 8, kGreen));
  ApplyWallpaper(path, fakes_.config, fakes_.services);
  EXPECT_EQ(QImage(WallpaperFilePath()).size(), QSize(64, 48));
  fakes_.desktop.screen = QSize(50, 30);
  ApplyWallpaper(path, fakes_.config, fakes_.services);
  EXPECT_EQ(QImage(WallpaperFilePath()).size(), QSize(50, 30));
}

TEST_F(Compose, PicturesAreRefusedAboveHalfAGigabyteOfDecodedPixels) {
  // 16384 x 8192 x 4 bytes is exactly 512 MiB: still allowed.
  const QByteArray progressive =
      ValidJpegBytes(home_.path() + "/p.jpg", JpegKind::Progressive420);
  EXPECT_NO_THROW(JpegDecoder(home_.write("limit.jpg", Declaring(progressive, 16384, 8192))));
  // Held whole as coefficients: refused on its full size, before anything is allocated.
  EXPECT_THROW(JpegDecoder(home_.write("over.jpg", Declaring(progressive, 16384, 8193))),
               JpegError);
  // Decoded a few rows at a time: only the size it is decoded at counts.
  const QString baseline =
      home_.write("wide.jpg", Declaring(ValidJpegBytes(home_.path() + "/v.jpg"), 16384, 8193));
  try {
    JpegDecoder(baseline).Decode();
    ADD_FAILURE() << "a full decode over the limit went through";
  } catch (const JpegError& e) {
    EXPECT_THAT(e.what(), HasSubstr("too large"));
  }
  try {
    // At 1/8 the size is allowed; whatever the short data then does, it is not refused for size.
    JpegDecoder(baseline).Decode(QSize(2048, 1024));
  } catch (const JpegError& e) {
    EXPECT_THAT(e.what(), ::testing::Not(HasSubstr("too large")));
  }
}

// Single-threaded (a small canvas), and slow under ThreadSanitizer: not a Compose test.
TEST(Panorama, ABaselineOf20000By10000PixelsBecomesAWallpaper) {
  FakeServices fakes_;
  TempHome home_;
  fakes_.desktop.screen = QSize(400, 200);
  fakes_.config = Config(fakes_.desktop.screen);  // fit inside, keeping proportions
  const QString path = home_.path() + "/panorama.jpg";
  ASSERT_TRUE(WriteLargeFlatJpeg(path, 20000, 10000, kGreen));
  EXPECT_EQ(ApplyWallpaper(path, fakes_.config, fakes_.services).kind, WallpaperError::None);
  const QImage wallpaper(WallpaperFilePath());
  ASSERT_EQ(wallpaper.size(), QSize(400, 200));
  EXPECT_TRUE(Near(wallpaper.pixel(200, 100), kGreen, 6)) << Qt::hex << wallpaper.pixel(200, 100);
  fakes_.config = Config(QSize(1024, 768));
}

// ---- EXIF orientation --------------------------------------------------------------------

namespace {
// Red, green, blue and white quadrants (top left, top right, bottom left, bottom right).
QImage Quadrants(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool right = x >= width / 2, bottom = y >= height / 2;
      image.setPixel(x, y, bottom ? (right ? kWhite : kBlue) : (right ? kGreen : kRed));
    }
  }
  return image;
}

::testing::AssertionResult ShowsQuadrants(const QImage& image, const QRect& at) {
  const QRgb colours[] = {kRed, kGreen, kBlue, kWhite};
  for (int i = 0; i < 4; ++i) {
    const QPoint p(at.x() + at.width() * (i % 2 ? 3 : 1) / 4,
                   at.y() + at.height() * (i / 2 ? 3 : 1) / 4);
    if (!Near(image.pixel(p), colours[i], 8)) {
      return ::testing::AssertionFailure() << "quadrant " << i << " at " << p.x() << "," << p.y()
                                           << " is " << std::hex << image.pixel(p);
    }
  }
  return ::testing::AssertionSuccess();
}

QImage RotatedClockwise(const QImage& image) { return image.transformed(QTransform().rotate(90)); }
QImage RotatedAnticlockwise(const QImage& image) {
  return image.transformed(QTransform().rotate(270));
}
}  // namespace

struct OrientationCase {
  int orientation;
  // How a camera stores an upright picture under that tag.
  std::function<QImage(const QImage&)> stored;
};
class Orientation : public Compose, public ::testing::WithParamInterface<OrientationCase> {};

TEST_P(Orientation, DrawsThePictureUprightInEveryPlacementAndThePreview) {
  const QImage upright = Quadrants(32, 16);
  const QString path = home_.path() + "/turned.jpg";
  ASSERT_TRUE(WriteTestJpeg(path, GetParam().stored(upright), JpegKind::Colour,
                            GetParam().orientation));

  // What the source page's preview shows.
  const QImage decoded = DecodeUpright(path);
  ASSERT_EQ(decoded.size(), QSize(32, 16));
  EXPECT_TRUE(ShowsQuadrants(decoded, decoded.rect()));
  const QImage small = DecodeUpright(path, QSize(4, 2));
  ASSERT_EQ(small.size(), QSize(4, 2));

  struct Placed {
    const char* mode;
    bool stretch, constrain;
    QSize screen;
    QRect at;  // where the picture stands on the 64 x 48 canvas
  };
  for (const Placed& p : {Placed{"natural size", false, true, {64, 48}, {16, 16, 32, 16}},
                          Placed{"fit", true, true, {64, 48}, {0, 8, 64, 32}},
                          Placed{"stretch", true, false, {64, 48}, {0, 0, 64, 48}},
                          Placed{"preview", false, true, {128, 96}, {24, 20, 16, 8}}}) {
    Mode(p.stretch, p.constrain);
    fakes_.desktop.screen = p.screen;
    const auto canvas = ComposeWallpaper(path, 64, 48, fakes_.config, fakes_.desktop.screen,
                                         fakes_.clock.now.date())
                            .bitmap;
    ASSERT_TRUE(canvas) << p.mode;
    EXPECT_TRUE(ShowsQuadrants(*canvas, p.at)) << p.mode;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Tags, Orientation,
    ::testing::Values(
        OrientationCase{1, [](const QImage& i) { return i; }},
        OrientationCase{2, [](const QImage& i) { return i.mirrored(true, false); }},
        OrientationCase{3, [](const QImage& i) { return i.mirrored(true, true); }},
        OrientationCase{4, [](const QImage& i) { return i.mirrored(false, true); }},
        OrientationCase{5, [](const QImage& i) { return RotatedClockwise(i).mirrored(true, false); }},
        OrientationCase{6, [](const QImage& i) { return RotatedAnticlockwise(i); }},
        OrientationCase{7,
                        [](const QImage& i) { return RotatedAnticlockwise(i).mirrored(true, false); }},
        OrientationCase{8, [](const QImage& i) { return RotatedClockwise(i); }}),
    [](const auto& info) { return std::to_string(info.param.orientation); });

TEST(ExifOrientation, ReadsTheTagAndTakesAnythingBrokenForUpright) {
  const auto read = [](const QByteArray& b) {
    return ExifOrientation(reinterpret_cast<const uchar*>(b.constData()), size_t(b.size()));
  };
  EXPECT_EQ(read(ExifBlock(6, true)), 6);
  EXPECT_EQ(read(ExifBlock(8, false)), 8);
  EXPECT_EQ(read(ExifBlock(9)), 1);
  EXPECT_EQ(read(ExifBlock(0)), 1);
  const QByteArray whole = ExifBlock(6);
  EXPECT_EQ(read(whole.left(whole.size() - 8)), 1);  // the entry cut short
  EXPECT_EQ(read(QByteArray("JFIF") + whole.mid(4)), 1);
  QByteArray badMagic = whole;
  badMagic[9] = 41;
  EXPECT_EQ(read(badMagic), 1);
  QByteArray farDirectory = whole;
  farDirectory[12] = 0x7F;  // the first directory far past the end
  EXPECT_EQ(read(farDirectory), 1);
  EXPECT_EQ(read(QByteArray()), 1);
}

TEST_F(Compose, ApplyGivesEachMonitorItsOwnPictureTheCalendarOnThePrimaryOnly) {
  Mode(true, false);
  fakes_.config.CalendarConfig.ShowCalendar = true;
  fakes_.config.CalendarConfig.DrawGlass = true;
  fakes_.desktop.monitors = {{"DP-1", QRect(0, 0, 300, 200), false},
                             {"eDP 1", QRect(300, 0, 240, 320), true}};
  // Left from a monitor that is gone, and the desktop's copy of an earlier change.
  QDir().mkpath(home_.dataDir());
  for (const char* name : {"Quillatorne-GONE.bmp", "Quillatorne-1765000000000.png"}) {
    QFile f(home_.dataDir() + "/" + name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  ASSERT_FALSE(ApplyWallpaper(Jpeg("g.jpg", Flat(64, 48, kGreen)), fakes_.config, fakes_.services));

  EXPECT_THAT(QDir(home_.dataDir()).entryList(QDir::Files),
              ElementsAre("Quillatorne-1765000000000.png", "Quillatorne-DP-1.bmp",
                          "Quillatorne.bmp"));
  ASSERT_EQ(fakes_.desktop.installedPictures.size(), 1);
  const QList<MonitorPicture>& pictures = fakes_.desktop.installedPictures[0];
  ASSERT_EQ(pictures.size(), 2);
  EXPECT_EQ(pictures[0].monitor.name, "eDP 1");
  EXPECT_EQ(pictures[0].file, WallpaperFilePath());
  EXPECT_EQ(pictures[1].file, home_.dataDir() + "/Quillatorne-DP-1.bmp");
  const auto notGreen = [](const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) count += !Near(image.pixel(x, y), kGreen);
    return count;
  };
  for (const MonitorPicture& p : pictures) {
    const QImage written(p.file);
    EXPECT_EQ(written.size(), p.monitor.rect.size()) << p.monitor.name.toStdString();
    EXPECT_EQ(written.convertToFormat(QImage::Format_RGB32), p.image) << p.monitor.name.toStdString();
  }
  // The calendar and its glass on the primary; the other picture untouched.
  EXPECT_GT(notGreen(pictures[0].image), 1000);
  EXPECT_EQ(notGreen(pictures[1].image), 0);
}
