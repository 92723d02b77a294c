// Desktops whose wallpaper ends with the session (sway, a bare X server): after a re-login on
// the same day, with the rule "never change", start-up puts the program's picture back.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "support/E2E.h"
#include "support/SwaySession.h"
#include "support/TempHome.h"
#include "unit/TestJpeg.h"

namespace {
constexpr QRgb kRed = 0xFFE01010;
constexpr QRgb kSessionBackground = 0xFF203040;  // what the sway session starts with

bool Shows(const QImage& shot, QRgb colour) {
  return !shot.isNull() && Near(shot.pixel(shot.width() / 2, shot.height() / 2), colour, 12);
}
}  // namespace

TEST(ForgottenWallpaperE2E, SwayGetsThePictureBackOnEveryOutputAfterARelogin) {
  SwaySession session(2);
  if (!session.ok()) GTEST_SKIP() << session.why();
  const QString folder = session.home() + "/Pictures";
  QDir().mkpath(folder);
  ASSERT_TRUE(WriteTestJpeg(folder + "/red.jpg", Flat(1280, 720, kRed)));
  QDir().mkpath(session.home() + "/.config/Quillatorne");
  {
    QFile f(session.home() + "/.config/Quillatorne/settings.reg");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(FolderSettings({folder}));
  }
  session.GiveToUser(session.home());
  const QStringList outputs = {QStringLiteral("HEADLESS-1"), QStringLiteral("HEADLESS-2")};
  auto everyOutputShows = [&](QRgb colour) {
    for (const QString& output : outputs)
      if (!Shows(session.Screenshot(output), colour)) return false;
    return true;
  };
  ASSERT_TRUE(WaitUntil([&] { return everyOutputShows(kSessionBackground); }, 20000));

  // The first session: the user sets the picture, then logs out.
  {
    SwayProgram program(session);
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.WaitForListening()) << qPrintable(program.Log().right(3000));
    ASSERT_TRUE(session.Run(
        {QStringLiteral("QT_QPA_PLATFORM=wayland"), QStringLiteral("ASAN_OPTIONS=detect_leaks=0"),
         QStringLiteral(QUILLATORNE_BINARY), QStringLiteral("--set"), folder + "/red.jpg"}));
    ASSERT_TRUE(WaitUntil([&] { return everyOutputShows(kRed); }, 20000))
        << qPrintable(program.Log().right(3000));
    program.Stop();
  }
  // The next session starts with its own background.
  ASSERT_TRUE(session.Msg({QStringLiteral("output * bg #203040 solid_color")}));
  ASSERT_TRUE(WaitUntil([&] { return everyOutputShows(kSessionBackground); }, 20000));

  SwayProgram program(session);
  ASSERT_TRUE(program.Start());
  EXPECT_TRUE(WaitUntil([&] { return everyOutputShows(kRed); }, 30000))
      << qPrintable(program.Log().right(3000));
}

TEST(ForgottenWallpaperE2E, ANewXServerGetsThePictureBackOnItsRootWindow) {
  TempHome home;
  const QString folder = home.path() + "/Pictures";
  QDir().mkpath(folder);
  ASSERT_TRUE(WriteTestJpeg(folder + "/red.jpg", Flat(1024, 768, kRed)));
  home.write(".config/Quillatorne/settings.reg", FolderSettings({folder}));
  {
    XvfbDisplay display(1024, 768);
    ASSERT_TRUE(display.ok());
    // With none running, the verb starts the program, which stays.
    ProgramRun first(display, home);
    first.process().setArguments({QStringLiteral("--set"), folder + "/red.jpg"});
    ASSERT_TRUE(first.Start());
    ASSERT_TRUE(WaitUntil([&] { return Shows(display.GrabRoot(), kRed); }, 30000))
        << qPrintable(first.stderrText());
    EXPECT_EQ(first.Terminate(), 0);
  }
  XvfbDisplay display(1024, 768);
  ASSERT_TRUE(display.ok());
  ASSERT_FALSE(Shows(display.GrabRoot(), kRed));
  ProgramRun program(display, home);
  ASSERT_TRUE(program.Start());
  EXPECT_TRUE(WaitUntil([&] { return Shows(display.GrabRoot(), kRed); }, 30000))
      << qPrintable(program.stderrText());
  EXPECT_EQ(program.Terminate(), 0);
}
