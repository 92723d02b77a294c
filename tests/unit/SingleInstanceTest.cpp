#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "app/SingleInstance.h"

namespace {
TEST(SingleInstance, SecondCopyFindsTheLockHeldUntilTheFirstEnds) {
  QTemporaryDir dir;
  auto first = std::make_unique<SingleInstance>(dir.path());
  ASSERT_TRUE(first->Acquire());
  EXPECT_TRUE(QFileInfo::exists(first->socketPath()));
  {
    SingleInstance second(dir.path());
    EXPECT_FALSE(second.Acquire());
  }
  first.reset();
  SingleInstance third(dir.path());
  EXPECT_TRUE(third.Acquire());
}

TEST(SingleInstance, ALockLeftByACrashedRunIsTakenOver) {
  QTemporaryDir dir;
  SingleInstance probe(dir.path());
  // A lock file naming a process that no longer exists, and its left-over socket file.
  pid_t dead = ::fork();
  if (dead == 0) ::_exit(0);
  ASSERT_GT(dead, 0);
  int status = 0;
  ::waitpid(dead, &status, 0);
  QFile lock(probe.lockPath());
  ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
  lock.write(QByteArray::number(dead) + "\nquillatorne\n" + QSysInfo::machineHostName().toUtf8() +
             "\n");
  lock.close();
  QFile socket(probe.socketPath());
  ASSERT_TRUE(socket.open(QIODevice::WriteOnly));
  socket.close();

  EXPECT_TRUE(probe.Acquire());
  SingleInstance other(dir.path());
  EXPECT_FALSE(other.Acquire());
}

}  // namespace
