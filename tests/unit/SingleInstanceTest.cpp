#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstring>
#include <vector>

#include "app/SingleInstance.h"
#include "platform/LocalListener.h"
#include "support/E2E.h"

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

// Sends from a thread of its own while this one runs the listening copy's event loop.
bool SendFromAnotherThread(SingleInstance& sender, const Command& command, QString* error) {
  bool delivered = false;
  std::unique_ptr<QThread> thread(
      QThread::create([&] { delivered = sender.Send(command, error, 3); }));
  thread->start();
  WaitUntil([&] { return thread->isFinished(); }, 30000);
  thread->wait();
  return delivered;
}

TEST(SingleInstance, HandsEachCommandToTheRunningCopyAfterAnsweringIt) {
  QTemporaryDir dir;
  SingleInstance running(dir.path());
  ASSERT_TRUE(running.Acquire());
  QList<Command> received;
  QObject::connect(&running, &SingleInstance::commandReceived,
                   [&](const Command& c) { received << c; });

  SingleInstance later(dir.path());
  ASSERT_FALSE(later.TryLock());
  const QList<Command> sent = {
      {Verb::Next, {}}, {Verb::Set, dir.path() + "/a b.jpg"}, {Verb::Quit, {}}};
  for (const Command& c : sent) {
    QString error;
    EXPECT_TRUE(SendFromAnotherThread(later, c, &error)) << error.toStdString();
  }
  ASSERT_TRUE(WaitUntil([&] { return received.size() == sent.size(); }, 5000));
  EXPECT_EQ(received, sent);
}

TEST(SingleInstance, SayingWhyWhenTheRunningCopyCannotBeReached) {
  QTemporaryDir dir;
  SingleInstance holder(dir.path());
  ASSERT_TRUE(holder.TryLock());  // holds the lock but never listens
  SingleInstance later(dir.path());
  ASSERT_FALSE(later.TryLock());
  QString error;
  EXPECT_FALSE(later.Send(Command{Verb::Next, {}, {}}, &error, 1));
  EXPECT_TRUE(error.contains(later.socketPath())) << error.toStdString();
  EXPECT_TRUE(error.contains("could not be handed")) << error.toStdString();
}

TEST(SingleInstance, ARequestItDoesNotKnowIsRefusedAndNotCarriedOut) {
  QTemporaryDir dir;
  SingleInstance running(dir.path());
  ASSERT_TRUE(running.Acquire());
  int received = 0;
  QObject::connect(&running, &SingleInstance::commandReceived, [&] { ++received; });
  QByteArray reply;
  std::unique_ptr<QThread> thread(QThread::create([&] {
    QLocalSocket socket;
    socket.connectToServer(running.socketPath());
    if (!socket.waitForConnected(5000)) return;
    socket.write("format-disk\n");
    socket.waitForBytesWritten(2000);
    while (!reply.contains('\n') && socket.waitForReadyRead(5000)) reply += socket.readAll();
  }));
  thread->start();
  WaitUntil([&] { return thread->isFinished(); }, 20000);
  thread->wait();
  QCoreApplication::processEvents();
  EXPECT_EQ(reply, "unknown request\n");
  EXPECT_EQ(received, 0);
}

// The running copy checks a request before taking it; the sender gets its reason, word for
// word, and nothing is carried out.
TEST(SingleInstance, ARequestTheRunningCopyRefusesIsToldWithItsReason) {
  QTemporaryDir dir;
  SingleInstance running(dir.path());
  running.setCheck([](const Command& c) {
    return c.verb == Verb::Set ? QStringLiteral("Could not find the image: %1").arg(c.file)
                               : QString();
  });
  ASSERT_TRUE(running.Acquire());
  int received = 0;
  QObject::connect(&running, &SingleInstance::commandReceived, [&] { ++received; });
  SingleInstance later(dir.path());
  ASSERT_FALSE(later.TryLock());
  QString error;
  EXPECT_FALSE(SendFromAnotherThread(later, Command{Verb::Set, "/gone.jpg", {}}, &error));
  EXPECT_EQ(error, "Could not find the image: /gone.jpg");
  EXPECT_TRUE(SendFromAnotherThread(later, Command{Verb::Next, {}, {}}, &error));
  ASSERT_TRUE(WaitUntil([&] { return received == 1; }, 5000));
}

// The socket is the user's alone, and one that vanishes (a cleaner of temporary folders)
// is made again: later starts still reach the running copy.
TEST(SingleInstance, ASocketFileThatVanishesIsMadeAgain) {
  QTemporaryDir dir;
  SingleInstance running(dir.path());
  ASSERT_TRUE(running.Acquire());
  int received = 0;
  QObject::connect(&running, &SingleInstance::commandReceived, [&] { ++received; });
  struct stat st = {};
  ASSERT_EQ(::lstat(QFile::encodeName(running.socketPath()).constData(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(st.st_mode & 077, 0u);

  ASSERT_TRUE(QFile::remove(running.socketPath()));
  ASSERT_TRUE(WaitUntil([&] { return QFile::exists(running.socketPath()); }, 5000));
  SingleInstance later(dir.path());
  ASSERT_FALSE(later.TryLock());
  QString error;
  EXPECT_TRUE(SendFromAnotherThread(later, Command{Verb::Next, {}, {}}, &error))
      << error.toStdString();
  EXPECT_TRUE(WaitUntil([&] { return received == 1; }, 5000));
}

// With every descriptor in use the accept fails; the listener pauses instead of closing the
// socket, and takes the waiting request once a descriptor is free again.
TEST(LocalListener, AFailedAcceptIsTriedAgainAndTheSocketStays) {
  QTemporaryDir dir;
  LocalListener listener;
  const QString path = dir.path() + "/test.socket";
  ASSERT_TRUE(listener.Listen(path, nullptr));
  int taken = 0;
  QObject::connect(&listener, &LocalListener::connection, [&](QLocalSocket* socket) {
    ++taken;
    socket->deleteLater();
  });
  const int client = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(client, 0);
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  const QByteArray native = QFile::encodeName(path);
  std::memcpy(address.sun_path, native.constData(), native.size());
  ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

  rlimit saved = {};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit few = saved;
  few.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 4096);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &few), 0);
  std::vector<int> fillers;
  for (int fd; (fd = ::dup(client)) >= 0;) fillers.push_back(fd);
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
  const int takenWhileFull = taken;
  for (int fd : fillers) ::close(fd);
  ::setrlimit(RLIMIT_NOFILE, &saved);

  EXPECT_EQ(takenWhileFull, 0);
  EXPECT_TRUE(listener.listening());
  EXPECT_TRUE(QFile::exists(path));
  EXPECT_TRUE(WaitUntil([&] { return taken == 1; }, 5000));
  ::close(client);
}

// Where the lock may live: never a folder someone else made or can enter.
class InstanceFolder : public ::testing::Test {
 protected:
  InstancePlaces Places() const {
    return InstancePlaces{runtime, root.path() + "/tmp", root.path() + "/home/.cache/q/run",
                          ::getuid()};
  }
  QString Shared() const {
    return root.path() + QStringLiteral("/tmp/quillatorne-%1").arg(::getuid());
  }
  static int Mode(const QString& path) {
    struct stat st = {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 0777;
  }
  QString Choose() {
    warning.clear();
    error.clear();
    return ChooseInstanceDirectory(Places(), &warning, &error);
  }

  QTemporaryDir root;
  QString runtime;
  QString warning, error;
  void SetUp() override { QDir().mkpath(root.path() + "/tmp"); }
};

TEST_F(InstanceFolder, APrivateRuntimeFolderIsUsed) {
  runtime = root.path() + "/run";
  QDir().mkpath(runtime);
  ::chmod(QFile::encodeName(runtime).constData(), 0700);
  EXPECT_EQ(Choose(), runtime);
  // Open to others, it is passed over for the folder in the temporary folder.
  ::chmod(QFile::encodeName(runtime).constData(), 0755);
  EXPECT_EQ(Choose(), Shared());
}

TEST_F(InstanceFolder, TheFolderInTheTemporaryFolderIsMadePrivate) {
  EXPECT_EQ(Choose(), Shared());
  EXPECT_EQ(Mode(Shared()), 0700);
  EXPECT_TRUE(warning.isEmpty());
  EXPECT_EQ(Choose(), Shared());  // and used again next time
}

TEST_F(InstanceFolder, AFolderOthersCanEnterIsNeverUsed) {
  QDir().mkpath(Shared());
  ::chmod(QFile::encodeName(Shared()).constData(), 0777);
  EXPECT_EQ(Choose(), Places().fallbackDir);
  EXPECT_EQ(Mode(Places().fallbackDir), 0700);
  EXPECT_TRUE(warning.contains(Shared())) << warning.toStdString();
  EXPECT_EQ(Mode(Shared()), 0777);  // not ours to change
}

TEST_F(InstanceFolder, ALinkIsNeverFollowed) {
  const QString elsewhere = root.path() + "/elsewhere";
  QDir().mkpath(elsewhere);
  ::chmod(QFile::encodeName(elsewhere).constData(), 0700);
  ASSERT_TRUE(QFile::link(elsewhere, Shared()));
  EXPECT_EQ(Choose(), Places().fallbackDir);
}

TEST_F(InstanceFolder, AnotherUsersFolderIsNeverUsed) {
  if (::getuid() != 0) GTEST_SKIP() << "needs root to give a folder to another user";
  QDir().mkpath(Shared());
  ::chmod(QFile::encodeName(Shared()).constData(), 0700);
  ASSERT_EQ(::chown(QFile::encodeName(Shared()).constData(), 65534, 65534), 0);
  EXPECT_EQ(Choose(), Places().fallbackDir);
  EXPECT_TRUE(warning.contains(Shared()));
}

TEST_F(InstanceFolder, WithNoSafeFolderItRefusesNamingBoth) {
  QDir().mkpath(Shared());
  ::chmod(QFile::encodeName(Shared()).constData(), 0777);
  // The fallback cannot be made: a file stands where its parent folder would go.
  QFile blocker(root.path() + "/home");
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  EXPECT_TRUE(Choose().isEmpty());
  EXPECT_TRUE(error.contains(Shared())) << error.toStdString();
  EXPECT_TRUE(error.contains(Places().fallbackDir)) << error.toStdString();
}
}  // namespace
