#include "support/E2E.h"

#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <cstring>

#include "platform/DateTime.h"
#include "support/TempHome.h"

bool WaitUntil(const std::function<bool()>& cond, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (!cond()) {
    if (t.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(50);
  }
  return true;
}

namespace {
// Display numbers for our servers. Xvfb's own choice (-displayfd alone) takes the lowest free
// number, the one another test's server has just given up: that server's clean-up can then
// remove the socket of the new one. Each test process walks a range of its own instead.
int NextDisplayNumber() {
  constexpr int kFirst = 100, kCount = 4000;
  static int next = static_cast<int>(::getpid() * 37 % kCount);
  return kFirst + (next++ % kCount);
}
}  // namespace

XvfbDisplay::XvfbDisplay(int width, int height) {
  for (int attempt = 0; attempt < 20 && display_.isEmpty(); ++attempt) {
    const QString display = QStringLiteral(":%1").arg(NextDisplayNumber());
    // -displayfd tells when the server is ready; a number in use ends it at once.
    xvfb_.setProgram(QStringLiteral("Xvfb"));
    xvfb_.setArguments({display, QStringLiteral("-displayfd"), QStringLiteral("1"),
                        QStringLiteral("-screen"), QStringLiteral("0"),
                        QStringLiteral("%1x%2x24").arg(width).arg(height),
                        QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    xvfb_.setProcessChannelMode(QProcess::SeparateChannels);
    xvfb_.start();
    if (!xvfb_.waitForStarted(5000)) return;
    QByteArray out;
    WaitUntil(
        [&] {
          out += xvfb_.readAllStandardOutput();
          return out.contains('\n') || xvfb_.state() == QProcess::NotRunning;
        },
        10000);
    if (xvfb_.state() == QProcess::Running && !out.trimmed().isEmpty()) {
      display_ = display;
    } else {
      xvfb_.kill();
      xvfb_.waitForFinished(1000);
    }
  }
}

XvfbDisplay::~XvfbDisplay() {
  if (xvfb_.state() != QProcess::NotRunning) {
    xvfb_.terminate();
    if (!xvfb_.waitForFinished(3000)) xvfb_.kill();
    xvfb_.waitForFinished(1000);
  }
}

QImage XvfbDisplay::GrabRoot() const {
  // `import` writes a PNG we can load without extra plugins.
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("DISPLAY"), display_);
  p.setProcessEnvironment(env);
  p.start(QStringLiteral("import"),
          {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("png:-")});
  if (!p.waitForFinished(20000)) return QImage();
  return QImage::fromData(p.readAllStandardOutput(), "PNG");
}

SessionBus::SessionBus(Services services) {
  QStringList args{QStringLiteral("--session")};
  if (services == Bare) {
    // The session bus's own configuration without its service folders.
    config_ = QDir::temp().filePath(QStringLiteral("quillatorne-bare-bus-%1-%2.conf")
                                        .arg(::getpid())
                                        .arg(reinterpret_cast<quintptr>(this)));
    QFile file(config_);
    if (file.open(QIODevice::WriteOnly))
      file.write(
          "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
          " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
          "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>"
          "<auth>EXTERNAL</auth><policy context=\"default\">"
          "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
          "<allow own=\"*\"/></policy></busconfig>\n");
    args = {QStringLiteral("--config-file=") + config_};
  }
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  if (runtime_.isValid()) env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
  bus_.setProcessEnvironment(env);
  bus_.start(QStringLiteral("dbus-daemon"),
             args + QStringList{QStringLiteral("--nofork"), QStringLiteral("--print-address")});
  if (bus_.waitForStarted(5000) && bus_.waitForReadyRead(5000))
    address_ = QString::fromUtf8(bus_.readLine()).trimmed();
}

SessionBus::~SessionBus() {
  if (!config_.isEmpty()) QFile::remove(config_);
  if (bus_.state() == QProcess::NotRunning) return;
  bus_.terminate();
  if (!bus_.waitForFinished(3000)) bus_.kill();
  bus_.waitForFinished(1000);
}

std::optional<QStringList> AtspiUser::Run(const QStringList& args) const {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("DISPLAY"), display_.display());
  env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_.address());
  p.setProcessEnvironment(env);
  // The system's Python, which has the accessibility bindings.
  p.start(QStringLiteral("/usr/bin/python3"),
          QStringList{QStringLiteral(QUILLATORNE_SOURCE_DIR "/tests/e2e/atspi_driver.py")} + args);
  if (!p.waitForFinished(60000) || p.exitCode() != 0) return std::nullopt;
  return QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString XvfbDisplay::Describe() const {
  const QString state = xvfb_.state() == QProcess::NotRunning
                            ? QStringLiteral("ended with %1").arg(xvfb_.exitCode())
                            : QStringLiteral("running");
  return QStringLiteral("Xvfb on %1: %2; it printed:\n%3")
      .arg(display_, state, QString::fromLocal8Bit(xvfb_.readAllStandardError()));
}

ProgramRun::ProgramRun(const XvfbDisplay& display, const TempHome& home) : display_(display) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("DISPLAY"), display.display());
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  env.insert(QStringLiteral("HOME"), home.path());
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + "/.config");
  env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + "/.local/share");
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path() + "/run");
  env.remove(QStringLiteral("XDG_CURRENT_DESKTOP"));
  env.remove(QStringLiteral("DESKTOP_SESSION"));
  env.remove(QStringLiteral("WAYLAND_DISPLAY"));
  env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
  env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
  QDir().mkpath(home.path() + "/run");
  QFile::setPermissions(home.path() + "/run",
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  process_.setProcessEnvironment(env);
  process_.setProgram(QStringLiteral(QUILLATORNE_BINARY));
}

ProgramRun::~ProgramRun() {
  if (running()) {
    process_.kill();
    process_.waitForFinished(3000);
  }
}

void ProgramRun::setEnv(const QString& name, const QString& value) {
  QProcessEnvironment env = process_.processEnvironment();
  env.insert(name, value);
  process_.setProcessEnvironment(env);
}

bool ProgramRun::Start() {
  process_.start();
  return process_.waitForStarted(10000);
}

bool ProgramRun::WaitForExit(int timeoutMs) {
  return WaitUntil([&] { return !running(); }, timeoutMs);
}

int ProgramRun::Terminate(int timeoutMs) {
  if (!running()) return process_.exitCode();
  ::kill(static_cast<pid_t>(process_.processId()), SIGTERM);
  if (!WaitForExit(timeoutMs)) {
    process_.kill();
    process_.waitForFinished(3000);
    return -1;
  }
  return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

QString ProgramRun::stderrText() {
  err_ += process_.readAllStandardError();
  QString text = QString::fromLocal8Bit(err_);
  if (text.contains(QStringLiteral("could not connect to display")))
    text += QStringLiteral("\n[") + display_.Describe() + QStringLiteral("]\n");
  return text;
}

bool ProgramRun::WaitForStderr(const QString& text, int timeoutMs) {
  return WaitUntil([&] { return stderrText().contains(text); }, timeoutMs);
}

bool StartWithWindowShown(ProgramRun& program, const XvfbDisplay& display, const TempHome& home,
                          const SessionBus& bus) {
  program.setEnv(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
  program.setEnv(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
  if (!program.Start() ||
      !WaitUntil([&] { return QFileInfo::exists(home.path() + "/run/quillatorne.socket"); }, 30000))
    return false;
  ProgramRun second(display, home);
  return second.Start() && second.WaitForExit(30000) &&
         WaitUntil([&] { return WindowViewable(display.display(), "Quillatorne"); }, 30000);
}

std::string PrepareSessionUser(const char* user, const char* compositor) {
  if (::geteuid() != 0)
    return std::string("the test must run as root to start ") + compositor +
           " as a user of its own";
  if (QStandardPaths::findExecutable(QString::fromLatin1(compositor)).isEmpty())
    return std::string(compositor) + " is not installed";
  if (QProcess::execute(QStringLiteral("id"), {QString::fromLatin1(user)}) != 0)
    QProcess::execute(QStringLiteral("useradd"),
                      {QStringLiteral("--system"), QStringLiteral("--no-create-home"),
                       QString::fromLatin1(user)});
  return std::string();
}

void HandFolderTo(const QString& dir, const char* user) {
  QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                 QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                 QFileDevice::ExeOther);
  QProcess::execute(QStringLiteral("chown"), {QString::fromLatin1(user), dir});
}

QString RunOnDisplay(const QString& display, const QString& program, const QStringList& args) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("DISPLAY"), display);
  p.setProcessEnvironment(env);
  p.start(program, args);
  p.waitForFinished(10000);
  return QString::fromLocal8Bit(p.readAllStandardOutput());
}

QStringList WindowIds(const QString& display, const QString& name) {
  QStringList ids;
  const QRegularExpression re(QStringLiteral("^\\s*(0x[0-9a-f]+) \"([^\"]*)\""));
  const QString tree = RunOnDisplay(display, QStringLiteral("xwininfo"),
                                    {QStringLiteral("-root"), QStringLiteral("-tree")});
  for (const QString& line : tree.split('\n')) {
    const auto m = re.match(line);
    if (m.hasMatch() && m.captured(2) == name) ids << m.captured(1);
  }
  return ids;
}

bool WindowIdViewable(const QString& display, const QString& id) {
  return RunOnDisplay(display, QStringLiteral("xwininfo"), {QStringLiteral("-id"), id})
      .contains(QStringLiteral("Map State: IsViewable"));
}

QString ViewableWindow(const QString& display, const QString& name) {
  for (const QString& id : WindowIds(display, name)) {
    if (WindowIdViewable(display, id)) return id;
  }
  return QString();
}

bool WindowViewable(const QString& display, const QString& name) {
  return !ViewableWindow(display, name).isEmpty();
}

namespace {
// A date-time as the settings file holds it: eight little-endian bytes.
QByteArray HexDateTime(double days) {
  unsigned char bytes[8];
  static_assert(sizeof days == 8);
  std::memcpy(bytes, &days, 8);
  QStringList hex;
  for (unsigned char b : bytes) hex << QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0'));
  return hex.join(',').toLatin1();
}

QByteArray Section(const char* name) {
  return QByteArray("\n[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\") + name + "]\n";
}

}  // namespace

QByteArray SettingsWithReminderDueNow(const QByteArray& wallpaper) {
  return SettingsWithOneOffReminders({0, 4}, wallpaper);
}

QByteArray SettingsWithOneOffReminders(const QList<double>& minutesFromNow,
                                       const QByteArray& wallpaper) {
  const double now = DateTimeToDays(QDateTime::currentDateTime());
  QByteArray s = "Windows Registry Editor Version 5.00\n";
  s += Section("Base") + "\"OK\"=dword:00000001\n";
  s += Section("Wallpaper") + wallpaper;
  s += Section("Email") + "\"EnableCheck\"=dword:00000000\n";
  s += Section("Reminders") + "\"Reminder Count\"=dword:0000000" +
       QByteArray::number(minutesFromNow.size()) + "\n";
  for (int n = 0; n < minutesFromNow.size(); ++n) {
    s += Section("Popup Reminder " + QByteArray::number(n + 1));
    s += "\"Name\"=\"Dentist " + QByteArray::number(n + 1) + "\"\n";
    s += "\"Text\"=\"Bring the forms\"\n";
    s += "\"DateTime\"=hex:" + HexDateTime(now + minutesFromNow[n] / kMinutesPerDay) + "\n";
    s += "\"Recur\"=dword:00000000\n";
  }
  return s;
}

QByteArray FolderSettings(const QStringList& folders) {
  const QByteArray key = "[HKEY_CURRENT_USER\\SOFTWARE\\Orbwright\\Quillatorne\\4.0\\";
  QByteArray s = "Windows Registry Editor Version 5.00\n\n" + key +
                 "Base]\n\"OK\"=dword:00000001\n\n" + key + "Wallpaper]\n\"PathsCount\"=dword:" +
                 QByteArray::number(folders.size(), 16).rightJustified(8, '0') + "\n";
  for (int i = 0; i < folders.size(); ++i)
    s += "\"Path " + QByteArray::number(i + 1) + "\"=\"" + folders[i].toUtf8() + "\"\n";
  s += "\"SelPath\"=\"" + folders.first().toUtf8() + "\"\n";
  return s + "\"ChangeRule\"=dword:00000000\n\n" + key +
         "Calendar]\n\"ShowCalendar\"=dword:00000000\n\n";
}

QStringList BoxRoundFolders(const QString& home) {
  QStringList folders;
  for (const char* name : {"One", "Two"}) {
    folders << home + "/" + name;
    QDir().mkpath(folders.last());
  }
  return folders << home + "/Gone";
}

const BoxRound kBoxRounds[6] = {
    {"Exit", "Please Confirm", "No", AfterBox::FocusBack},
    {"Remove Dir", "Please Confirm", "No", AfterBox::FocusBack},
    {"Remove Dir", "Please Confirm", "Yes", AfterBox::FocusBack},
    {"Remove Dir", "Please Confirm", "Yes", AfterBox::NextBox},
    {"", "Quillatorne Directory Manager", "OK", AfterBox::FocusBack},
    {"Exit", "Please Confirm", "Yes", AfterBox::ProgramEnds},
};

QByteArray Utf16LeWithBom(const QString& text) {
  QByteArray out("\xFF\xFE", 2);
  for (QChar c : text) {
    out.append(static_cast<char>(c.unicode() & 0xFF));
    out.append(static_cast<char>(c.unicode() >> 8));
  }
  return out;
}

QString SamplePhotoFolder(const QString& home) {
  const QString photos = home + "/photos";
  QDir().mkpath(photos);
  for (const char* name : {"autumn-forest.jpg", "dusk-hills.jpg", "morning-sea.jpg"})
    QFile::copy(QStringLiteral(QUILLATORNE_SOURCE_DIR "/data/images/") + name, photos + "/" + name);
  return photos;
}

QString SavedSetting(const QString& settingsFile, const QString& name) {
  QFile f(settingsFile);
  if (!f.open(QIODevice::ReadOnly)) return {};
  const auto m = QRegularExpression(QStringLiteral("\\n\"%1\"=\"([^\"]*)\"").arg(name))
                     .match(QString::fromUtf8(f.readAll()));
  return m.hasMatch() ? m.captured(1) : QString();
}
