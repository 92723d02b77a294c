#include <gtest/gtest.h>
#include <signal.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include "support/E2E.h"
#include "support/TempHome.h"

namespace {
class SingleInstanceE2E : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(x.ok()); }
  // Starts a copy and waits until it holds the lock and listens for later starts (its
  // window stays hidden).
  bool StartFirst(ProgramRun& first) {
    const QString run = home.path() + QStringLiteral("/run/");
    auto owns = [&] {
      QFile lock(run + QStringLiteral("quillatorne.lock"));
      if (!lock.open(QIODevice::ReadOnly)) return false;
      return lock.readLine().trimmed() == QByteArray::number(first.process().processId());
    };
    return first.Start() &&
           WaitUntil(
               [&] {
                 return (owns() && QFileInfo::exists(run + "quillatorne.socket")) ||
                        !first.running();
               },
               30000) &&
           first.running();
  }

  XvfbDisplay x;
  TempHome home;
};

TEST_F(SingleInstanceE2E, SecondStartShowsTheFirstCopysWindowAndEnds) {
  ProgramRun first(x, home);
  ASSERT_TRUE(StartFirst(first)) << first.stderrText().toStdString();
  EXPECT_FALSE(WindowViewable(x.display(), "Quillatorne"));  // in the tray only

  ProgramRun second(x, home);
  ASSERT_TRUE(second.Start());
  ASSERT_TRUE(second.WaitForExit(30000));
  EXPECT_EQ(second.process().exitCode(), 0) << second.stderrText().toStdString();

  EXPECT_TRUE(WaitUntil([&] { return WindowViewable(x.display(), "Quillatorne"); }, 15000));
  EXPECT_TRUE(first.running());
  EXPECT_EQ(first.Terminate(), 0);
}

TEST_F(SingleInstanceE2E, AfterACrashTheNextStartRuns) {
  {
    ProgramRun crashed(x, home);
    ASSERT_TRUE(StartFirst(crashed));
    ::kill(static_cast<pid_t>(crashed.process().processId()), SIGKILL);
    ASSERT_TRUE(crashed.WaitForExit(10000));
  }
  // The lock and the socket of the killed copy are still there; the next start takes over.
  ProgramRun next(x, home);
  ASSERT_TRUE(StartFirst(next)) << next.stderrText().toStdString();
  ProgramRun another(x, home);
  ASSERT_TRUE(another.Start());
  EXPECT_TRUE(another.WaitForExit(30000));
  EXPECT_TRUE(next.running());
  EXPECT_EQ(next.Terminate(), 0);
}
}  // namespace
