#pragma once
// A headless sway session of our own, run as an unprivileged user (sway refuses root), with a
// session bus; the program and the test's tools run inside it as that user.
#include <QImage>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <optional>
#include <string>

class SwaySession {
 public:
  // Outputs HEADLESS-1 ... HEADLESS-n of 1280x720; extra lines go into sway's configuration.
  explicit SwaySession(int outputs = 1, const QString& extraConfig = QString());
  ~SwaySession();
  bool ok() const { return why_.empty(); }
  const std::string& why() const { return why_; }
  QString dir() const { return dir_; }
  QString home() const { return dir_ + "/home"; }
  bool running() const { return sway_.state() != QProcess::NotRunning; }
  QString Log() const;

  // runuser's arguments that run the command as the session's user, in the session.
  QStringList AsUser(const QStringList& command) const;
  // Runs a command as the user; its standard output, or nothing when it failed.
  std::optional<QString> Run(const QStringList& command, int timeoutMs = 60000) const;
  // Hands the folder and everything in it to the session's user.
  void GiveToUser(const QString& path) const;
  // swaymsg's answer; nothing when it failed.
  std::optional<QString> Msg(const QStringList& args) const;
  QJsonObject Tree() const;
  // What the output shows now, taken with grim.
  QImage Screenshot(const QString& output) const;

  // The tree's node of that title (a view), or none.
  static QJsonObject FindView(const QJsonObject& tree, const QString& name);
  // The name of the focused view; empty when no view has the focus.
  static QString FocusedView(const QJsonObject& tree);
  // Whether the view is a floating one (over the tiled ones of its workspace).
  static bool IsFloating(const QJsonObject& tree, const QString& name);

 private:
  QTemporaryDir holder_{QStringLiteral("/tmp/quillatorne-sway-XXXXXX")};
  QString dir_;
  QProcess sway_;
  QString wayland_, swaysock_;
  std::string why_;
};

// The program as the session's user, a native Wayland client; its output in a log file.
class SwayProgram {
 public:
  explicit SwayProgram(const SwaySession& session) : session_(session) {}
  ~SwayProgram() { Stop(); }
  // Extra environment ("NAME=value") for the next Start.
  void addEnv(const QString& assignment) { env_ << assignment; }
  // Leaves the choice of Qt's platform plugin to Qt, as a plain start from a desktop does.
  void letQtChoose() {
    platform_ = {QStringLiteral("env"), QStringLiteral("-u"), QStringLiteral("QT_QPA_PLATFORM"),
                 QStringLiteral("-u"), QStringLiteral("DISPLAY")};
  }
  bool Start();
  // Waits until it listens for a second start.
  bool WaitForListening(int timeoutMs = 60000) const;
  // A second start asks the running one for its window.
  bool ShowWindow() const;
  bool running() const { return process_.state() != QProcess::NotRunning; }
  bool WaitForExit(int timeoutMs);
  QString Log() const;
  void Stop();

 private:
  const SwaySession& session_;
  QStringList env_;
  QStringList platform_{QStringLiteral("QT_QPA_PLATFORM=wayland")};
  QProcess process_;
};

// What a client's WAYLAND_DEBUG=client log says about its windows now: the title of the
// parent of the last window of that title (empty when it has none), and whether it is there.
struct LoggedToplevel {
  bool found = false;
  QString parentTitle;
};
LoggedToplevel ToplevelInLog(const QString& log, const QString& title);
