#include <climits>
#include <vector>

#include "CalendarFixture.h"
#include "calendar/Geometry.h"
#include "calendar/Marks.h"
#include "calendar/Render.h"
#include "calendar/Styles.h"
#include "platform/DateTime.h"

namespace {
constexpr Color kMarker = 0xFF00FF;  // magenta: no text colour blends into it

class CalendarDraw : public CalendarTest {
 protected:
  void SetUp() override {
    CalendarTest::SetUp();
    Cal().ColorMonthYear = 0x00FFFF;   // yellow
    Cal().ColorDayNames = 0xFFFFFF;    // white
    Cal().ColorDayNumbers = 0xFFFF00;  // cyan
    Cal().ColorWeekMarker = kMarker;
    SetToday(QDate(2026, 3, 18));
  }
  QImage Draw(int w = 1024, int h = 768) {
    QImage img = GreyCanvas(w, h);
    DrawCalendar(img, w, h, fakes.config, CalendarToday(fakes.clock));
    return img;
  }
  void Mark(const QDate& d, int style) {
    fakes.config.ColorRemConfig.ColorReminders.append(
        ColorReminder{DateToDayNumber(d), static_cast<DotColor>(style)});
  }
};

// A GDI line: from (x1, y1) up to, not including, (x2, y2).
struct Seg {
  int x1, y1, x2, y2;
};

struct MarkerCase {
  const char* name;
  int style, firstWeekDay, posX, posY;
  QDate today;
  Box outline;  // the solid outline covers left..right-1 by top..bottom-1
  std::vector<Seg> dotted;
};

class CalendarMarkerTest : public CalendarDraw, public ::testing::WithParamInterface<MarkerCase> {};

// Walks a line pixel by pixel: index i from the start, the end itself left out.
template <typename F>
void Walk(const Seg& s, F f) {
  const int dx = (s.x2 > s.x1) - (s.x2 < s.x1), dy = (s.y2 > s.y1) - (s.y2 < s.y1);
  const int n = std::max(std::abs(s.x2 - s.x1), std::abs(s.y2 - s.y1));
  for (int i = 0; i <= n; ++i) f(i, n, QPoint(s.x1 + i * dx, s.y1 + i * dy));
}

TEST_P(CalendarMarkerTest, OutlinesTodayAndDotsItsWeek) {
  const MarkerCase& c = GetParam();
  Cal().Style = static_cast<CalendarStyle>(c.style);
  Cal().FirstWeekDay = static_cast<WeekStart>(c.firstWeekDay);
  Cal().PosX = c.posX;
  Cal().PosY = c.posY;
  Cal().DrawTextShadow = false;
  SetToday(c.today);
  const QImage img = Draw();
  const QRgb marker = RgbOf(kMarker);

  PointSet on;
  const Box& o = c.outline;
  for (int x = o.left; x < o.right; ++x) on.insert({QPoint(x, o.top), QPoint(x, o.bottom - 1)});
  for (int y = o.top; y < o.bottom; ++y) on.insert({QPoint(o.left, y), QPoint(o.right - 1, y)});
  for (const Seg& s : c.dotted) {
    ASSERT_TRUE(s.x1 == s.x2 || s.y1 == s.y2);
    Walk(s, [&](int i, int n, QPoint p) {
      if (i < n && i % 6 < 3) on.insert(p);
    });
  }
  for (const QPoint& p : on) EXPECT_EQ(At(img, p.x(), p.y()), marker) << p.x() << "," << p.y();
  // The gaps of the pattern and each line's end point stay unpainted.
  for (const Seg& s : c.dotted)
    Walk(s, [&](int i, int n, QPoint p) {
      if ((i == n || i % 6 >= 3) && !on.count(p)) {
        EXPECT_NE(At(img, p.x(), p.y()), marker) << p.x() << "," << p.y();
      }
    });
  // And nothing else anywhere has the marker's colour.
  EXPECT_EQ(static_cast<size_t>(PixelsOf(img, marker).size()), on.size());
}

// Classic and Vertical at (657, 27) on 1024 x 768, Size 50, March 2026 (the 1st a Sunday).
// Horizontal at (0, 0) in April 2026 (the 1st a Wednesday), cell 17, rectangle 510 x 51.
INSTANTIATE_TEST_SUITE_P(
    Styles, CalendarMarkerTest,
    ::testing::Values(
        MarkerCase{"ClassicMiddleColumn",
                   0,
                   1,
                   120,
                   5,
                   QDate(2026, 3, 18),
                   Box{722, 188, 753, 219},
                   {{718, 188, 661, 188},
                    {718, 218, 661, 218},
                    {756, 188, 883, 188},
                    {756, 218, 883, 218}}},
        MarkerCase{"ClassicLastColumnOnlyLeft",
                   0,
                   1,
                   120,
                   5,
                   QDate(2026, 3, 1),
                   Box{850, 92, 881, 123},
                   {{846, 92, 661, 92}, {846, 122, 661, 122}}},
        MarkerCase{"ClassicFirstColumnOnlyRight",
                   0,
                   1,
                   120,
                   5,
                   QDate(2026, 3, 2),
                   Box{658, 124, 689, 155},
                   {{692, 124, 883, 124}, {692, 154, 883, 154}}},
        MarkerCase{"VerticalLastRowNoDownLines",
                   1,
                   1,
                   120,
                   5,
                   QDate(2026, 3, 8),
                   Box{711, 378, 738, 405},
                   {{711, 376, 711, 216}, {737, 376, 737, 216}}},
        MarkerCase{"VerticalFirstRowNoUpLines",
                   1,
                   1,
                   120,
                   5,
                   QDate(2026, 3, 9),
                   Box{738, 27, 765, 54},
                   {{738, 56, 738, 216}, {764, 56, 764, 216}}},
        MarkerCase{"VerticalDownLinesStopAboveTheBottom",
                   1,
                   1,
                   120,
                   5,
                   QDate(2026, 3, 21),
                   Box{738, 351, 765, 378},
                   {{738, 349, 738, 216},
                    {764, 349, 764, 216},
                    {738, 380, 738, 402},
                    {764, 380, 764, 402}}},
        MarkerCase{"VerticalThirdColumn",
                   1,
                   1,
                   120,
                   5,
                   QDate(2026, 3, 31),
                   Box{765, 243, 792, 270},
                   {{765, 241, 765, 216},
                    {791, 241, 791, 216},
                    {765, 272, 765, 402},
                    {791, 272, 791, 402}}},
        MarkerCase{
            "HorizontalMiddle",
            2,
            1,
            0,
            0,
            QDate(2026, 4, 15),
            Box{238, 34, 255, 51},
            {{236, 34, 204, 34}, {236, 50, 204, 50}, {256, 34, 323, 34}, {256, 50, 323, 50}}},
        MarkerCase{"HorizontalFirstDayNoShortLeftLines",
                   2,
                   0,
                   0,
                   0,
                   QDate(2026, 4, 1),
                   Box{0, 34, 17, 51},
                   {{18, 34, 68, 34}, {18, 50, 68, 50}}},
        MarkerCase{"HorizontalLastDayNoShortRightLines",
                   2,
                   1,
                   0,
                   0,
                   QDate(2026, 4, 30),
                   Box{493, 34, 510, 51},
                   {{491, 34, 442, 34}, {491, 50, 442, 50}}},
        MarkerCase{
            "HorizontalRightLinesOfExactlyOneCell",
            2,
            1,
            0,
            0,
            QDate(2026, 4, 29),
            Box{476, 34, 493, 51},
            {{474, 34, 442, 34}, {474, 50, 442, 50}, {494, 34, 510, 34}, {494, 50, 510, 50}}}),
    [](const auto& info) { return std::string(info.param.name); });

class CalendarStyleTest : public CalendarDraw, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    CalendarDraw::SetUp();
    Cal().Style = static_cast<CalendarStyle>(GetParam());
    Cal().PosX = 10;
    Cal().PosY = 10;
    Mark(QDate(2026, 3, 11), 0);
    Mark(QDate(2026, 3, 11), 1);
    Mark(QDate(2026, 3, 11), 2);
    Mark(QDate(2026, 3, 25), 2);
  }
};

// Black, or black blended into the grey by a quarter or more: no text colour mixed with
// the grey comes this dark.
QList<QPoint> DarkPixels(const QImage& img) {
  QList<QPoint> out;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QRgb c = At(img, x, y);
      if (std::max({qRed(c), qGreen(c), qBlue(c)}) < 100) out << QPoint(x, y);
    }
  return out;
}

TEST_P(CalendarStyleTest, NoBlackWithoutShadowAndAShadowOneUpAndLeftWithIt) {
  Cal().DrawTextShadow = false;
  const QImage plain = Draw();
  EXPECT_TRUE(DarkPixels(plain).isEmpty());

  Cal().DrawTextShadow = true;
  const QImage shadowed = Draw();
  const QList<QPoint> dark = DarkPixels(shadowed);
  ASSERT_GT(dark.size(), 100);
  const CalendarBox r = CalendarRect(1024, 768, fakes.config, CalendarToday(fakes.clock));
  for (const QPoint& p : dark) {
    // Each dark pixel is the copy of a coloured one, one pixel down and right.
    ASSERT_NE(At(plain, p.x() + 1, p.y() + 1), kBackground) << p.x() << "," << p.y();
    // The Vertical title is written without a shadow.
    if (GetParam() == 1) {
      ASSERT_GE(p.x(), r.left + r.cell - 1);
    }
  }
}

TEST_P(CalendarStyleTest, DrawsNothingOutsideItsRectangle) {
  for (bool shadow : {false, true}) {
    Cal().DrawTextShadow = shadow;
    const QImage img = Draw();
    const CalendarBox r = CalendarRect(1024, 768, fakes.config, CalendarToday(fakes.clock));
    const int grow = shadow ? 1 : 0;  // the shadow of the top row and left column
    const int s = Cal().Size * 5 / 100;
    int changed = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) {
        if (At(img, x, y) == kBackground) continue;
        ++changed;
        const bool inside = x >= r.left - grow && x < r.right && y >= r.top - grow && y < r.bottom;
        // Vertical headings sit s pixels low, so the last one may reach below the rectangle.
        const bool lowHeading = GetParam() == 1 && x >= r.left + r.cell - grow &&
                                x < r.left + 2 * r.cell && y >= r.bottom && y < r.bottom + s;
        ASSERT_TRUE(inside || lowHeading) << "shadow " << shadow << " at " << x << "," << y;
      }
    EXPECT_GT(changed, 500);
  }
}

TEST_P(CalendarStyleTest, DrawsTheDotsOfMarkedDays) {
  Cal().DrawTextShadow = false;
  const QImage img = Draw();
  for (int s = 0; s < 3; ++s) EXPECT_FALSE(PixelsOf(img, RgbOf(DotColors[s])).isEmpty()) << s;
}

INSTANTIATE_TEST_SUITE_P(AllStyles, CalendarStyleTest, ::testing::Values(0, 1, 2));

double MeanX(const QList<QPoint>& ps) {
  double sum = 0;
  for (const QPoint& p : ps) sum += p.x();
  return ps.isEmpty() ? -1 : sum / ps.size();
}
double MeanY(const QList<QPoint>& ps) {
  double sum = 0;
  for (const QPoint& p : ps) sum += p.y();
  return ps.isEmpty() ? -1 : sum / ps.size();
}

TEST_F(CalendarDraw, DotsAreRoundRedYellowGreenAndCentredOnTheDay) {
  // Classic at (0, 0), Size 100: cell 65, dots 13 pixels apart.
  Cal().Size = 100;
  Cal().PosX = 0;
  Cal().PosY = 0;
  Cal().DrawTextShadow = false;
  Mark(QDate(2026, 3, 11), 2);  // stored out of order on purpose
  Mark(QDate(2026, 3, 11), 0);
  Mark(QDate(2026, 3, 11), 1);
  Mark(QDate(2026, 3, 12), 2);
  const QImage img = Draw();
  // The 11th is a Wednesday in row 2: box {130, 260, 195, 325}; three dots from x 143.
  // The 12th: box {195, 260, 260, 325}; one green dot from x 221. All between y 309 and 322.
  const QList<QPoint> greens = PixelsOf(img, RgbOf(DotColors[2]));
  QList<QPoint> green11, green12;
  for (const QPoint& p : greens) (p.x() < 195 ? green11 : green12) << p;
  const std::vector<std::pair<QList<QPoint>, double>> dots = {
      {PixelsOf(img, RgbOf(DotColors[0])), 149.5},
      {PixelsOf(img, RgbOf(DotColors[1])), 162.5},
      {green11, 175.5},
      {green12, 227.5}};
  for (const auto& [pixels, centre] : dots) {
    ASSERT_FALSE(pixels.isEmpty());
    EXPECT_NEAR(MeanX(pixels), centre, 0.75);
    EXPECT_NEAR(MeanY(pixels), 315.5, 0.75);
    // A round dot, not a letter: as wide as it is high.
    int minX = INT_MAX, maxX = INT_MIN, minY = INT_MAX, maxY = INT_MIN;
    for (const QPoint& p : pixels) {
      minX = std::min(minX, p.x()), maxX = std::max(maxX, p.x());
      minY = std::min(minY, p.y()), maxY = std::max(maxY, p.y());
    }
    EXPECT_LE(std::abs((maxX - minX) - (maxY - minY)), 1);
    EXPECT_GE(maxX - minX, 5);
  }
}

TEST_F(CalendarDraw, ClassicLeavesTheSpareLastRowEmpty) {
  // May 2026 ends on a Sunday, the last column: the rectangle's last row holds no day.
  SetToday(QDate(2026, 5, 31));
  Cal().DrawTextShadow = false;
  Mark(QDate(2026, 5, 31), 0);
  const QImage img = Draw();
  const CalendarBox r = CalendarRect(1024, 768, fakes.config, CalendarToday(fakes.clock));
  ASSERT_EQ(r.bottom - r.top, 8 * r.cell);
  int lastRow = 0, rowAbove = 0;
  for (int y = r.bottom - r.cell; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) lastRow += At(img, x, y) != kBackground;
  for (int y = r.bottom - 2 * r.cell; y < r.bottom - r.cell; ++y)
    for (int x = r.left; x < r.right; ++x) rowAbove += At(img, x, y) != kBackground;
  EXPECT_EQ(lastRow, 0);
  EXPECT_GT(rowAbove, 0);
}

TEST_F(CalendarDraw, VerticalTitleClimbsColumnZeroFromNearTheBottom) {
  Cal().Style = CalendarStyle::Vertical;
  Cal().DrawTextShadow = true;
  const QImage img = Draw();
  const CalendarBox r = CalendarRect(1024, 768, fakes.config, CalendarToday(fakes.clock));
  const int h = r.cell * 8 / 10;
  const QList<QPoint> title = PixelsOf(img, RgbOf(Cal().ColorMonthYear));
  ASSERT_FALSE(title.isEmpty());
  int minY = INT_MAX, maxY = INT_MIN;
  for (const QPoint& p : title) {
    EXPECT_GE(p.x(), r.left + 4);
    EXPECT_LT(p.x(), r.left + 4 + h);
    minY = std::min(minY, p.y()), maxY = std::max(maxY, p.y());
  }
  EXPECT_LT(maxY, r.bottom - h / 2);
  EXPECT_GT(maxY, r.bottom - h / 2 - 8);
  EXPECT_GT(maxY - minY, 4 * h);
}

TEST_F(CalendarDraw, VerticalHeadingsSitBelowTheTopByAFractionOfTheSize) {
  Cal().Style = CalendarStyle::Vertical;
  Cal().DrawTextShadow = false;
  for (const auto& [size, s] : {std::pair{50, 2}, {100, 5}}) {
    Cal().Size = size;
    const QImage img = Draw();
    const CalendarBox r = CalendarRect(1024, 768, fakes.config, CalendarToday(fakes.clock));
    // The first heading, drawn on its own where it belongs.
    QImage ref = GreyCanvas();
    {
      GdiCanvas dc(ref);
      dc.SetFont(FontForCellHeight(Cal().Font, FontSmall(r.cell)));
      dc.DrawText("Mo", Cal().ColorDayNames,
                  Box{r.left + r.cell, r.top + s, r.left + 2 * r.cell, r.top + s + r.cell},
                  kCalendarTextFormat);
    }
    int differing = 0, drawn = 0;
    for (int y = r.top; y < r.top + s + r.cell; ++y)
      for (int x = r.left + r.cell; x < r.left + 2 * r.cell; ++x) {
        differing += At(img, x, y) != At(ref, x, y);
        drawn += At(ref, x, y) != kBackground;
      }
    EXPECT_GT(drawn, 20) << size;
    EXPECT_EQ(differing, 0) << size;
  }
}

struct BadCase {
  const char* name;
  int style, size, posX;
  bool rectEmpty, drawsOnCanvas;
};

class CalendarBadSettings : public CalendarDraw, public ::testing::WithParamInterface<BadCase> {};

TEST_P(CalendarBadSettings, DrawSafely) {
  const BadCase& c = GetParam();
  Cal().Style = static_cast<CalendarStyle>(c.style);
  Cal().Size = c.size;
  Cal().PosX = c.posX;
  Cal().PosY = 0;
  EXPECT_EQ(CalendarRect(1024, 768, fakes.config, CalendarToday(fakes.clock)).isEmpty(),
            c.rectEmpty);
  EXPECT_EQ(Draw() != GreyCanvas(), c.drawsOnCanvas);
}

INSTANTIATE_TEST_SUITE_P(
    Values, CalendarBadSettings,
    ::testing::Values(BadCase{"UnknownStyle", 3, 50, 0, true, false},
                      BadCase{"NegativeStyle", -2, 50, 0, true, false},
                      BadCase{"ZeroSize", 0, 0, 0, true, false},
                      BadCase{"NegativeSize", 1, -40, 0, true, false},
                      BadCase{"AbsurdSize", 2, INT_MAX, 0, true, false},
                      // Larger than the canvas: the day names of the top-left cells show.
                      BadCase{"LargerThanTheCanvas", 0, 1000, 0, false, true},
                      // Everything lies beyond the canvas, and is clipped away.
                      BadCase{"FarLargerThanTheCanvas", 0, 1000000, 0, false, false},
                      // The first-run position puts a horizontal strip past the right edge.
                      BadCase{"HorizontalPastTheEdge", 2, 50, 120, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CalendarDraw, PaintsOnTheCanvasFormatsOfTheComposer) {
  for (QImage::Format f : {QImage::Format_RGB888, QImage::Format_ARGB32, QImage::Format_RGB32}) {
    QImage img(640, 480, f);
    img.fill(Qt::gray);
    const QImage before = img;
    DrawCalendar(img, 640, 480, fakes.config, CalendarToday(fakes.clock));
    EXPECT_NE(img, before) << f;
  }
}
}  // namespace
