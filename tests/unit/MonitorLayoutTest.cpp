#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/Monitors.h"
#include "wallpaper/MonitorLayout.h"

using ::testing::ElementsAre;

namespace {
struct LayoutCase {
  const char* what;
  QList<LogicalMonitor> logical;
  QString primary;
  MonitorList expected;
};
class PlacingMonitors : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(PlacingMonitors, PutsEachMonitorAtItsDevicePixels) {
  const LayoutCase& c = GetParam();
  EXPECT_EQ(PlaceInDevicePixels(c.logical, c.primary), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    MonitorSets, PlacingMonitors,
    ::testing::Values(
        LayoutCase{"one",
                   {{"A", QRect(0, 0, 1920, 1080), QSize(1920, 1080)}},
                   {},
                   {{"A", QRect(0, 0, 1920, 1080), true}}},
        LayoutCase{"two side by side",
                   {{"A", QRect(0, 0, 1920, 1080), QSize(1920, 1080)},
                    {"B", QRect(1920, 0, 1280, 1024), QSize(1280, 1024)}},
                   {},
                   {{"A", QRect(0, 0, 1920, 1080), true},
                    {"B", QRect(1920, 0, 1280, 1024), false}}},
        LayoutCase{"stacked, the lower one named primary",
                   {{"A", QRect(0, 0, 1920, 1080), QSize(1920, 1080)},
                    {"B", QRect(0, 1080, 1920, 1200), QSize(1920, 1200)}},
                   "B",
                   {{"A", QRect(0, 0, 1920, 1080), false},
                    {"B", QRect(0, 1080, 1920, 1200), true}}},
        LayoutCase{"scale 2 on the left pushes its neighbour by its device width",
                   {{"A", QRect(0, 0, 1280, 720), QSize(2560, 1440)},
                    {"B", QRect(1280, 0, 1920, 1080), QSize(1920, 1080)}},
                   {},
                   {{"A", QRect(0, 0, 2560, 1440), true},
                    {"B", QRect(2560, 0, 1920, 1080), false}}},
        LayoutCase{"scale 2 on the right stays where it is",
                   {{"B", QRect(0, 0, 1920, 1080), QSize(1920, 1080)},
                    {"A", QRect(1920, 0, 1280, 720), QSize(2560, 1440)}},
                   {},
                   {{"B", QRect(0, 0, 1920, 1080), true},
                    {"A", QRect(1920, 0, 2560, 1440), false}}},
        LayoutCase{"fractional scale: the mode, never the layout size times a rounded scale",
                   {{"A", QRect(0, 0, 1707, 960), QSize(2560, 1440)},
                    {"B", QRect(0, 960, 1920, 1080), QSize(1920, 1080)}},
                   {},
                   {{"A", QRect(0, 0, 2560, 1440), true},
                    {"B", QRect(0, 1440, 1920, 1080), false}}},
        LayoutCase{"rotated to portrait beside a landscape one",
                   {{"P", QRect(0, 0, 1080, 1920), QSize(1080, 1920)},
                    {"L", QRect(1080, 420, 1920, 1080), QSize(1920, 1080)}},
                   {},
                   {{"P", QRect(0, 0, 1080, 1920), true},
                    {"L", QRect(1080, 420, 1920, 1080), false}}},
        LayoutCase{"negative origins: left of and above the primary",
                   {{"M", QRect(0, 0, 1920, 1080), QSize(1920, 1080)},
                    {"L", QRect(-1280, 0, 1280, 720), QSize(2560, 1440)},
                    {"T", QRect(0, -1024, 1280, 1024), QSize(1280, 1024)}},
                   "M",
                   {{"M", QRect(1280, 0, 1920, 1080), true},
                    {"L", QRect(-1280, 0, 2560, 1440), false},
                    {"T", QRect(0, -1024, 1280, 1024), false}}},
        LayoutCase{"a gap between monitors stays",
                   {{"A", QRect(0, 0, 1920, 1080), QSize(1920, 1080)},
                    {"B", QRect(2000, 0, 1920, 1080), QSize(1920, 1080)}},
                   {},
                   {{"A", QRect(0, 0, 1920, 1080), true},
                    {"B", QRect(2000, 0, 1920, 1080), false}}},
        LayoutCase{"a primary name no monitor has: the first",
                   {{"A", QRect(0, 0, 800, 600), QSize(800, 600)},
                    {"B", QRect(800, 0, 800, 600), QSize(800, 600)}},
                   "GONE",
                   {{"A", QRect(0, 0, 800, 600), true}, {"B", QRect(800, 0, 800, 600), false}}}));

TEST(SwayMonitors, AreTheActiveOutputsAtTheirModesTurnedByTheirTransforms) {
  // As swaymsg -r -t get_outputs answers (trimmed): a scale-1.5 output turned by 90 degrees,
  // one switched off, one at scale 2 flipped and turned by 270.
  const QString json = R"([
    {"name": "HEADLESS-1", "active": true, "scale": 1.5, "transform": "90",
     "rect": {"x": 0, "y": 0, "width": 960, "height": 1707},
     "current_mode": {"width": 2560, "height": 1440, "refresh": 60000}},
    {"name": "HDMI-A-1", "active": false, "rect": {"x": 0, "y": 0, "width": 0, "height": 0}},
    {"name": "HEADLESS-2", "active": true, "scale": 2.0, "transform": "flipped-270",
     "rect": {"x": 960, "y": 0, "width": 540, "height": 960},
     "current_mode": {"width": 1920, "height": 1080, "refresh": 60000}},
    {"name": "HEADLESS-3", "active": true, "scale": 1.0, "transform": "normal",
     "rect": {"x": 1500, "y": 0, "width": 1280, "height": 720}}
  ])";
  EXPECT_THAT(SwayMonitors(json), ElementsAre(Monitor{"HEADLESS-1", QRect(0, 0, 1440, 2560), true},
                                              Monitor{"HEADLESS-2", QRect(1440, 0, 1080, 1920), false},
                                              Monitor{"HEADLESS-3", QRect(2520, 0, 1280, 720), false}));
  EXPECT_TRUE(SwayMonitors(json, "HEADLESS-2")[1].primary);
  EXPECT_FALSE(SwayMonitors(json, "HEADLESS-2")[0].primary);
  EXPECT_TRUE(SwayMonitors(QStringLiteral("not json")).isEmpty());
}

TEST(MonitorPictures, ThePrimaryComesFirstWithTheCalendarAndTheMainFile) {
  const MonitorList monitors{{"DP-1", QRect(0, 0, 1920, 1080), false},
                             {"eDP-1", QRect(1920, 0, 2560, 1600), true},
                             {"HDMI A/1", QRect(-1280, 0, 1280, 1024), false},
                             {"HDMI A:1", QRect(-2560, 0, 1280, 1024), false}};
  const QList<MonitorJob> jobs = PlanMonitorPictures(monitors, "/d/Quillatorne.bmp", QSize());
  ASSERT_EQ(jobs.size(), 4);
  EXPECT_EQ(jobs[0].monitor, monitors[1]);
  EXPECT_TRUE(jobs[0].calendar);
  EXPECT_EQ(jobs[0].file, "/d/Quillatorne.bmp");
  EXPECT_EQ(jobs[1].file, "/d/Quillatorne-DP-1.bmp");
  EXPECT_EQ(jobs[2].file, "/d/Quillatorne-HDMI_A_1.bmp");
  // Made the same by the file-name rule, kept apart all the same.
  EXPECT_EQ(jobs[3].file, "/d/Quillatorne-HDMI_A_1-2.bmp");
  for (int i = 1; i < 4; ++i) {
    EXPECT_FALSE(jobs[i].calendar);
    EXPECT_FALSE(jobs[i].monitor.primary);
  }
}

TEST(MonitorPictures, NoMonitorsKnownIsOneOfTheFallbackSize) {
  const QList<MonitorJob> jobs = PlanMonitorPictures({}, "/d/Quillatorne.bmp", QSize(1024, 768));
  ASSERT_EQ(jobs.size(), 1);
  EXPECT_EQ(jobs[0].monitor.rect, QRect(0, 0, 1024, 768));
  EXPECT_TRUE(jobs[0].calendar);
}

TEST(SafeFileNamePart, KeepsOnlyWhatIsSafeInAFileName) {
  EXPECT_EQ(SafeFileNamePart("HDMI-A-1"), "HDMI-A-1");
  EXPECT_EQ(SafeFileNamePart("../../etc/passwd"), "______etc_passwd");
  EXPECT_EQ(SafeFileNamePart("-rf"), "_rf");
  EXPECT_EQ(SafeFileNamePart("Écran 2"), "_cran_2");
  EXPECT_EQ(SafeFileNamePart(""), "monitor");
  EXPECT_EQ(SafeFileNamePart(QString(300, 'x')).size(), 64);
}

struct SpanCase {
  const char* what;
  MonitorList monitors;
  QSize size;
  QList<QRect> regions;
};
class SpanningMonitors : public ::testing::TestWithParam<SpanCase> {};

TEST_P(SpanningMonitors, TheBoxOfAllMonitorsEachAtItsPlace) {
  const SpanCase& c = GetParam();
  const SpannedLayout layout = SpanMonitors(c.monitors);
  EXPECT_EQ(layout.size, c.size) << c.what;
  EXPECT_EQ(layout.regions, c.regions) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    MonitorSets, SpanningMonitors,
    ::testing::Values(
        SpanCase{"one", {{"A", QRect(0, 0, 1920, 1080), true}}, QSize(1920, 1080),
                 {QRect(0, 0, 1920, 1080)}},
        SpanCase{"side by side of different heights",
                 {{"A", QRect(0, 0, 2560, 1440), true}, {"B", QRect(2560, 0, 1920, 1080), false}},
                 QSize(4480, 1440),
                 {QRect(0, 0, 2560, 1440), QRect(2560, 0, 1920, 1080)}},
        SpanCase{"stacked",
                 {{"A", QRect(0, 0, 1920, 1080), true}, {"B", QRect(0, 1080, 1280, 1024), false}},
                 QSize(1920, 2104),
                 {QRect(0, 0, 1920, 1080), QRect(0, 1080, 1280, 1024)}},
        SpanCase{"negative origin and a portrait one",
                 {{"A", QRect(0, 0, 1920, 1080), true}, {"P", QRect(-1080, -420, 1080, 1920), false}},
                 QSize(3000, 1920),
                 {QRect(1080, 420, 1920, 1080), QRect(0, 0, 1080, 1920)}}));

TEST(SpannedPicture, EachMonitorsPictureInItsRegionAndBlackBetween) {
  QImage left(40, 30, QImage::Format_RGB32), right(20, 50, QImage::Format_RGB32);
  left.fill(qRgb(200, 10, 10));
  right.fill(qRgb(10, 10, 200));
  const QImage spanned =
      SpannedPicture({{{"L", QRect(-40, 10, 40, 30), true}, "l.bmp", left},
                      {{"R", QRect(0, 0, 20, 50), false}, "r.bmp", right}});
  ASSERT_EQ(spanned.size(), QSize(60, 50));
  EXPECT_EQ(spanned.pixel(0, 10), qRgb(200, 10, 10));
  EXPECT_EQ(spanned.pixel(39, 39), qRgb(200, 10, 10));
  EXPECT_EQ(spanned.pixel(40, 0), qRgb(10, 10, 200));
  EXPECT_EQ(spanned.pixel(59, 49), qRgb(10, 10, 200));
  EXPECT_EQ(spanned.pixel(0, 9), qRgb(0, 0, 0));
  EXPECT_EQ(spanned.pixel(39, 40), qRgb(0, 0, 0));
}
}  // namespace
