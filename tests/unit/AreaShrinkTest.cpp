#include <gtest/gtest.h>

#include <QFile>
#include <vector>

#include "TestJpeg.h"
#include "support/TempHome.h"
#include "wallpaper/AreaShrink.h"
#include "wallpaper/JpegDecoder.h"
#include "wallpaper/JpegShrink.h"

namespace {
QImage Grey(const std::vector<int>& values, bool across) {
  const int n = static_cast<int>(values.size());
  QImage image(across ? n : 1, across ? 1 : n, QImage::Format_RGB32);
  for (int i = 0; i < n; ++i)
    image.setPixel(across ? i : 0, across ? 0 : i, qRgb(values[i], values[i], values[i]));
  return image;
}

// The largest difference of one colour channel between two pictures of one size.
int Furthest(const QImage& a, const QImage& b) {
  int most = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      most = std::max({most, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                       std::abs(qBlue(p) - qBlue(q))});
    }
  }
  return most;
}

// The bands of a resample made one by one, each from only the source rows it asks for.
template <typename Resampler = AreaShrink>
QImage InBands(const QImage& source, QSize target, const std::vector<int>& cuts) {
  QImage out(target, QImage::Format_RGB32);
  out.fill(Qt::magenta);  // any row left unmade shows
  const Resampler plan(source.size(), target);
  for (size_t i = 0; i + 1 < cuts.size(); ++i) {
    Resampler band = plan;
    band.Begin(cuts[i], cuts[i + 1], out.scanLine(cuts[i]), out.bytesPerLine());
    for (int y = plan.FirstSourceRow(cuts[i]); y < plan.EndSourceRow(cuts[i + 1]); ++y)
      band.Push(source.constScanLine(y));
    EXPECT_TRUE(band.Done()) << "band " << i;
  }
  return out;
}

// The straightforward resample of a whole picture.
QImage Whole(const QImage& source, QSize size) {
  return size.width() <= source.width() && size.height() <= source.height()
             ? AreaShrinkImage(source, size.width(), size.height())
             : RowResampleImage(source, size.width(), size.height());
}
}  // namespace

TEST(AreaShrink, AveragesTheAreaEachOutputPixelCovers) {
  // Three pixels into two: each output takes one whole pixel and half of the middle one.
  for (bool across : {true, false}) {
    const QImage out = AreaShrinkImage(Grey({0, 90, 180}, across), across ? 2 : 1, across ? 1 : 2);
    EXPECT_EQ(out.pixel(0, 0), qRgb(30, 30, 30));
    EXPECT_EQ(out.pixel(across ? 1 : 0, across ? 0 : 1), qRgb(150, 150, 150));
  }
  // Both ways at once: a 2 x 2 block of 0, 100, 200, 255 averages to 138.75.
  QImage block(2, 2, QImage::Format_RGB32);
  block.setPixel(0, 0, qRgb(0, 0, 0));
  block.setPixel(1, 0, qRgb(100, 100, 100));
  block.setPixel(0, 1, qRgb(200, 200, 200));
  block.setPixel(1, 1, qRgb(255, 255, 255));
  EXPECT_EQ(AreaShrinkImage(block, 1, 1).pixel(0, 0), qRgb(139, 139, 139));
}

TEST(AreaShrink, KeepsAFlatColourExactly) {
  const QSize cases[][2] = {{{7, 5}, {3, 2}},     {{101, 97}, {100, 1}}, {{3750, 3}, {3240, 2}},
                            {{64, 64}, {64, 64}}, {{13, 600}, {1, 7}},   {{255, 2}, {254, 2}}};
  for (const auto& c : cases) {
    for (QRgb colour : {qRgb(255, 255, 255), qRgb(1, 128, 254), qRgb(0, 0, 0)}) {
      const QImage out =
          AreaShrinkImage(Flat(c[0].width(), c[0].height(), colour), c[1].width(), c[1].height());
      ASSERT_EQ(out.size(), c[1]);
      EXPECT_EQ(Furthest(out, Flat(c[1].width(), c[1].height(), colour)), 0)
          << c[0].width() << "x" << c[0].height() << " to " << c[1].width() << "x" << c[1].height()
          << " of " << std::hex << colour;
    }
  }
}

TEST(AreaShrink, AgreesWithQtsSmoothShrinking) {
  const QImage busy = Busy(301, 217);
  for (QSize target : {QSize(97, 64), QSize(260, 200), QSize(150, 108)}) {
    const QImage ours = AreaShrinkImage(busy, target.width(), target.height());
    const QImage qt = busy.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_LE(Furthest(ours, qt), 2) << target.width() << "x" << target.height();
  }
}

TEST(AreaShrink, RefusesToEnlarge) {
  EXPECT_THROW(AreaShrink(QSize(10, 10), QSize(11, 10)), std::invalid_argument);
  EXPECT_THROW(AreaShrink(QSize(10, 10), QSize(10, 0)), std::invalid_argument);
}

struct BandCase {
  QSize source, target;
  std::vector<int> cuts;
};
class ShrinkingInBands : public ::testing::TestWithParam<BandCase> {};

TEST_P(ShrinkingInBands, GivesTheSamePixelsAsTheWholeAtOnce) {
  const BandCase& c = GetParam();
  const QImage busy = Busy(c.source.width(), c.source.height());
  const QImage whole = AreaShrinkImage(busy, c.target.width(), c.target.height());
  EXPECT_EQ(InBands(busy, c.target, c.cuts), whole);
}

INSTANTIATE_TEST_SUITE_P(Cuts, ShrinkingInBands,
                         ::testing::Values(BandCase{{300, 200}, {259, 173}, {0, 100, 173}},
                                           BandCase{{300, 200}, {259, 173}, {0, 1, 2, 172, 173}},
                                           BandCase{{300, 200}, {100, 60}, {0, 37, 38, 60}},
                                           BandCase{{300, 200}, {300, 200}, {0, 99, 200}},
                                           BandCase{{50, 40}, {7, 3}, {0, 1, 2, 3}}));

TEST(RowResample, InterpolatesBetweenTheTwoNearestPixelsWhenEnlarging) {
  // Two pixels into four: centres at -0.25, 0.25, 0.75 and 1.25 source pixels, edges held.
  for (bool across : {true, false}) {
    const QImage out = RowResampleImage(Grey({0, 200}, across), across ? 4 : 1, across ? 1 : 4);
    const int expected[] = {0, 50, 150, 200};
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(out.pixel(across ? i : 0, across ? 0 : i), qRgb(expected[i], expected[i], expected[i]))
          << i << (across ? " across" : " down");
  }
}

TEST(RowResample, KeepsAFlatColourExactlyAndAveragesTheAxisItShrinks) {
  for (QSize target : {QSize(17, 9), QSize(3, 40), QSize(640, 5)}) {
    const QImage out = RowResampleImage(Flat(7, 6, qRgb(1, 128, 254)), target.width(),
                                        target.height());
    EXPECT_EQ(Furthest(out, Flat(target.width(), target.height(), qRgb(1, 128, 254))), 0);
  }
  // Shrunk across like AreaShrink, enlarged down.
  const QImage busy = Busy(90, 20);
  const QImage mixed = RowResampleImage(busy, 30, 50);
  const QImage across = AreaShrinkImage(busy, 30, 20);
  EXPECT_EQ(mixed.pixel(7, 0), across.pixel(7, 0));
  EXPECT_EQ(mixed.pixel(29, 49), across.pixel(29, 19));
}

TEST(RowResample, AgreesWithQtsSmoothEnlarging) {
  const QImage busy = Busy(97, 61);
  for (QSize target : {QSize(300, 200), QSize(150, 61), QSize(97, 250)}) {
    const QImage ours = RowResampleImage(busy, target.width(), target.height());
    const QImage qt = busy.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_LE(Furthest(ours, qt), 40) << target.width() << "x" << target.height();
  }
}

class EnlargingInBands : public ::testing::TestWithParam<BandCase> {};

TEST_P(EnlargingInBands, GivesTheSamePixelsAsTheWholeAtOnce) {
  const BandCase& c = GetParam();
  const QImage busy = Busy(c.source.width(), c.source.height());
  const QImage whole = RowResampleImage(busy, c.target.width(), c.target.height());
  EXPECT_EQ(InBands<RowResample>(busy, c.target, c.cuts), whole);
}

INSTANTIATE_TEST_SUITE_P(Cuts, EnlargingInBands,
                         ::testing::Values(BandCase{{100, 60}, {259, 173}, {0, 100, 173}},
                                           BandCase{{100, 60}, {259, 173}, {0, 1, 2, 172, 173}},
                                           BandCase{{300, 60}, {100, 200}, {0, 37, 38, 200}},
                                           BandCase{{1, 1}, {5, 3}, {0, 1, 2, 3}}));

TEST(ShrinkBands, CoverEveryRowOnceWithLowerBandsShorter) {
  for (int parts : {1, 2, 3, 4}) {
    const std::vector<int> cuts = ShrinkBands(2160, parts, 0.35);
    ASSERT_EQ(cuts.size(), size_t(parts) + 1);
    EXPECT_EQ(cuts.front(), 0);
    EXPECT_EQ(cuts.back(), 2160);
    for (int i = 1; i < parts; ++i) EXPECT_LT(cuts[i + 1] - cuts[i], cuts[i] - cuts[i - 1]);
  }
  // More parts than rows: no band is given a row twice or a negative count.
  const std::vector<int> few = ShrinkBands(2, 5, 0.85);
  EXPECT_EQ(few.front(), 0);
  EXPECT_EQ(few.back(), 2);
  EXPECT_TRUE(std::is_sorted(few.begin(), few.end()));
}

// ---- Decoding in bands -------------------------------------------------------------------

struct KindCase {
  const char* name;
  JpegKind kind;
};
class JpegBands : public ::testing::TestWithParam<KindCase> {
 protected:
  QString Write(QSize size) {
    const QString path = home_.path() + "/busy.jpg";
    QImage picture = Busy(size.width(), size.height());
    EXPECT_TRUE(WriteTestJpeg(path, picture, GetParam().kind));
    return path;
  }
  TempHome home_;
};

TEST_P(JpegBands, RowsDecodedAfterASkipAreTheRowsOfTheWholeDecode) {
  const QString path = Write(QSize(75, 61));
  // Covers that pick every DCT scale from 1/8 to 8/8.
  for (QSize cover :
       {QSize(9, 7), QSize(19, 15), QSize(37, 30), QSize(46, 38), QSize(56, 45), QSize(75, 61)}) {
    const QImage whole = JpegDecoder(path).Decode(cover);
    for (int first : {0, 1, 7, 8, 9, 15, 16, 17, whole.height() / 2, whole.height() - 1}) {
      if (first >= whole.height()) continue;
      const int end = std::min(whole.height(), first + 11);
      int y = first;
      JpegDecoder(path).DecodeRows(cover, first, end, [&](const uchar* row) {
        ASSERT_LT(y, end);
        EXPECT_EQ(std::memcmp(row, whole.constScanLine(y), size_t(whole.width()) * 4), 0)
            << "row " << y << " after skipping " << first << " at " << whole.width() << " wide";
        ++y;
      });
      EXPECT_EQ(y, end);
    }
  }
}

TEST_P(JpegBands, AResampleDecodedInBandsIsTheResampleOfTheWholeDecode) {
  const QString path = Write(QSize(203, 151));
  for (QSize size : {QSize(120, 90), QSize(57, 40), QSize(203, 151), QSize(190, 20),
                     QSize(400, 300), QSize(150, 310)}) {
    const QImage plain = Whole(JpegDecoder(path).Decode(size), size);
    for (int parts : {1, 2, 3}) {
      QImage banded(size, QImage::Format_RGB32);
      banded.fill(Qt::magenta);
      DecodeResampled(path, size, banded.bits(), banded.bytesPerLine(), parts);
      EXPECT_EQ(banded, plain) << size.width() << "x" << size.height() << " in " << parts;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, JpegBands,
                         ::testing::Values(KindCase{"Colour", JpegKind::Colour},
                                           KindCase{"Colour420", JpegKind::Colour420},
                                           KindCase{"Colour422", JpegKind::Colour422},
                                           KindCase{"Progressive", JpegKind::Progressive420},
                                           KindCase{"Grey", JpegKind::Grey},
                                           KindCase{"Cmyk", JpegKind::InvertedCmyk}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(JpegBandsFailing, ATruncatedFileFailsInWhicheverBandMeetsTheEnd) {
  TempHome home;
  const QString path = home.path() + "/busy.jpg";
  // A progressive file is read whole by one decoder on the second thread; the error comes back.
  for (JpegKind kind : {JpegKind::Colour420, JpegKind::Progressive420}) {
    ASSERT_TRUE(WriteTestJpeg(path, Busy(400, 300), kind));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    // The top band (about 60% of the rows) is whole; the lower one runs out.
    ASSERT_TRUE(file.resize(file.size() * 8 / 10));
    file.close();
    for (QSize size : {QSize(300, 225), QSize(600, 450)}) {
      QImage out(size, QImage::Format_RGB32);
      for (int parts : {1, 2}) {
        try {
          DecodeResampled(path, out.size(), out.bits(), out.bytesPerLine(), parts);
          ADD_FAILURE() << "no error in " << parts;
        } catch (const JpegError& e) {
          EXPECT_NE(std::string(e.what()).find("Premature end"), std::string::npos) << e.what();
        }
      }
    }
  }
}
