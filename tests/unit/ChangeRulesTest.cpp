#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTimeZone>
#include <functional>

#include "TestJpeg.h"
#include "platform/DateTime.h"
#include "settings/Config.h"
#include "support/Fakes.h"
#include "support/TempHome.h"
#include "wallpaper/BmpWriter.h"
#include "wallpaper/ChangeRules.h"
#include "wallpaper/Compose.h"
#include "wallpaper/ImageCatalogue.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {
// Three pictures in one source folder and a small screen; the clock at 2026-03-15 10:00.
class ChangeRules : public ::testing::Test {
 protected:
  void SetUp() override {
    fakes_.desktop.screen = QSize(64, 48);
    fakes_.config = Config(fakes_.desktop.screen);
    folder_ = home_.path() + "/pictures";
    QDir().mkpath(folder_);
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
      ASSERT_TRUE(WriteFlatJpeg(folder_ + "/" + name, 32, 24, qRgb(40, 90, 200)));
    }
    fakes_.config.WallpaperConfig.Paths = {folder_};
    catalogue_ = BuildImageCatalogue(fakes_.config.WallpaperConfig.Paths);
    ASSERT_EQ(catalogue_.size(), 3);
  }
  void TearDown() override { fakes_.config = Config(QSize(1024, 768)); }

  // As if the last apply happened on the given date with that image.
  void LastApplied(const QString& image, QDate date) {
    auto& p = fakes_.config.ProgramConfig;
    p.LastImageFileName = image;
    p.LastDay = date.day();
    p.LastMonth = date.month();
    p.LastYear = date.year();
  }
  QString LastImage() const { return fakes_.config.ProgramConfig.LastImageFileName; }

  // The rules as the program runs them: the tick's and start-up's guarded, every failure
  // shown in its box.
  void Automatic(const std::function<WallpaperErrors()>& change) {
    RunAutomaticChange(memory_, fakes_.messages, change);
  }
  void ChooseStartupWallpaper() {
    Automatic([this] { return ::ChooseStartupWallpaper(fakes_.config, fakes_.services, memory_); });
  }
  void CheckTimedChange() {
    Automatic([this] { return ::CheckTimedChange(fakes_.config, fakes_.services, memory_); });
  }
  void CheckDayChange() {
    Automatic([this] { return ::CheckDayChange(fakes_.config, fakes_.services, memory_); });
  }
  void RefreshWallpaper() {
    ShowWallpaperErrors(::RefreshWallpaper(fakes_.config, fakes_.services, memory_),
                        fakes_.messages);
  }
  void SetChosenWallpaper(const QString& path) {
    ShowWallpaperErrors(::SetChosenWallpaper(path, fakes_.config, fakes_.services, memory_),
                        fakes_.messages);
  }
  void PickWallpaper(bool random) {
    ShowWallpaperErrors(::PickWallpaper(random, fakes_.config, fakes_.services, memory_),
                        fakes_.messages);
  }
  QDate Today() const { return fakes_.clock.now.date(); }

  FakeServices fakes_;
  ChangeRuleMemory memory_;  // each test is a run of its own
  TempHome home_;
  QString folder_;
  QStringList catalogue_;
};
}  // namespace

TEST_F(ChangeRules, RuleOneInstallsARandomPictureAtStartUp) {
  fakes_.config.WallpaperConfig.ChangeRule = WallpaperChangeRule::RandomOnStartup;
  fakes_.random.values = {32767};  // 32767 % 3 == 1
  LastApplied(catalogue_[0], Today());
  ChooseStartupWallpaper();
  EXPECT_EQ(LastImage(), catalogue_[1]);
  EXPECT_THAT(fakes_.desktop.installed, ElementsAre(WallpaperFilePath()));
  EXPECT_DOUBLE_EQ(fakes_.config.DynamicConfig.LastSetTime, NowDays(fakes_.clock));
  // Afterwards only the day check runs: the same image the next day, no timed change.
  CheckTimedChange();
  EXPECT_EQ(fakes_.desktop.installed.size(), 1);
  fakes_.clock.Advance(24 * 3600);
  CheckDayChange();
  EXPECT_EQ(LastImage(), catalogue_[1]);
  EXPECT_EQ(fakes_.desktop.installed.size(), 2);
}

struct StartupCase {
  int rule;
  int daysSinceLastApply;
  int installs;
};
class StartupRule : public ChangeRules, public ::testing::WithParamInterface<StartupCase> {};

TEST_P(StartupRule, OtherRulesOnlyRefreshWhenTheDateChanged) {
  const StartupCase& c = GetParam();
  fakes_.config.WallpaperConfig.ChangeRule = static_cast<WallpaperChangeRule>(c.rule);
  LastApplied(catalogue_[2], Today().addDays(-c.daysSinceLastApply));
  ChooseStartupWallpaper();
  EXPECT_EQ(fakes_.desktop.installed.size(), c.installs);
  EXPECT_EQ(LastImage(), catalogue_[2]);  // never another picture
  const auto& p = fakes_.config.ProgramConfig;
  const QDate expected = c.installs ? Today() : Today().addDays(-c.daysSinceLastApply);
  EXPECT_EQ(QDate(p.LastYear, p.LastMonth, p.LastDay), expected);
}

INSTANTIATE_TEST_SUITE_P(Rules, StartupRule,
                         ::testing::Values(StartupCase{0, 0, 0}, StartupCase{0, 1, 1},
                                           StartupCase{2, 0, 0}, StartupCase{2, 31, 1},
                                           StartupCase{7, 0, 0}, StartupCase{7, 365, 1}));

TEST_F(ChangeRules, RuleTwoChangesOnTheFirstTickOfARunStartedTheSameDay) {
  fakes_.config.WallpaperConfig.ChangeRule = WallpaperChangeRule::RandomByTime;
  LastApplied(catalogue_[0], Today());
  ChooseStartupWallpaper();
  EXPECT_THAT(fakes_.desktop.installed, IsEmpty());
  fakes_.random.values = {2};
  CheckTimedChange();
  CheckDayChange();
  EXPECT_EQ(LastImage(), catalogue_[2]);
  EXPECT_EQ(fakes_.desktop.installed.size(), 1);
}

TEST_F(ChangeRules, RuleTwoOnALaterDayRefreshesAtStartUpAndChangesOneDelayLater) {
  fakes_.config.WallpaperConfig.ChangeRule = WallpaperChangeRule::RandomByTime;
  fakes_.config.WallpaperConfig.ChangeDelay = 2;  // one minute
  LastApplied(catalogue_[0], Today().addDays(-1));
  ChooseStartupWallpaper();
  EXPECT_EQ(fakes_.desktop.installed.size(), 1);
  fakes_.random.values = {1};
  fakes_.clock.Advance(59);
  CheckTimedChange();
  EXPECT_EQ(LastImage(), catalogue_[0]);
  fakes_.clock.Advance(2);
  CheckTimedChange();
  EXPECT_EQ(LastImage(), catalogue_[1]);
  EXPECT_EQ(fakes_.desktop.installed.size(), 2);
}

struct DelayCase {
  int rule;
  int delayIndex;
  int secondsLater;
  bool changes;
};
class TimedChange : public ChangeRules, public ::testing::WithParamInterface<DelayCase> {};

TEST_P(TimedChange, WaitsForTheDelayAfterTheLastApply) {
  const DelayCase& c = GetParam();
  fakes_.config.WallpaperConfig.ChangeRule = static_cast<WallpaperChangeRule>(c.rule);
  fakes_.config.WallpaperConfig.ChangeDelay = c.delayIndex;
  ApplyWallpaper(catalogue_[0], fakes_.config, fakes_.services);  // any apply restarts the delay
  fakes_.random.values = {1};
  fakes_.clock.Advance(c.secondsLater);
  CheckTimedChange();
  EXPECT_EQ(LastImage(), c.changes ? catalogue_[1] : catalogue_[0]);
  EXPECT_EQ(fakes_.desktop.installed.size(), c.changes ? 2 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Delays, TimedChange,
    ::testing::Values(DelayCase{2, 0, 4, false}, DelayCase{2, 0, 6, true},
                      DelayCase{2, 10, 10790, false}, DelayCase{2, 10, 10810, true},
                      DelayCase{2, 14, 172790, false}, DelayCase{2, 14, 172810, true},
                      // Out of range counts as three hours.
                      DelayCase{2, 99, 10790, false}, DelayCase{2, -1, 10810, true},
                      DelayCase{0, 0, 100000, false}, DelayCase{1, 0, 100000, false}));

TEST_F(ChangeRules, DayCheckReappliesTheCurrentImageAfterMidnight) {
  fakes_.config.WallpaperConfig.ChangeRule = WallpaperChangeRule::Never;
  fakes_.clock.now = QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59));
  ApplyWallpaper(catalogue_[1], fakes_.config, fakes_.services);
  CheckDayChange();
  EXPECT_EQ(fakes_.desktop.installed.size(), 1);
  fakes_.clock.Advance(2);
  CheckDayChange();
  EXPECT_EQ(fakes_.desktop.installed.size(), 2);
  EXPECT_EQ(LastImage(), catalogue_[1]);
  const auto& p = fakes_.config.ProgramConfig;
  EXPECT_EQ(QDate(p.LastYear, p.LastMonth, p.LastDay), QDate(2027, 1, 1));
}

TEST_F(ChangeRules, RefreshFallsBackToTheSelectedImageThenDoesNothing) {
  LastApplied(folder_ + "/deleted.jpg", Today().addDays(-1));
  fakes_.config.DynamicConfig.SelectedImage = catalogue_[2];
  RefreshWallpaper();
  EXPECT_EQ(LastImage(), catalogue_[2]);
  EXPECT_EQ(fakes_.desktop.installed.size(), 1);

  // Neither exists: nothing happens and the date stays old, so every tick tries again.
  const QDate yesterday = Today().addDays(-1);
  LastApplied(folder_ + "/deleted.jpg", yesterday);
  fakes_.config.DynamicConfig.SelectedImage = folder_;  // a folder is no image either
  CheckDayChange();
  CheckDayChange();
  EXPECT_EQ(fakes_.desktop.installed.size(), 1);
  EXPECT_EQ(fakes_.config.ProgramConfig.LastDay, yesterday.day());
  EXPECT_THAT(fakes_.messages.calls, IsEmpty());
}

TEST_F(ChangeRules, AFirstRunDrawsTheStoredSelectionBeforeThePageHasTakenItUp) {
  fakes_.config.WallpaperConfig.ChangeRule = WallpaperChangeRule::Never;
  fakes_.config.WallpaperConfig.SelPath = folder_;
  fakes_.config.WallpaperConfig.SelFile = QFileInfo(catalogue_[2]).fileName();
  ASSERT_TRUE(fakes_.config.DynamicConfig.SelectedImage.isEmpty());
  CheckDayChange();
  EXPECT_EQ(LastImage(), catalogue_[2]);
  EXPECT_EQ(fakes_.desktop.installed.size(), 1);
}

struct NextCase {
  int current;  // index into the catalogue; -1 a picture not in it
  bool upperCase;
  int expected;
};
class NextPicture : public ChangeRules, public ::testing::WithParamInterface<NextCase> {};

TEST_P(NextPicture, FollowsTheCurrentImageWrappingAndIgnoringCase) {
  const NextCase& c = GetParam();
  QString current = c.current < 0 ? home_.path() + "/elsewhere/x.jpg" : catalogue_[c.current];
  if (c.upperCase) current = current.toUpper();
  fakes_.config.ProgramConfig.LastImageFileName = current;
  PickWallpaper(false);
  EXPECT_EQ(LastImage(), catalogue_[c.expected]);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, NextPicture,
                         ::testing::Values(NextCase{0, false, 1}, NextCase{1, true, 2},
                                           NextCase{2, false, 0}, NextCase{2, true, 0},
                                           NextCase{-1, false, 0}));

TEST_F(ChangeRules, NextWithARepeatedFolderFollowsTheFirstListing) {
  fakes_.config.WallpaperConfig.Paths = {folder_, folder_};
  QStringList visited;
  fakes_.config.ProgramConfig.LastImageFileName = catalogue_[2];
  for (int i = 0; i < 4; ++i) {
    PickWallpaper(false);
    visited << LastImage();
  }
  // The lookup finds the first copy, so the second copy's turn never comes: each picture
  // follows its predecessor in the first listing.
  EXPECT_THAT(visited, ElementsAre(catalogue_[0], catalogue_[1], catalogue_[2], catalogue_[0]));
}

TEST_F(ChangeRules, AnEmptyCatalogueDoesNothing) {
  fakes_.config.WallpaperConfig.Paths = {home_.path() + "/no-such-folder"};
  fakes_.config.ProgramConfig.LastImageFileName = catalogue_[0];
  PickWallpaper(true);
  PickWallpaper(false);
  EXPECT_THAT(fakes_.desktop.installed, IsEmpty());
  EXPECT_THAT(fakes_.messages.calls, IsEmpty());
  EXPECT_EQ(LastImage(), catalogue_[0]);
}

TEST_F(ChangeRules, AnUndecodablePictureIsReportedOnceAndTheGoodOnesKeepChanging) {
  fakes_.config.WallpaperConfig.ChangeRule = WallpaperChangeRule::RandomByTime;
  fakes_.config.WallpaperConfig.ChangeDelay = 0;  // five seconds
  const QString broken = home_.write("pictures/broken.jpg", "this is not a picture");
  const QStringList catalogue = BuildImageCatalogue(fakes_.config.WallpaperConfig.Paths);
  ASSERT_EQ(catalogue.size(), 4);
  const int brokenAt = static_cast<int>(catalogue.indexOf(broken));
  ASSERT_GE(brokenAt, 0);
  // The first pick is the broken picture; later values would pick it again and again if it
  // were still a candidate.
  fakes_.random.values = {brokenAt};
  for (int i = 0; i < 40; ++i) fakes_.random.values << i;
  // The error box keeps the event loop and so the tick running: nested ticks must open no
  // second box.
  QList<qsizetype> installedWhenShown;
  fakes_.messages.answer = [&](const FakeMessageBoxes::Call&) {
    installedWhenShown << fakes_.desktop.installed.size();
    fakes_.clock.Advance(10);
    CheckTimedChange();
    CheckDayChange();
    return IDOK;
  };
  QStringList shown;
  for (int tick = 0; tick < 12; ++tick) {
    CheckTimedChange();
    shown << LastImage();
    fakes_.clock.Advance(6);
  }
  ASSERT_EQ(fakes_.messages.calls.size(), 1);
  EXPECT_EQ(fakes_.messages.calls[0].caption, "Quillatorne");
  EXPECT_EQ(fakes_.messages.calls[0].flags, MB_OK | MB_ICONERROR);
  EXPECT_THAT(fakes_.messages.calls[0].text.toStdString(), ::testing::HasSubstr("broken.jpg"));
  // Told after a good picture was installed in the same tick.
  EXPECT_THAT(installedWhenShown, ElementsAre(1));
  EXPECT_EQ(fakes_.desktop.installed.size(), 12);
  EXPECT_FALSE(shown.contains(broken));
  EXPECT_GE(QSet<QString>(shown.begin(), shown.end()).size(), 2);

  // Next and random leave it out as well.
  fakes_.config.ProgramConfig.LastImageFileName = catalogue[(brokenAt + 3) % 4];
  PickWallpaper(false);
  EXPECT_EQ(LastImage(), catalogue[(brokenAt + 1) % 4]);
  EXPECT_EQ(fakes_.messages.calls.size(), 1);
}

// The rules only say what went wrong; whoever runs them decides how the user is told.
TEST_F(ChangeRules, TheRulesReturnTheirFailuresInOrderAndOpenNoBox) {
  const QString broken = home_.write("pictures/broken.jpg", "not a picture");
  const QString gone = home_.path() + "/gone.jpg";
  WallpaperErrors errors = ::SetChosenWallpaper(broken, fakes_.config, fakes_.services, memory_);
  errors << ::SetChosenWallpaper(gone, fakes_.config, fakes_.services, memory_);
  ASSERT_EQ(errors.size(), 2);
  EXPECT_EQ(errors[0].kind, WallpaperError::Decode);
  EXPECT_EQ(errors[0].path, broken);
  EXPECT_EQ(errors[1].kind, WallpaperError::MissingImage);
  EXPECT_EQ(errors[1].path, gone);
  EXPECT_THAT(fakes_.messages.calls, IsEmpty());
  EXPECT_THAT(fakes_.desktop.installed, IsEmpty());
}

TEST_F(ChangeRules, SettingAnUndecodablePictureReportsItEveryTime) {
  const QString broken = home_.write("pictures/broken.jpg", QByteArray());
  for (int i = 1; i <= 2; ++i) {
    SetChosenWallpaper(broken);
    ASSERT_EQ(fakes_.messages.calls.size(), i);
    EXPECT_THAT(fakes_.messages.calls.last().text.toStdString(),
                ::testing::HasSubstr("broken.jpg"));
  }
  EXPECT_THAT(fakes_.desktop.installed, IsEmpty());
  // A missing one says so in its own box.
  SetChosenWallpaper(home_.path() + "/gone.jpg");
  EXPECT_EQ(fakes_.messages.calls.last().caption, "Quillatorne Error");
}

TEST_F(ChangeRules, WhenEveryPictureFailsTheTimedChangeWaitsForTheNextInterval) {
  fakes_.config.WallpaperConfig.ChangeRule = WallpaperChangeRule::RandomByTime;
  fakes_.config.WallpaperConfig.ChangeDelay = 2;  // one minute
  fakes_.config.WallpaperConfig.Paths = {home_.path() + "/bad"};
  const QString first = home_.write("bad/one.jpg", "not a picture");
  home_.write("bad/two.jpg", "nor this");
  CheckTimedChange();
  EXPECT_EQ(fakes_.messages.calls.size(), 2);  // each told once
  EXPECT_EQ(fakes_.config.DynamicConfig.LastSetTime, 0.0);
  // Mended meanwhile: still nothing until the minute is over, and no more boxes.
  QFile::remove(first);
  ASSERT_TRUE(WriteFlatJpeg(first, 16, 16, qRgb(10, 200, 30)));
  for (int second = 0; second < 59; ++second) {
    fakes_.clock.Advance(1);
    CheckTimedChange();
  }
  EXPECT_THAT(fakes_.desktop.installed, IsEmpty());
  fakes_.clock.Advance(2);
  CheckTimedChange();
  EXPECT_EQ(LastImage(), first);
  EXPECT_EQ(fakes_.desktop.installed.size(), 1);
  EXPECT_EQ(fakes_.messages.calls.size(), 2);
}

// Every picture fails at a timed change; then the picture is mended and the interval changed
// on the rules page. The next try is measured with the interval as it is now.
struct RetryCase {
  const char* name;
  int delayAtFailure, delayAfter;  // indexes into the interval list
  int secondsLater;
  bool changes;
};
void PrintTo(const RetryCase& c, std::ostream* os) { *os << c.name; }

class RetryAfterFailure : public ChangeRules, public ::testing::WithParamInterface<RetryCase> {};

TEST_P(RetryAfterFailure, FollowsTheIntervalChosenSince) {
  const RetryCase& c = GetParam();
  fakes_.config.WallpaperConfig.ChangeRule = WallpaperChangeRule::RandomByTime;
  fakes_.config.WallpaperConfig.ChangeDelay = c.delayAtFailure;
  fakes_.config.WallpaperConfig.Paths = {home_.path() + "/bad"};
  const QString picture = home_.write("bad/one.jpg", "not a picture");
  CheckTimedChange();
  ASSERT_EQ(fakes_.messages.calls.size(), 1);
  ASSERT_THAT(fakes_.desktop.installed, IsEmpty());
  QFile::remove(picture);
  ASSERT_TRUE(WriteFlatJpeg(picture, 16, 16, qRgb(10, 200, 30)));
  fakes_.config.WallpaperConfig.ChangeDelay = c.delayAfter;
  fakes_.clock.Advance(c.secondsLater);
  CheckTimedChange();
  EXPECT_EQ(fakes_.desktop.installed.size(), c.changes ? 1 : 0);
  if (c.changes) EXPECT_EQ(LastImage(), picture);
}

INSTANTIATE_TEST_SUITE_P(Intervals, RetryAfterFailure,
                         // 2: one minute; 10: three hours.
                         ::testing::Values(RetryCase{"ShorterIntervalTakesEffect", 10, 2, 61, true},
                                           RetryCase{"ShorterIntervalStillWaitsItsOwnLength", 10, 2,
                                                     59, false},
                                           RetryCase{"SameIntervalWaitsItOut", 10, 10, 61, false},
                                           RetryCase{"LongerIntervalWaitsLonger", 2, 10, 61, false},
                                           RetryCase{"LongerIntervalOnceOver", 2, 10, 10810, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ChangeRules, ABadPictureAtStartUpIsReportedAndStartUpGoesOn) {
  fakes_.config.WallpaperConfig.ChangeRule = WallpaperChangeRule::Never;
  home_.write("bad/broken.jpg", QByteArray());
  LastApplied(home_.path() + "/bad/broken.jpg", Today().addDays(-1));
  EXPECT_NO_THROW(ChooseStartupWallpaper());
  ASSERT_EQ(fakes_.messages.calls.size(), 1);
  EXPECT_THAT(fakes_.messages.calls[0].text.toStdString(), ::testing::HasSubstr("broken.jpg"));
  // The date is recorded before composing, so the next tick does not try again.
  CheckDayChange();
  EXPECT_EQ(fakes_.messages.calls.size(), 1);
}

// A picture that cannot be installed is not the current one: the picture and the calendar's
// date stay those of the last wallpaper drawn, so the next day redraws the last good one.
TEST_F(ChangeRules, AFailedSetKeepsTheCurrentPictureAndItsDate) {
  const QDate yesterday = Today().addDays(-1);
  LastApplied(catalogue_[0], yesterday);
  const QString notes = home_.write("notes.jpg", "shopping: bread, milk\n");
  SetChosenWallpaper(notes);
  EXPECT_EQ(fakes_.messages.calls.size(), 1);
  EXPECT_TRUE(fakes_.desktop.installed.isEmpty());
  EXPECT_EQ(LastImage(), catalogue_[0]);
  EXPECT_EQ(fakes_.config.ProgramConfig.LastDay, yesterday.day());
  EXPECT_DOUBLE_EQ(fakes_.config.DynamicConfig.LastSetTime, 0);

  CheckDayChange();
  EXPECT_EQ(fakes_.desktop.installed.size(), 1);
  EXPECT_EQ(LastImage(), catalogue_[0]);
  EXPECT_EQ(fakes_.config.ProgramConfig.LastDay, Today().day());
}

// A daily redraw that cannot write the wallpaper says so once, not at every tick after.
TEST_F(ChangeRules, AFailedDailyRedrawIsReportedOnceADay) {
  LastApplied(catalogue_[0], Today().addDays(-1));
  ASSERT_TRUE(QDir().mkpath(WallpaperFilePath()));  // a folder where the file must go
  for (int tick = 0; tick < 3; ++tick) CheckDayChange();
  EXPECT_EQ(fakes_.messages.calls.size(), 1);
  fakes_.clock.Advance(24 * 3600);
  CheckDayChange();
  EXPECT_EQ(fakes_.messages.calls.size(), 2);
}

// Desktops that forget the wallpaper with the session get the last one back at start-up,
// whatever the rule: the kept file when it was drawn today at this screen's size, else drawn
// again from its picture.
enum class Kept { Fits, OtherSize, Missing };
struct ForgettingCase {
  const char* name;
  bool desktopKeeps;
  int rule;
  int daysSinceLastApply;
  Kept kept;
  bool picturesLeft;  // rule 1 has something to pick
  int installs;
  bool redrawn;  // composed anew, rather than the kept file handed over
};
class ForgettingDesktop : public ChangeRules,
                          public ::testing::WithParamInterface<ForgettingCase> {};

TEST_P(ForgettingDesktop, StartUpPutsTheLastWallpaperBack) {
  const ForgettingCase& c = GetParam();
  fakes_.desktop.keepsWallpaper = c.desktopKeeps;
  fakes_.config.WallpaperConfig.ChangeRule = static_cast<WallpaperChangeRule>(c.rule);
  if (!c.picturesLeft) fakes_.config.WallpaperConfig.Paths.clear();
  const QDate lastDay = Today().addDays(-c.daysSinceLastApply);
  LastApplied(catalogue_[2], lastDay);
  const double lastSet = NowDays(fakes_.clock) - 0.5;
  fakes_.config.DynamicConfig.LastSetTime = lastSet;
  const QString file = WallpaperFilePath();
  QDir().mkpath(QFileInfo(file).absolutePath());
  const QRgb marker = qRgb(255, 0, 255);
  if (c.kept != Kept::Missing) {
    QImage old(c.kept == Kept::Fits ? fakes_.desktop.screen : QSize(32, 32), QImage::Format_RGB32);
    old.fill(marker);
    WriteBmpFile(old, file);
  }

  ChooseStartupWallpaper();

  EXPECT_EQ(fakes_.desktop.installed.size(), c.installs);
  for (const QString& installed : fakes_.desktop.installed) EXPECT_EQ(installed, file);
  if (c.installs == 0) return;
  QImage shown;
  ASSERT_TRUE(shown.load(file, "BMP"));
  EXPECT_EQ(shown.size(), fakes_.desktop.screen);
  const auto& p = fakes_.config.ProgramConfig;
  if (c.redrawn) {
    EXPECT_NE(shown.pixel(0, 0), marker);
    EXPECT_EQ(QDate(p.LastYear, p.LastMonth, p.LastDay), Today());
  } else {
    EXPECT_EQ(shown.pixel(0, 0), marker);
    EXPECT_EQ(LastImage(), catalogue_[2]);
    EXPECT_EQ(QDate(p.LastYear, p.LastMonth, p.LastDay), lastDay);
    EXPECT_DOUBLE_EQ(fakes_.config.DynamicConfig.LastSetTime, lastSet);  // no change of picture
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ForgettingDesktop,
    ::testing::Values(
        ForgettingCase{"KeepingDesktopSameDay", true, 0, 0, Kept::Fits, true, 0, false},
        ForgettingCase{"KeepingDesktopNextDay", true, 0, 1, Kept::Fits, true, 1, true},
        ForgettingCase{"NeverSameDay", false, 0, 0, Kept::Fits, true, 1, false},
        ForgettingCase{"TimedSameDay", false, 2, 0, Kept::Fits, true, 1, false},
        ForgettingCase{"DailySameDay", false, 7, 0, Kept::Fits, true, 1, false},
        ForgettingCase{"NeverNextDay", false, 0, 1, Kept::Fits, true, 1, true},
        ForgettingCase{"OtherMonitor", false, 0, 0, Kept::OtherSize, true, 1, true},
        ForgettingCase{"KeptFileGone", false, 0, 0, Kept::Missing, true, 1, true},
        ForgettingCase{"StartUpRuleNothingToPick", false, 1, 0, Kept::Fits, false, 1, false},
        ForgettingCase{"StartUpRulePicks", false, 1, 0, Kept::Fits, true, 1, true}),
    [](const ::testing::TestParamInfo<ForgettingCase>& info) { return info.param.name; });

// The timed change counts the time that passes, whatever the wall clock does meanwhile: a
// minute of ticks with the 5-second rule changes as often with a jump as without one.
struct WallJumpCase {
  const char* name;
  QDateTime start;
  std::function<void(FakeClock&)> jump;  // at half time, taking no time
};
class TimedChangeAcrossJumps : public ChangeRules,
                               public ::testing::WithParamInterface<WallJumpCase> {
 protected:
  // From `start`, or from a clock in UTC that never jumps.
  int ChangesInAMinute(bool withJump) {
    fakes_.desktop.installed.clear();
    fakes_.clock.now =
        withJump ? GetParam().start : QDateTime(QDate(2026, 6, 10), QTime(8, 0), Qt::UTC);
    for (int second = 0; second < 60; ++second) {
      if (withJump && second == 30) GetParam().jump(fakes_.clock);
      CheckTimedChange();
      fakes_.clock.Advance(1);
    }
    return static_cast<int>(fakes_.desktop.installed.size());
  }
};

TEST_P(TimedChangeAcrossJumps, KeepsItsPace) {
  fakes_.config.WallpaperConfig.ChangeRule = WallpaperChangeRule::RandomByTime;
  fakes_.config.WallpaperConfig.ChangeDelay = 0;  // 5 seconds
  const int steady = ChangesInAMinute(false);
  EXPECT_GE(steady, 9);
  EXPECT_EQ(ChangesInAMinute(true), steady);
}

const QTimeZone kBerlin("Europe/Berlin");
INSTANTIATE_TEST_SUITE_P(
    Jumps, TimedChangeAcrossJumps,
    ::testing::Values(
        WallJumpCase{"ClockSetBackAnHour", QDateTime(QDate(2026, 6, 10), QTime(10, 0)),
                     [](FakeClock& c) { c.now = c.now.addSecs(-3600); }},
        WallJumpCase{"ClockSetForwardAnHour", QDateTime(QDate(2026, 6, 10), QTime(10, 0)),
                     [](FakeClock& c) { c.now = c.now.addSecs(3600); }},
        // 02:59:30 summer time, and half a minute later 02:00 winter time: the clock is
        // driven in real time and its zone does the rest.
        WallJumpCase{"ClocksGoBack",
                     QDateTime(QDate(2026, 10, 25), QTime(0, 59, 30), Qt::UTC).toTimeZone(kBerlin),
                     [](FakeClock&) {}},
        WallJumpCase{
            "ZoneChangedWest", QDateTime(QDate(2026, 6, 10), QTime(10, 0), kBerlin),
            [](FakeClock& c) { c.now = c.now.toTimeZone(QTimeZone("America/New_York")); }}),
    [](const auto& info) { return std::string(info.param.name); });
