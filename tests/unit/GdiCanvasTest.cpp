#include <QFontMetrics>
#include <climits>
#include <vector>

#include "CalendarFixture.h"
#include "calendar/GdiCanvas.h"

namespace {
constexpr Color kPen = 0xFF00FF;  // magenta

PointSet Painted(const QImage& img) {
  const QList<QPoint> list = PixelsOf(img, RgbOf(kPen));
  return PointSet(list.begin(), list.end());
}

struct LineCase {
  const char* name;
  int x1, y1, x2, y2;
  PenStyle style;
  std::vector<QPoint> expected;  // exactly the painted pixels
};

class GdiLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(GdiLineTest, PaintsFromTheStartUpToNotIncludingTheEnd) {
  const LineCase& c = GetParam();
  QImage img = GreyCanvas(16, 16);
  {
    GdiCanvas dc(img);
    dc.SetPenColor(kPen);
    dc.SetPenStyle(c.style);
    dc.Line(c.x1, c.y1, c.x2, c.y2);
  }
  EXPECT_EQ(Painted(img), PointSet(c.expected.begin(), c.expected.end()));
}

std::vector<QPoint> Row(int y, std::initializer_list<int> xs) {
  std::vector<QPoint> v;
  for (int x : xs) v.emplace_back(x, y);
  return v;
}
std::vector<QPoint> Column(int x, std::initializer_list<int> ys) {
  std::vector<QPoint> v;
  for (int y : ys) v.emplace_back(x, y);
  return v;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, GdiLineTest,
    ::testing::Values(
        LineCase{"SolidRight", 2, 5, 6, 5, PenStyle::Solid, Row(5, {2, 3, 4, 5})},
        LineCase{"SolidLeft", 6, 5, 2, 5, PenStyle::Solid, Row(5, {6, 5, 4, 3})},
        LineCase{"SolidDown", 4, 1, 4, 4, PenStyle::Solid, Column(4, {1, 2, 3})},
        LineCase{"SolidUp", 4, 4, 4, 1, PenStyle::Solid, Column(4, {4, 3, 2})},
        LineCase{"ZeroLength", 3, 3, 3, 3, PenStyle::Solid, {}},
        LineCase{"DottedRight", 0, 2, 14, 2, PenStyle::Dot, Row(2, {0, 1, 2, 6, 7, 8, 12, 13})},
        LineCase{"DottedLeftStartsAtItsStart", 14, 2, 0, 2, PenStyle::Dot,
                 Row(2, {14, 13, 12, 8, 7, 6, 2, 1})},
        LineCase{"DottedDown", 9, 3, 9, 12, PenStyle::Dot, Column(9, {3, 4, 5, 9, 10, 11})},
        LineCase{"DottedUp", 9, 15, 9, 0, PenStyle::Dot, Column(9, {15, 14, 13, 9, 8, 7, 3, 2, 1})},
        // Clipped by the canvas, the pattern keeps its phase from the real start.
        LineCase{"DottedFromOffCanvas", -4, 2, 10, 2, PenStyle::Dot, Row(2, {2, 3, 4, 8, 9})},
        LineCase{"DottedToOffCanvas", 12, 7, 30, 7, PenStyle::Dot, Row(7, {12, 13, 14})},
        LineCase{"HugeSpanPaintsOnlyTheCanvas", INT_MIN + 1, 0, INT_MAX, 0, PenStyle::Solid,
                 Row(0, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15})},
        LineCase{"RowBelowTheCanvas", 0, 16, 10, 16, PenStyle::Solid, {}},
        LineCase{"DiagonalIsIgnored", 0, 0, 5, 5, PenStyle::Solid, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GdiCanvas, HollowRectangleCoversLeftToRightMinusOne) {
  QImage img = GreyCanvas(16, 16);
  {
    GdiCanvas dc(img);
    dc.SetPenColor(kPen);
    dc.Rectangle(Box{2, 3, 7, 6});
    dc.Rectangle(Box{10, 10, 11, 11});  // one pixel
  }
  PointSet expected{QPoint(10, 10)};
  for (int x = 2; x <= 6; ++x) expected.insert({QPoint(x, 3), QPoint(x, 5)});
  for (int y = 3; y <= 5; ++y) expected.insert({QPoint(2, y), QPoint(6, y)});
  EXPECT_EQ(Painted(img), expected);
}

class GdiFontTest : public ::testing::TestWithParam<std::tuple<const char*, int>> {};

TEST_P(GdiFontTest, CellHeightIsTheLargestNotAboveTheRequest) {
  const auto [face, h] = GetParam();
  const QFont f = FontForCellHeight(QString::fromLatin1(face), h);
  EXPECT_LE(QFontMetrics(f).height(), h);
  QFont bigger = f;
  bigger.setPixelSize(f.pixelSize() + 1);
  EXPECT_GT(QFontMetrics(bigger).height(), h);
}

INSTANTIATE_TEST_SUITE_P(Heights, GdiFontTest,
                         ::testing::Combine(::testing::Values("Arial", "DejaVu Sans", ""),
                                            ::testing::Values(8, 13, 20, 25, 52)),
                         [](const auto& info) {
                           std::string face = std::get<0>(info.param);
                           std::erase(face, ' ');
                           return (face.empty() ? "Default" : face) + "_" +
                                  std::to_string(std::get<1>(info.param));
                         });

struct Extent {
  int minX = INT_MAX, minY = INT_MAX, maxX = INT_MIN, maxY = INT_MIN, count = 0;
};
Extent ChangedExtent(const QImage& img) {
  Extent e;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (At(img, x, y) != kBackground) {
        e.minX = std::min(e.minX, x), e.maxX = std::max(e.maxX, x);
        e.minY = std::min(e.minY, y), e.maxY = std::max(e.maxY, y);
        ++e.count;
      }
  return e;
}

TEST(GdiCanvas, BoxedTextIsCentredTopAlignedAndClipped) {
  QImage img = GreyCanvas(200, 100);
  const Box box{20, 10, 120, 90};
  {
    GdiCanvas dc(img);
    dc.SetFont(FontForCellHeight("Arial", 20));
    dc.DrawText("Mo", 0xFFFFFF, box, DT_CENTER | DT_VCENTER | DT_WORDBREAK);
  }
  const Extent e = ChangedExtent(img);
  ASSERT_GT(e.count, 0);
  EXPECT_NEAR((e.minX + e.maxX) / 2.0, (box.left + box.right - 1) / 2.0, 2.0);
  EXPECT_GE(e.minY, box.top);
  EXPECT_LT(e.maxY, box.top + 20);  // at the top, although the box is 80 high

  QImage clipped = GreyCanvas(200, 100);
  const Box small{30, 30, 60, 45};
  {
    GdiCanvas dc(clipped);
    dc.SetFont(FontForCellHeight("Arial", 20));
    dc.DrawText("Wednesday", 0xFFFFFF, small, DT_CENTER | DT_WORDBREAK);
  }
  const Extent c = ChangedExtent(clipped);
  ASSERT_GT(c.count, 0);
  // The one long word overflows both sides and is cut at the box.
  EXPECT_GE(c.minX, small.left);
  EXPECT_LT(c.maxX, small.right);
  EXPECT_GE(c.maxX - c.minX, 25);
  EXPECT_GE(c.minY, small.top);
  EXPECT_LT(c.maxY, small.bottom);
}

TEST(GdiCanvas, WordsWrapOntoTheNextLine) {
  QImage one = GreyCanvas(200, 100), two = GreyCanvas(200, 100);
  for (QImage* img : {&one, &two}) {
    GdiCanvas dc(*img);
    dc.SetFont(FontForCellHeight("Arial", 20));
    dc.DrawText("Mo Tu", 0xFFFFFF, Box{10, 10, img == &one ? 190 : 45, 90},
                DT_CENTER | DT_WORDBREAK);
  }
  const Extent a = ChangedExtent(one), b = ChangedExtent(two);
  EXPECT_LT(a.maxY - a.minY, 20);
  EXPECT_GT(b.maxY - b.minY, 20);
}

TEST(GdiCanvas, TurnedTextRunsUpwardFromItsPoint) {
  QImage img = GreyCanvas(200, 300);
  {
    GdiCanvas dc(img);
    dc.SetFont(FontForCellHeight("Arial", 20));
    dc.TextOut(50, 250, "March  2026", 0x00FFFF, 900);
  }
  const Extent e = ChangedExtent(img);
  ASSERT_GT(e.count, 0);
  EXPECT_GE(e.minX, 50);  // the glyphs' tops face left, their cell is 20 wide
  EXPECT_LT(e.maxX, 70);
  EXPECT_LT(e.maxY, 250);  // and the text climbs from the point
  EXPECT_GT(e.maxY, 240);
  EXPECT_GT(e.maxY - e.minY, 3 * (e.maxX - e.minX));
}
}  // namespace
