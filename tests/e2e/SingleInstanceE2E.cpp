#include <gtest/gtest.h>
#include <signal.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include "support/E2E.h"
#include "support/TempHome.h"

namespace {
QString RunXwininfo(const QString& display, const QStringList& args) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("DISPLAY"), display);
  p.setProcessEnvironment(env);
  p.start(QStringLiteral("xwininfo"), args);
  p.waitForFinished(10000);
  return QString::fromLocal8Bit(p.readAllStandardOutput());
}

// The X window of the main window, found by its title; empty while it does not exist.
QString MainWindowId(const QString& display) {
  const QRegularExpression re(QStringLiteral("^\\s*(0x[0-9a-f]+) \"Quillatorne\": \\("));
  for (const QString& line :
       RunXwininfo(display, {QStringLiteral("-root"), QStringLiteral("-tree")}).split('\n')) {
    const auto m = re.match(line);
    if (m.hasMatch()) return m.captured(1);
  }
  return QString();
}

bool Viewable(const QString& display, const QString& id) {
  return RunXwininfo(display, {QStringLiteral("-id"), id})
      .contains(QStringLiteral("Map State: IsViewable"));
}

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
  const QString hidden = MainWindowId(x.display());
  EXPECT_TRUE(hidden.isEmpty() || !Viewable(x.display(), hidden));  // in the tray only

  ProgramRun second(x, home);
  ASSERT_TRUE(second.Start());
  ASSERT_TRUE(second.WaitForExit(30000));
  EXPECT_EQ(second.process().exitCode(), 0) << second.stderrText().toStdString();

  QString id;
  EXPECT_TRUE(WaitUntil(
      [&] {
        id = MainWindowId(x.display());
        return !id.isEmpty() && Viewable(x.display(), id);
      },
      15000));
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
