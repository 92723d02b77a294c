// The program's message boxes inside a real GNOME Shell (Wayland, headless), run as an
// unprivileged user: each box is a child of its window, stays above it, hands the focus
// back when it closes, and the Shell survives all of it.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>
#include <optional>

#include "support/E2E.h"

namespace {
const char kUser[] = "quillatorne-shell";

// Runs a command as the session's user, with the session's environment.
QStringList AsUser(const QString& dir, const QStringList& command) {
  return QStringList{QStringLiteral("-u"),
                     QString::fromLatin1(kUser),
                     QStringLiteral("--"),
                     QStringLiteral("env"),
                     QStringLiteral("HOME=") + dir + "/home",
                     QStringLiteral("XDG_RUNTIME_DIR=") + dir + "/run",
                     QStringLiteral("XDG_CONFIG_HOME=") + dir + "/home/.config",
                     QStringLiteral("XDG_DATA_HOME=") + dir + "/home/.local/share",
                     QStringLiteral("DBUS_SESSION_BUS_ADDRESS=unix:path=") + dir + "/session_bus",
                     QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS=unix:path=") + dir + "/system_bus",
                     QStringLiteral("WAYLAND_DISPLAY=wayland-0"),
                     QStringLiteral("XDG_SESSION_TYPE=wayland"),
                     QStringLiteral("XDG_CURRENT_DESKTOP=GNOME")} +
         command;
}

// The buses, a mock logind on the private system bus, then the Shell itself in front.
const char kSessionScript[] = R"(
cd "$1"
mkdir -p home run && chmod 700 run
dbus-daemon --session --address=unix:path="$1/system_bus" --fork --print-pid > system_bus.pid
dbus-daemon --session --address=unix:path="$1/session_bus" --fork --print-pid > session_bus.pid
python3 -m dbusmock --system --template logind > logind.log 2>&1 &
echo $! > logind.pid
for i in $(seq 100); do
  gdbus introspect --system --dest org.freedesktop.login1 --object-path /org/freedesktop/login1 \
    > /dev/null 2>&1 && break
  sleep 0.1
done
echo $$ > shell.pid
unset WAYLAND_DISPLAY
exec gnome-shell --headless --wayland --no-x11 --virtual-monitor 1280x800 --unsafe-mode
)";

class GnomeSession {
 public:
  GnomeSession() {
    why_ = PrepareSessionUser(kUser, "gnome-shell");
    if (!ok()) return;
    dir_ = dirHolder_.path();
    HandFolderTo(dir_, kUser);
    shell_.setProcessChannelMode(QProcess::MergedChannels);
    shell_.setStandardOutputFile(dir_ + "/shell.log");
    shell_.start(QStringLiteral("runuser"),
                 AsUser(dir_, {QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                               QString::fromLatin1(kSessionScript), QStringLiteral("sh"), dir_}));
    if (!WaitUntil([&] { return Driver({"ready"}).has_value() || !running(); }, 90000) ||
        !running())
      why_ = "gnome-shell did not start: " + Log().right(2000).toStdString();
  }
  ~GnomeSession() {
    // Only what the session script started, by the ids it wrote down.
    for (const char* name : {"shell.pid", "logind.pid", "session_bus.pid", "system_bus.pid"}) {
      QFile f(dir_ + "/" + name);
      if (f.open(QIODevice::ReadOnly)) {
        const int pid = f.readAll().trimmed().toInt();
        if (pid > 0) ::kill(pid, SIGTERM);
      }
    }
    shell_.waitForFinished(10000);
  }
  bool ok() const { return why_.empty(); }
  const std::string& why() const { return why_; }
  QString dir() const { return dir_; }
  bool running() const { return shell_.state() != QProcess::NotRunning; }
  QString Log() const {
    QFile f(dir_ + "/shell.log");
    return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
  }

  // Runs the driver beside this file as the session's user; its output, or none on failure.
  std::optional<QString> Driver(const QStringList& args) const {
    QProcess p;
    p.start(QStringLiteral("runuser"),
            AsUser(dir_, QStringList{QStringLiteral("/usr/bin/python3"),
                                     QStringLiteral(QUILLATORNE_SOURCE_DIR
                                                    "/tests/e2e/gnome_driver.py")} +
                             args));
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
      return std::nullopt;
    return QString::fromUtf8(p.readAllStandardOutput());
  }
  // The Shell's windows, bottom to top.
  QJsonArray Windows() const {
    const auto out = Driver({"windows"});
    return out ? QJsonDocument::fromJson(out->toUtf8()).array() : QJsonArray();
  }

 private:
  QTemporaryDir dirHolder_{QStringLiteral("/tmp/quillatorne-shell-XXXXXX")};
  QString dir_;
  QProcess shell_;
  std::string why_;
};

// Where a window is in the Shell's stack (bottom 0), or -1.
int StackIndex(const QJsonArray& windows, const QString& title) {
  for (int i = 0; i < windows.size(); ++i)
    if (windows[i].toObject()["title"].toString() == title) return i;
  return -1;
}

QJsonObject Window(const QJsonArray& windows, const QString& title) {
  const int i = StackIndex(windows, title);
  return i < 0 ? QJsonObject() : windows[i].toObject();
}

// The program as the session's user, a Wayland client of the Shell.
class ShellProgram {
 public:
  explicit ShellProgram(const GnomeSession& session) : session_(session) {}
  ~ShellProgram() { Stop(); }
  bool Start() {
    QFile::remove(session_.dir() + "/program.pid");
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start(QStringLiteral("runuser"),
                   AsUser(session_.dir(), {QStringLiteral("QT_QPA_PLATFORM=wayland"),
                                           QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"),
                                           QStringLiteral("ASAN_OPTIONS=detect_leaks=0"),
                                           QStringLiteral(QUILLATORNE_BINARY)}));
    return process_.waitForStarted(10000);
  }
  // A second start asks the running one for its window.
  bool ShowWindow() {
    QProcess second;
    second.start(QStringLiteral("runuser"),
                 AsUser(session_.dir(), {QStringLiteral("QT_QPA_PLATFORM=wayland"),
                                         QStringLiteral("ASAN_OPTIONS=detect_leaks=0"),
                                         QStringLiteral(QUILLATORNE_BINARY)}));
    return second.waitForFinished(60000) && second.exitCode() == 0;
  }
  bool running() const { return process_.state() != QProcess::NotRunning; }
  bool WaitForExit(int ms) {
    return WaitUntil([&] { return !running(); }, ms);
  }
  QString output() { return out_ += QString::fromLocal8Bit(process_.readAll()); }
  void Stop() {
    if (!running()) return;
    // runuser hands the signal on to the program.
    process_.terminate();
    if (!process_.waitForFinished(15000)) process_.kill();
    process_.waitForFinished(3000);
  }

 private:
  const GnomeSession& session_;
  QProcess process_;
  QString out_;
};

enum class After { FocusBack, NextBox, ProgramEnds };
struct Round {
  const char* open;    // push button of the main window, "item:" and a list item, or none
  const char* box;     // the box's title
  const char* answer;  // the box's button
  After after;
};
}  // namespace

TEST(GnomeShellBoxesE2E, BoxesStayOverTheirWindowAndGiveTheFocusBack) {
  GnomeSession session;
  if (!session.ok()) GTEST_SKIP() << session.why();

  const QString home = session.dir() + "/home";
  const QString list = QStringLiteral("List of directories to search for images:");
  QStringList folders;
  for (const char* name : {"Kept", "One", "Two", "Three"}) {
    folders << home + "/" + name;
    QDir().mkpath(folders.last());
  }
  for (const char* name : {"Gone 1", "Gone 2", "Gone 3"}) folders << home + "/" + name;
  QDir().mkpath(home + "/.config/Quillatorne");
  {
    QFile f(home + "/.config/Quillatorne/settings.reg");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(FolderSettings(folders));
  }
  QProcess::execute(QStringLiteral("chown"),
                    {QStringLiteral("-R"), QString::fromLatin1(kUser), home});

  const Round rounds[] = {
      {"Exit", "Please Confirm", "No", After::FocusBack},
      {"Exit", "Please Confirm", "No", After::FocusBack},
      {"Exit", "Please Confirm", "No", After::FocusBack},
      {"Remove Dir", "Please Confirm", "No", After::FocusBack},
      {"Remove Dir", "Please Confirm", "No", After::FocusBack},
      {"Remove Dir", "Please Confirm", "No", After::FocusBack},
      {"Remove Dir", "Please Confirm", "Yes", After::FocusBack},
      {"Remove Dir", "Please Confirm", "Yes", After::FocusBack},
      {"Remove Dir", "Please Confirm", "Yes", After::FocusBack},
      // A vanished folder the user clicks is reported, then removed; the missing one selected
      // after it is only reported (it stays), until the user clicks it in turn.
      {"item:Gone 1", "Quillatorne Directory Manager", "OK", After::NextBox},
      {"", "Quillatorne Directory Manager", "OK", After::FocusBack},
      {"item:Gone 2", "Quillatorne Directory Manager", "OK", After::NextBox},
      {"", "Quillatorne Directory Manager", "OK", After::FocusBack},
      {"item:Gone 3", "Quillatorne Directory Manager", "OK", After::FocusBack},
      {"Exit", "Please Confirm", "Yes", After::ProgramEnds},
      {"Exit", "Please Confirm", "Yes", After::ProgramEnds},
      {"Exit", "Please Confirm", "Yes", After::ProgramEnds},
  };
  const QString main = QStringLiteral("Quillatorne");
  auto program = std::make_unique<ShellProgram>(session);
  bool started = false;
  for (const Round& r : rounds) {
    SCOPED_TRACE(std::string(r.open) + " then " + r.answer);
    if (!started) {
      program = std::make_unique<ShellProgram>(session);
      ASSERT_TRUE(program->Start());
      ASSERT_TRUE(WaitUntil(
          [&] { return QFileInfo::exists(session.dir() + "/run/quillatorne.socket"); }, 60000))
          << qPrintable(program->output());
      ASSERT_TRUE(program->ShowWindow());
      ASSERT_TRUE(WaitUntil([&] { return StackIndex(session.Windows(), main) >= 0; }, 30000));
      started = true;
    }
    const QString open = QString::fromLatin1(r.open);
    const QStringList click = open.startsWith(QStringLiteral("item:"))
                                  ? QStringList{"clickitem", list, home + "/" + open.mid(5)}
                                  : QStringList{"click", main, open};
    QJsonArray windows;
    // The first click may only bring the window forward while it is still being shown.
    bool boxShown = false;
    for (int attempt = 0; attempt < 3 && !boxShown; ++attempt) {
      if (!open.isEmpty()) {
        ASSERT_TRUE(WaitUntil([&] { return session.Driver(click).has_value(); }, 20000));
      }
      boxShown = WaitUntil(
          [&] {
            windows = session.Windows();
            return Window(windows, QString::fromLatin1(r.box))["focused"].toBool();
          },
          10000);
    }
    ASSERT_TRUE(boxShown) << "no focused box; windows: "
                          << QJsonDocument(windows).toJson().toStdString();
    const QJsonObject box = Window(windows, QString::fromLatin1(r.box));
    EXPECT_EQ(box["transientFor"].toString(), main);
    EXPECT_GT(StackIndex(windows, QString::fromLatin1(r.box)), StackIndex(windows, main));

    ASSERT_TRUE(WaitUntil(
        [&] {
          return session
              .Driver({"click", QString::fromLatin1(r.box), QString::fromLatin1(r.answer)})
              .has_value();
        },
        20000));
    if (r.after == After::ProgramEnds) {
      EXPECT_TRUE(program->WaitForExit(30000));
      started = false;
    } else if (r.after == After::FocusBack) {
      EXPECT_TRUE(WaitUntil(
          [&] {
            windows = session.Windows();
            return StackIndex(windows, QString::fromLatin1(r.box)) < 0 &&
                   Window(windows, main)["focused"].toBool();
          },
          20000))
          << "the focus is not back on the window: "
          << QJsonDocument(windows).toJson().toStdString();
    }
    ASSERT_TRUE(session.running()) << qPrintable(session.Log().right(3000));
    ASSERT_TRUE(session.Driver({"windows"}).has_value()) << "the Shell does not answer";
  }
}
