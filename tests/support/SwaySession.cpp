#include "support/SwaySession.h"

#include <signal.h>

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QRegularExpression>

#include "support/E2E.h"

namespace {
const char kUser[] = "quillatorne-sway";

// The bus first, then sway in front; its children learn where the session is from it.
const char kSessionScript[] = R"(
cd "$1"
mkdir -p home run && chmod 700 run
dbus-daemon --session --address=unix:path="$1/session_bus" --fork --print-pid > session_bus.pid
echo $$ > sway.pid
exec sway -c "$1/sway.config"
)";

QString ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// Views are the nodes that have a shell (xdg_shell or xwayland).
void Views(const QJsonObject& node, bool floating, std::vector<std::pair<QJsonObject, bool>>* out) {
  if (node.contains(QStringLiteral("shell"))) out->push_back({node, floating});
  for (const auto& child : node[QStringLiteral("nodes")].toArray())
    Views(child.toObject(), floating, out);
  for (const auto& child : node[QStringLiteral("floating_nodes")].toArray())
    Views(child.toObject(), true, out);
}
}  // namespace

SwaySession::SwaySession(int outputs, const QString& extraConfig) {
  why_ = PrepareSessionUser(kUser, "sway");
  if (!ok()) return;
  dir_ = holder_.path();
  HandFolderTo(dir_, kUser);
  {
    QFile config(dir_ + "/sway.config");
    if (!config.open(QIODevice::WriteOnly)) {
      why_ = "cannot write sway's configuration";
      return;
    }
    // A session without Xwayland, as a pure Wayland desktop is.
    config.write(
        "xwayland disable\n"
        "output * resolution 1280x720 bg #203040 solid_color\n"
        "exec sh -c 'printf \"%s\\n%s\\n\" \"$WAYLAND_DISPLAY\" \"$SWAYSOCK\" > " +
        dir_.toUtf8() + "/session.env.new && mv " + dir_.toUtf8() + "/session.env.new " +
        dir_.toUtf8() + "/session.env'\n" + extraConfig.toUtf8() + "\n");
  }
  QProcess::execute(QStringLiteral("chown"),
                    {QString::fromLatin1(kUser), dir_, dir_ + "/sway.config"});

  QProcessEnvironment env;
  env.insert(QStringLiteral("PATH"), QProcessEnvironment::systemEnvironment().value("PATH"));
  sway_.setProcessEnvironment(env);
  sway_.setProcessChannelMode(QProcess::MergedChannels);
  sway_.setStandardOutputFile(dir_ + "/sway.log");
  sway_.start(QStringLiteral("runuser"),
              QStringList{QStringLiteral("-u"), QString::fromLatin1(kUser), QStringLiteral("--"),
                          QStringLiteral("env"), QStringLiteral("HOME=") + home(),
                          QStringLiteral("XDG_RUNTIME_DIR=") + dir_ + "/run",
                          QStringLiteral("WLR_BACKENDS=headless"),
                          QStringLiteral("WLR_HEADLESS_OUTPUTS=%1").arg(outputs),
                          QStringLiteral("WLR_LIBINPUT_NO_DEVICES=1"),
                          QStringLiteral("WLR_RENDERER=pixman"), QStringLiteral("/bin/sh"),
                          QStringLiteral("-c"), QString::fromLatin1(kSessionScript),
                          QStringLiteral("sh"), dir_});
  const bool started = WaitUntil(
      [&] {
        const QStringList lines = ReadFile(dir_ + "/session.env").split('\n', Qt::SkipEmptyParts);
        if (lines.size() == 2) {
          wayland_ = lines[0];
          swaysock_ = lines[1];
          return Msg({QStringLiteral("-t"), QStringLiteral("get_version")}).has_value();
        }
        return !running();
      },
      60000);
  if (!started || !running() || swaysock_.isEmpty())
    why_ = "sway did not start: " + Log().right(2000).toStdString();
}

SwaySession::~SwaySession() {
  // Only what the session script started, by the ids it wrote down.
  for (const char* name : {"sway.pid", "session_bus.pid"}) {
    const int pid = ReadFile(dir_ + "/" + name).trimmed().toInt();
    if (pid > 0) ::kill(pid, SIGTERM);
  }
  if (!sway_.waitForFinished(10000)) sway_.kill();
  sway_.waitForFinished(3000);
}

QString SwaySession::Log() const { return ReadFile(dir_ + "/sway.log"); }

QStringList SwaySession::AsUser(const QStringList& command) const {
  return QStringList{QStringLiteral("-u"),
                     QString::fromLatin1(kUser),
                     QStringLiteral("--"),
                     QStringLiteral("env"),
                     QStringLiteral("HOME=") + home(),
                     QStringLiteral("XDG_RUNTIME_DIR=") + dir_ + "/run",
                     QStringLiteral("XDG_CONFIG_HOME=") + home() + "/.config",
                     QStringLiteral("XDG_DATA_HOME=") + home() + "/.local/share",
                     QStringLiteral("DBUS_SESSION_BUS_ADDRESS=unix:path=") + dir_ + "/session_bus",
                     QStringLiteral("WAYLAND_DISPLAY=") + wayland_,
                     QStringLiteral("SWAYSOCK=") + swaysock_,
                     QStringLiteral("XDG_SESSION_TYPE=wayland"),
                     QStringLiteral("XDG_CURRENT_DESKTOP=sway")} +
         command;
}

std::optional<QString> SwaySession::Run(const QStringList& command, int timeoutMs) const {
  QProcess p;
  p.setProcessEnvironment(sway_.processEnvironment());
  p.start(QStringLiteral("runuser"), AsUser(command));
  if (!p.waitForFinished(timeoutMs) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
    return std::nullopt;
  return QString::fromUtf8(p.readAllStandardOutput());
}

void SwaySession::GiveToUser(const QString& path) const {
  QProcess::execute(QStringLiteral("chown"),
                    {QStringLiteral("-R"), QString::fromLatin1(kUser), path});
}

std::optional<QString> SwaySession::Msg(const QStringList& args) const {
  return Run(QStringList{QStringLiteral("swaymsg"), QStringLiteral("-r")} + args, 20000);
}

QJsonObject SwaySession::Tree() const {
  const auto out = Msg({QStringLiteral("-t"), QStringLiteral("get_tree")});
  return out ? QJsonDocument::fromJson(out->toUtf8()).object() : QJsonObject();
}

QImage SwaySession::Screenshot(const QString& output) const {
  const QString file = dir_ + "/shot-" + output + ".png";
  QFile::remove(file);
  if (!Run({QStringLiteral("grim"), QStringLiteral("-o"), output, file})) return QImage();
  return QImage(file);
}

QJsonObject SwaySession::FindView(const QJsonObject& tree, const QString& name) {
  std::vector<std::pair<QJsonObject, bool>> views;
  Views(tree, false, &views);
  for (const auto& [view, floating] : views)
    if (view[QStringLiteral("name")].toString() == name) return view;
  return QJsonObject();
}

QString SwaySession::FocusedView(const QJsonObject& tree) {
  std::vector<std::pair<QJsonObject, bool>> views;
  Views(tree, false, &views);
  for (const auto& [view, floating] : views)
    if (view[QStringLiteral("focused")].toBool()) return view[QStringLiteral("name")].toString();
  return QString();
}

bool SwaySession::IsFloating(const QJsonObject& tree, const QString& name) {
  std::vector<std::pair<QJsonObject, bool>> views;
  Views(tree, false, &views);
  for (const auto& [view, floating] : views)
    if (view[QStringLiteral("name")].toString() == name) return floating;
  return false;
}

bool SwayProgram::Start() {
  process_.setProcessChannelMode(QProcess::MergedChannels);
  process_.setStandardOutputFile(session_.dir() + "/program.log");
  process_.start(
      QStringLiteral("runuser"),
      session_.AsUser(platform_ + QStringList{QStringLiteral("ASAN_OPTIONS=detect_leaks=0")} +
                      env_ + QStringList{QStringLiteral(QUILLATORNE_BINARY)}));
  return process_.waitForStarted(10000);
}

bool SwayProgram::WaitForListening(int timeoutMs) const {
  return WaitUntil(
             [&] {
               return QFileInfo::exists(session_.dir() + "/run/quillatorne.socket") || !running();
             },
             timeoutMs) &&
         running();
}

bool SwayProgram::ShowWindow() const {
  return session_
      .Run(platform_ + QStringList{QStringLiteral("ASAN_OPTIONS=detect_leaks=0"),
                                   QStringLiteral(QUILLATORNE_BINARY)})
      .has_value();
}

bool SwayProgram::WaitForExit(int timeoutMs) {
  return WaitUntil([&] { return !running(); }, timeoutMs);
}

QString SwayProgram::Log() const { return ReadFile(session_.dir() + "/program.log"); }

void SwayProgram::Stop() {
  if (!running()) return;
  // runuser hands the signal on to the program.
  process_.terminate();
  if (!process_.waitForFinished(15000)) process_.kill();
  process_.waitForFinished(3000);
}

LoggedToplevel ToplevelInLog(const QString& log, const QString& title) {
  // Ids are reused once a window is gone, so the requests are followed in order.
  const QRegularExpression created(QStringLiteral("get_toplevel\\(new id xdg_toplevel@(\\d+)\\)"));
  const QRegularExpression named(
      QStringLiteral("-> xdg_toplevel@(\\d+)\\.set_title\\(\"(.*)\"\\)"));
  const QRegularExpression parent(
      QStringLiteral("-> xdg_toplevel@(\\d+)\\.set_parent\\((?:xdg_toplevel@(\\d+)|nil)\\)"));
  QMap<QString, QString> titles, parents;
  QString last;
  for (const QString& line : log.split('\n')) {
    if (auto m = created.match(line); m.hasMatch()) {
      titles.remove(m.captured(1));
      parents.remove(m.captured(1));
    } else if (auto m = named.match(line); m.hasMatch()) {
      titles[m.captured(1)] = m.captured(2);
      if (m.captured(2) == title) last = m.captured(1);
    } else if (auto m = parent.match(line); m.hasMatch()) {
      parents[m.captured(1)] = m.captured(2);
    }
  }
  LoggedToplevel result;
  result.found = !last.isEmpty() && titles.value(last) == title;
  if (result.found && !parents.value(last).isEmpty())
    result.parentTitle = titles.value(parents.value(last));
  return result;
}
