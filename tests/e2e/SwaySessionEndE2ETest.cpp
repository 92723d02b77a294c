// Under a real compositor: its close of the settings window hides it (the program runs on),
// and the compositor going away (a log-out) leaves the settings file with the last change.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QRegularExpression>

#include "support/E2E.h"
#include "support/SwaySession.h"

namespace {
// A session whose settings name a folder of three photos.
class SwaySessionEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!session.ok()) GTEST_SKIP() << session.why();
    photos = SamplePhotoFolder(session.home());
    QDir().mkpath(session.home() + "/.config/Quillatorne");
    QFile f(settings());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(FolderSettings({photos}));
    f.close();
    session.GiveToUser(session.home());
  }
  QString settings() const { return session.home() + "/.config/Quillatorne/settings.reg"; }
  // The copy of the wallpaper the compositor was last given.
  QString Copy() const {
    const QStringList copies = QDir(session.home() + "/.local/share/Quillatorne")
                                   .entryList({"Quillatorne-*.png"}, QDir::Files, QDir::Name);
    return copies.isEmpty() ? QString() : copies.last();
  }

  SwaySession session;
  QString photos;
};

TEST_F(SwaySessionEnd, TheCompositorsCloseHidesTheWindowAndTheProgramRunsOn) {
  SwayProgram program(session);
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(program.WaitForListening()) << qPrintable(program.Log().right(3000));
  ASSERT_TRUE(program.ShowWindow());
  ASSERT_TRUE(WaitUntil(
      [&] { return !SwaySession::FindView(session.Tree(), "Quillatorne").isEmpty(); }, 30000));
  // What sway's close key does: xdg_toplevel.close.
  ASSERT_TRUE(session.Msg({QStringLiteral("[title=\"^Quillatorne$\"] kill")}));
  EXPECT_TRUE(WaitUntil(
      [&] { return SwaySession::FindView(session.Tree(), "Quillatorne").isEmpty(); }, 30000));
  EXPECT_TRUE(program.running()) << qPrintable(program.Log().right(3000));
  // Still there: a second start brings the window back.
  ASSERT_TRUE(program.ShowWindow());
  EXPECT_TRUE(WaitUntil(
      [&] { return !SwaySession::FindView(session.Tree(), "Quillatorne").isEmpty(); }, 30000));
}

TEST_F(SwaySessionEnd, EndingTheCompositorLeavesTheLastChangeInTheSettings) {
  SwayProgram program(session);
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(program.WaitForListening()) << qPrintable(program.Log().right(3000));
  // The start-up picture is installed first (a copy of it is what the compositor shows).
  QString shown;
  ASSERT_TRUE(WaitUntil([&] { return !(shown = Copy()).isEmpty(); }, 30000))
      << qPrintable(program.Log().right(3000));
  const QString before = SavedSetting(settings(), "LastImageFileName");
  ASSERT_TRUE(session.Run({QStringLiteral("QT_QPA_PLATFORM=wayland"),
                           QStringLiteral("ASAN_OPTIONS=detect_leaks=0"),
                           QStringLiteral(QUILLATORNE_BINARY), QStringLiteral("--next")}));
  // A new copy is installed: the next image is recorded in memory. The log-out comes at once.
  ASSERT_TRUE(WaitUntil([&] { return !Copy().isEmpty() && Copy() != shown; }, 30000))
      << qPrintable(program.Log().right(3000));
  session.Msg({QStringLiteral("exit")});
  EXPECT_TRUE(program.WaitForExit(30000));
  const QString after = SavedSetting(settings(), "LastImageFileName");
  EXPECT_FALSE(after.isEmpty());
  EXPECT_NE(after, before);
  EXPECT_TRUE(after.startsWith(photos, Qt::CaseInsensitive))
      << qPrintable(program.Log().right(3000));
}
}  // namespace
