#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLocalSocket>
#include <QSysInfo>
#include <memory>
#include <vector>

#include "support/E2E.h"
#include "support/TempHome.h"
#include "unit/TestJpeg.h"

namespace {
constexpr QRgb kRed = 0xFFFF0000, kGreen = 0xFF00C800, kBlue = 0xFF0000FF;

const QByteArray kKey = "[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\";

// Rule 0 (never change by itself) with `current` as the current picture; the date of the
// last change is not stored, so the start redraws `current`.
QByteArray Settings(const QString& folder, const QString& current, bool calendar) {
  QByteArray text = "Windows Registry Editor Version 5.00\n\n";
  text += kKey + "Base]\n\"OK\"=dword:00000001\n\n";
  text += kKey + "Wallpaper]\n\"PathsCount\"=dword:00000001\n\"Path 1\"=\"" + folder.toUtf8() +
          "\"\n\"ChangeRule\"=dword:00000000\n\"StretchToFit\"=dword:00000001\n"
          "\"ConstrainProportions\"=dword:00000000\n\"ShowImage\"=dword:00000001\n\n";
  text += kKey + "Calendar]\n\"ShowCalendar\"=dword:0000000" + (calendar ? "1" : "0") +
          "\n\"DrawGlass\"=dword:00000001\n\"DrawTextShadow\"=dword:00000001\n\n";
  text += kKey + "Program]\n\"LastImageFileName\"=\"" + current.toUtf8() + "\"\n\n";
  // Two marked days, so the render has to read them too.
  text += kKey + "ColorReminders]\n\"ColorRemCount\"=dword:00000002\n";
  const int today = static_cast<int>(QDate(1899, 12, 30).daysTo(QDate::currentDate()));
  text += "\"date0\"=dword:" + QByteArray::number(today, 16).rightJustified(8, '0') +
          "\n\"style0\"=dword:00000001\n";
  text += "\"date1\"=dword:" + QByteArray::number(today + 2, 16).rightJustified(8, '0') +
          "\n\"style1\"=dword:00000002\n";
  return text;
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The picture's colour in the middle of the installed wallpaper file; 0 when unreadable.
QRgb WallpaperCentre(const QString& bmp) {
  const QImage image(bmp, "BMP");
  return image.isNull() ? 0 : image.pixel(image.width() / 2, image.height() / 2);
}

int DifferentPixels(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return -1;
  int differ = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x)
      differ += (a.pixel(x, y) & 0xFFFFFF) != (b.pixel(x, y) & 0xFFFFFF);
  }
  return differ;
}

class CommandLineE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x.ok());
    QDir().mkpath(folder);
    ASSERT_TRUE(WriteTestJpeg(folder + "/a.jpg", Flat(160, 120, kRed)));
    ASSERT_TRUE(WriteTestJpeg(folder + "/b.jpg", Flat(160, 120, kGreen)));
    ASSERT_TRUE(WriteTestJpeg(home.path() + "/elsewhere.jpg", Flat(160, 120, kBlue)));
  }

  // Runs the program with these arguments to its end; returns its exit code.
  int Run(const QStringList& args, QString* err = nullptr, int timeoutMs = 30000) {
    ProgramRun run(x, home);
    run.process().setArguments(args);
    if (!run.Start() || !run.WaitForExit(timeoutMs)) return -100;
    if (err) *err = run.stderrText();
    return run.process().exitStatus() == QProcess::NormalExit ? run.process().exitCode() : -1;
  }
  bool StartedAndShowing(ProgramRun& program, QRgb colour) {
    return program.Start() && WaitUntil([&] { return Near(WallpaperCentre(bmp), colour); }, 30000);
  }
  bool RootShows(QRgb colour) {
    return WaitUntil(
        [&] {
          const QImage root = x.GrabRoot();
          return !root.isNull() && Near(root.pixel(root.width() / 2, root.height() / 2), colour);
        },
        20000);
  }

  XvfbDisplay x{640, 480};
  TempHome home;
  const QString folder = home.path() + "/Pictures";
  const QString bmp = home.dataDir() + "/Quillatorne.bmp";
};

TEST_F(CommandLineE2E, VerbsAreHandedToTheRunningCopy) {
  home.write(".config/Quillatorne/settings.reg", Settings(folder, folder + "/a.jpg", false));
  ProgramRun program(x, home);
  ASSERT_TRUE(StartedAndShowing(program, kRed)) << program.stderrText().toStdString();

  QElapsedTimer clock;
  clock.start();
  QString err;
  EXPECT_EQ(Run({"--next"}, &err), 0) << err.toStdString();
  ASSERT_TRUE(WaitUntil([&] { return Near(WallpaperCentre(bmp), kGreen); }, 10000));
  std::printf(
      "[ figure ] --next: next wallpaper written %lld ms after the command started "
      "(sanitized build)\n",
      static_cast<long long>(clock.elapsed()));
  EXPECT_TRUE(RootShows(kGreen));

  EXPECT_EQ(Run({"--set", home.path() + "/elsewhere.jpg"}, &err), 0) << err.toStdString();
  EXPECT_TRUE(WaitUntil([&] { return Near(WallpaperCentre(bmp), kBlue); }, 10000));
  EXPECT_TRUE(RootShows(kBlue));

  // --quit: no question asked, the settings saved (the picture set above is the current one).
  EXPECT_EQ(Run({"--quit"}, &err), 0) << err.toStdString();
  ASSERT_TRUE(program.WaitForExit(15000));
  EXPECT_EQ(program.process().exitCode(), 0);
  EXPECT_TRUE(
      ReadAll(home.configFile())
          .contains("\"LastImageFileName\"=\"" + home.path().toUtf8() + "/elsewhere.jpg\""));
  EXPECT_TRUE(program.running() == false);
}

TEST_F(CommandLineE2E, WithNoneRunningAVerbStartsTheProgramAndQuitDoesNothing) {
  home.write(".config/Quillatorne/settings.reg", Settings(folder, folder + "/a.jpg", false));
  const QByteArray before = ReadAll(home.configFile());
  QString err;
  EXPECT_EQ(Run({"--quit"}, &err), 0);
  EXPECT_TRUE(err.contains("not running")) << err.toStdString();
  EXPECT_EQ(ReadAll(home.configFile()), before);
  EXPECT_FALSE(QFile::exists(bmp));

  // The start redraws a.jpg; --next then moves on to b.jpg, and the program stays.
  ProgramRun program(x, home);
  program.process().setArguments({"--next"});
  ASSERT_TRUE(StartedAndShowing(program, kGreen)) << program.stderrText().toStdString();
  EXPECT_TRUE(program.running());
  // A plain second start still brings up the window.
  EXPECT_EQ(Run({}, &err), 0) << err.toStdString();
  EXPECT_TRUE(WaitUntil([&] { return WindowViewable(x.display(), "Quillatorne"); }, 15000));
  EXPECT_EQ(program.Terminate(), 0);
}

// --set of something that is no picture fails with the reason, whether a copy runs or not,
// and changes nothing saved: the current picture and its date stay.
TEST_F(CommandLineE2E, SetOfSomethingThatIsNoPictureFailsAndChangesNothing) {
  const QString fifo = home.path() + "/fifo.jpg";
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  const QStringList bad = {fifo, folder, home.write("notes.jpg", "bread, milk\n")};
  home.write(".config/Quillatorne/settings.reg", Settings(folder, folder + "/a.jpg", false));
  QString err;
  for (const QString& file : bad) {
    EXPECT_EQ(Run({"--set", file}, &err), 1) << file.toStdString();
    EXPECT_TRUE(err.contains(file)) << err.toStdString();
  }
  EXPECT_FALSE(QFile::exists(bmp));  // no copy was started by them

  ProgramRun program(x, home);
  ASSERT_TRUE(StartedAndShowing(program, kRed)) << program.stderrText().toStdString();
  for (const QString& file : bad) {
    EXPECT_EQ(Run({"--set", file}, &err), 1) << file.toStdString();
    EXPECT_TRUE(err.contains(file)) << err.toStdString();
  }
  EXPECT_EQ(Run({"--quit"}, &err), 0) << err.toStdString();
  ASSERT_TRUE(program.WaitForExit(15000));
  const QByteArray saved = ReadAll(home.configFile());
  EXPECT_TRUE(saved.contains("\"LastImageFileName\"=\"" + folder.toUtf8() + "/a.jpg\""))
      << saved.constData();
  EXPECT_TRUE(Near(WallpaperCentre(bmp), kRed));
}

// Connections that say nothing are dropped after a while, so they cannot pile up and use
// every descriptor the running copy has; --next gets through while they are held.
TEST_F(CommandLineE2E, IdleConnectionsAreDroppedAndTheCopyStaysReachable) {
  home.write(".config/Quillatorne/settings.reg", Settings(folder, folder + "/a.jpg", false));
  ProgramRun program(x, home);
  ASSERT_TRUE(StartedAndShowing(program, kRed)) << program.stderrText().toStdString();
  const QString fds = QStringLiteral("/proc/%1/fd").arg(program.process().processId());
  const auto open = [&] { return QDir(fds).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size(); };
  const qsizetype before = open();
  const QString socketPath = home.path() + "/run/quillatorne.socket";
  std::vector<std::unique_ptr<QLocalSocket>> idle;
  for (int i = 0; i < 300; ++i) {
    idle.push_back(std::make_unique<QLocalSocket>());
    idle.back()->connectToServer(socketPath);
  }
  EXPECT_TRUE(WaitUntil([&] { return open() >= before + 250; }, 20000)) << open();
  QString err;
  EXPECT_EQ(Run({"--next"}, &err), 0) << err.toStdString();
  EXPECT_TRUE(WaitUntil([&] { return Near(WallpaperCentre(bmp), kGreen); }, 10000));
  // Still held by us, they are closed by the program.
  EXPECT_TRUE(WaitUntil([&] { return open() <= before + 5; }, 20000)) << open();
  EXPECT_EQ(program.Terminate(), 0) << program.stderrText().toStdString();
}

TEST_F(CommandLineE2E, FirstRunAddsTheProgramToTheLoginStart) {
  const QString entry = home.path() + "/.config/autostart/quillatorne.desktop";
  ProgramRun program(x, home);
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(WaitUntil([&] { return QFile::exists(entry); }, 30000))
      << program.stderrText().toStdString();
  EXPECT_TRUE(ReadAll(entry).contains("\nExec=" QUILLATORNE_BINARY "\n"));
  EXPECT_EQ(program.Terminate(), 0);

  // Taken away by the user, it stays away: only the very first run adds it.
  ASSERT_TRUE(QFile::remove(entry));
  ProgramRun again(x, home);
  ASSERT_TRUE(again.Start());
  ASSERT_TRUE(
      WaitUntil([&] { return QFile::exists(home.path() + "/run/quillatorne.socket"); }, 30000));
  EXPECT_EQ(again.Terminate(), 0);
  EXPECT_FALSE(QFile::exists(entry));
}

// What --render draws is what the running program installs, to the pixel: both compose
// with the same settings on the same day, one on a 1920 x 1080 screen, one with no display.
TEST(RenderE2E, WithoutADisplayDrawsWhatTheRunningProgramInstalls) {
  XvfbDisplay x(1920, 1080);
  ASSERT_TRUE(x.ok());
  TempHome home;
  const QString folder = home.path() + "/Pictures";
  QDir().mkpath(folder);
  QImage photo(900, 700, QImage::Format_RGB32);
  for (int y = 0; y < photo.height(); ++y) {
    for (int px = 0; px < photo.width(); ++px) photo.setPixel(px, y, qRgb(px % 256, y % 256, 90));
  }
  ASSERT_TRUE(WriteTestJpeg(folder + "/photo.jpg", photo));
  home.write(".config/Quillatorne/settings.reg", Settings(folder, folder + "/photo.jpg", true));
  const QString bmp = home.dataDir() + "/Quillatorne.bmp";

  const QDate day = QDate::currentDate();
  ProgramRun program(x, home);
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(WaitUntil([&] { return QImage(bmp, "BMP").size() == QSize(1920, 1080); }, 30000))
      << program.stderrText().toStdString();
  // What start-up changed reaches the file at the next tick: wait until it holds still.
  QByteArray settings = ReadAll(home.configFile());
  for (int still = 0; still < 3;) {
    QThread::msleep(1000);
    const QByteArray now = ReadAll(home.configFile());
    still = now == settings ? still + 1 : 0;
    settings = now;
  }

  auto render = [&](const QStringList& args, QString* err) {
    ProgramRun run(x, home);
    QProcessEnvironment env = run.process().processEnvironment();
    env.remove("DISPLAY");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    run.process().setProcessEnvironment(env);
    run.process().setArguments(args);
    if (!run.Start() || !run.WaitForExit(30000)) return -100;
    *err = run.stderrText();
    return run.process().exitCode();
  };
  QString err;
  const QString out = home.path() + "/out.bmp", png = home.path() + "/out.png";
  EXPECT_EQ(render({"--render", out, "--size", "1920x1080"}, &err), 0) << err.toStdString();
  EXPECT_EQ(render({"--render", png}, &err), 0) << err.toStdString();  // the wallpaper's size
  if (QDate::currentDate() != day) GTEST_SKIP() << "the date changed during the test";

  const QImage installed(bmp, "BMP");
  EXPECT_EQ(DifferentPixels(QImage(out, "BMP"), installed), 0);
  EXPECT_EQ(DifferentPixels(QImage(png, "PNG"), installed), 0);
  EXPECT_EQ(ReadAll(out), ReadAll(bmp));  // the same file, byte for byte
  // The running copy and its settings were left alone.
  EXPECT_TRUE(program.running());
  EXPECT_EQ(ReadAll(home.configFile()), settings);
  EXPECT_EQ(program.Terminate(), 0);
}

TEST(RenderE2E, AMissingOrBrokenPictureIsPrintedAndNothingWritten) {
  TempHome home;
  const QString out = home.path() + "/out.png";
  const QString broken = home.write("broken.jpg", "");
  struct Case {
    QString image;
    QString says;
  } cases[] = {
      {home.path() + "/gone.jpg", "Quillatorne could not find the image:\n\n" + home.path() +
                                      "/gone.jpg\n\n Please either select an image or switch off "
                                      "the Show Image option."},
      {broken, broken},
  };
  for (const Case& c : cases) {
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.insert("HOME", home.path());
    env.insert("ASAN_OPTIONS", "detect_leaks=0");
    run.setProcessEnvironment(env);
    run.start(QUILLATORNE_BINARY, {"--render", out, "--image", c.image});
    ASSERT_TRUE(run.waitForFinished(30000));
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.exitCode(), 1);
    EXPECT_TRUE(QString::fromLocal8Bit(run.readAllStandardError()).contains(c.says))
        << c.says.toStdString();
    EXPECT_FALSE(QFile::exists(out));
  }
}

// A signal that comes while the program starts ends it with the settings saved. Here the
// start is held up by the error box of a picture that cannot be read.
TEST(StartUpSignalE2E, SigtermWhileAStartUpBoxIsOpenSavesTheSettings) {
  XvfbDisplay x(1024, 768);
  ASSERT_TRUE(x.ok());
  TempHome home;
  const QString folder = home.path() + "/Pictures";
  const QString empty = home.write("Pictures/x.jpg", "");
  QByteArray settings = Settings(folder, QString(), false);
  settings.replace("\"ChangeRule\"=dword:00000000", "\"ChangeRule\"=dword:00000001");
  home.write(".config/Quillatorne/settings.reg", settings);

  ProgramRun program(x, home);
  ASSERT_TRUE(program.Start());
  // The box is the one window of ours with a caption that is not the main window's size.
  ASSERT_TRUE(WaitUntil(
      [&] {
        for (const QString& id : WindowIds(x.display(), "Quillatorne")) {
          const QString info = RunOnDisplay(x.display(), "xwininfo", {"-id", id});
          if (info.contains("IsViewable") && !info.contains("Width: 542")) return true;
        }
        return false;
      },
      30000))
      << program.stderrText().toStdString();
  EXPECT_EQ(program.Terminate(15000), 0) << program.stderrText().toStdString();
  // Saved on the way out: the file now holds every setting, not only those written above;
  // the picture that failed did not become the current one.
  const QByteArray saved = ReadAll(home.configFile());
  EXPECT_TRUE(saved.contains("\"BackgroundColor\"=")) << saved.constData();
  EXPECT_FALSE(saved.contains(empty.toUtf8())) << saved.constData();
}

// A folder for the one-instance lock that others can enter is not used, even when it
// holds a lock that looks alive: the program starts, with a private folder of its own.
TEST(InstanceFolderE2E, AnOpenFolderWithSomeonesLockInItDoesNotStopTheStart) {
  XvfbDisplay x(640, 480);
  ASSERT_TRUE(x.ok());
  TempHome home;
  const QString tmp = home.path() + "/tmp";
  const QString shared = tmp + QStringLiteral("/quillatorne-%1").arg(::getuid());
  QDir().mkpath(shared);
  QFile::setPermissions(shared, QFileDevice::Permissions(0x7777));
  // A lock naming a live process (this test) under its own name, as a squatter would leave it.
  home.write(shared.mid(home.path().size() + 1) + "/quillatorne.lock",
             QByteArray::number(::getpid()) + "\n" +
                 QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() + "\n" +
                 QSysInfo::machineHostName().toUtf8() + "\n");

  ProgramRun program(x, home);
  QProcessEnvironment env = program.process().processEnvironment();
  env.remove("XDG_RUNTIME_DIR");
  env.remove("XDG_CACHE_HOME");
  env.insert("TMPDIR", tmp);
  program.process().setProcessEnvironment(env);
  ASSERT_TRUE(program.Start());
  const QString own = home.path() + "/.cache/Quillatorne/run-" + QSysInfo::machineHostName();
  EXPECT_TRUE(WaitUntil([&] { return QFile::exists(own + "/quillatorne.socket"); }, 30000))
      << program.stderrText().toStdString();
  EXPECT_TRUE(program.running());
  EXPECT_TRUE(program.WaitForStderr(shared)) << program.stderrText().toStdString();
  EXPECT_EQ(program.Terminate(), 0);
}
}  // namespace
