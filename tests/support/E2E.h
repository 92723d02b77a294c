#pragma once
// Running the real program: an Xvfb display of our own and the program under it, with
// HOME and the XDG folders in a temporary home.
#include <QImage>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class TempHome;

class XvfbDisplay {
 public:
  // Starts Xvfb on a free display with one screen of that size (24-bit).
  XvfbDisplay(int width = 1024, int height = 768);
  ~XvfbDisplay();
  bool ok() const { return !display_.isEmpty(); }
  QString display() const { return display_; }  // ":N"
  // The root window's contents, as `xwd -root` shows them.
  QImage GrabRoot() const;
  // Whether the server still runs, and what it printed: for a client that could not connect.
  QString Describe() const;

 private:
  mutable QProcess xvfb_;
  QString display_;
};

// A D-Bus session of our own (the accessibility bus starts from it); ends with the object.
// Services it starts get a runtime folder of their own: without one the accessibility bus
// puts its socket under $HOME/.cache, shared with every other test's bus, and the first
// test to end deletes it from under the others.
class SessionBus {
 public:
  // Bare: no service can be started on demand, only what the test starts is on the bus.
  enum Services { Activatable, Bare };
  explicit SessionBus(Services services = Activatable);
  ~SessionBus();
  bool ok() const { return !address_.isEmpty(); }
  QString address() const { return address_; }

 private:
  QTemporaryDir runtime_;
  QProcess bus_;
  QString address_;
  QString config_;
};

// A user at the display, acting through tests/e2e/atspi_driver.py: the controls found on the
// accessibility bus, the mouse moved and clicked on them.
class AtspiUser {
 public:
  AtspiUser(const XvfbDisplay& display, const SessionBus& bus) : display_(display), bus_(bus) {}
  // The driver's output lines, or nothing when it failed.
  std::optional<QStringList> Run(const QStringList& args) const;

 private:
  const XvfbDisplay& display_;
  const SessionBus& bus_;
};

class ProgramRun {
 public:
  ProgramRun(const XvfbDisplay& display, const TempHome& home);
  ~ProgramRun();
  // Extra environment for the program (set before Start).
  void setEnv(const QString& name, const QString& value);
  bool Start();
  // Sends SIGTERM and waits for the end; returns the exit code (-1 when it had to be killed).
  int Terminate(int timeoutMs = 10000);
  bool WaitForExit(int timeoutMs);
  bool running() const { return process_.state() != QProcess::NotRunning; }
  QString stderrText();
  // Waits (bounded) until the program has printed that text on standard error: what it
  // wrote may still be in the pipe when the state it describes is already visible.
  bool WaitForStderr(const QString& text, int timeoutMs = 10000);
  QProcess& process() { return process_; }

 private:
  const XvfbDisplay& display_;
  QProcess process_;
  QByteArray err_;
};

// Starts the program with its controls on the bus's accessibility bus, then a second start,
// which shows the running one's window; true once that window is viewable.
bool StartWithWindowShown(ProgramRun& program, const XvfbDisplay& display, const TempHome& home,
                          const SessionBus& bus);

// For a session run as a user of its own (compositors refuse root): the reason it cannot
// run here, else empty once the user exists.
std::string PrepareSessionUser(const char* user, const char* compositor);
// Opens the folder to the session's user (who gets it) and to nobody else for writing.
void HandFolderTo(const QString& dir, const char* user);

// Polls cond every 50 ms (processing events) until it holds or the time is up.
bool WaitUntil(const std::function<bool()>& cond, int timeoutMs);
// Runs an X client (xwininfo, xprop, ...) on the display; returns what it printed.
QString RunOnDisplay(const QString& display, const QString& program, const QStringList& args);
// Ids of the windows with that name, mapped or not.
QStringList WindowIds(const QString& display, const QString& name);
bool WindowIdViewable(const QString& display, const QString& id);
// The id of a mapped, viewable window with that name; empty when there is none.
QString ViewableWindow(const QString& display, const QString& name);
bool WindowViewable(const QString& display, const QString& name);
// A settings file with these wallpaper folders (the first selected), the rule "never change"
// and no calendar: a quiet start whose main window has boxes to open.
QByteArray FolderSettings(const QStringList& folders);

// Two one-off reminders, one in this four-minute slot and one in the next, so whichever
// slot the program starts in has a reminder due. The wallpaper values are given whole.
QByteArray SettingsWithReminderDueNow(
    const QByteArray& wallpaper = "\"ChangeRule\"=dword:00000000\n");
// One-off reminders "Dentist 1", "Dentist 2", ... that many minutes from now (fewer than
// ten).
QByteArray SettingsWithOneOffReminders(
    const QList<double>& minutesFromNow,
    const QByteArray& wallpaper = "\"ChangeRule\"=dword:00000000\n");

// One box opened from the main window and answered.
enum class AfterBox { FocusBack, NextBox, ProgramEnds };
struct BoxRound {
  const char* open;    // push button of the main window, or none when the box follows another
  const char* box;     // the box's title
  const char* answer;  // the box's button
  AfterBox after;
};
// Folders "One", "Two" and a vanished "Gone", in that order: Exit and Remove Dir answered No,
// two folders removed, the vanished one reported as it comes next, and Exit answered Yes.
QStringList BoxRoundFolders(const QString& home);
extern const BoxRound kBoxRounds[6];

// Encodes text as regedit exports it on Windows: UTF-16LE with a byte-order mark.
QByteArray Utf16LeWithBom(const QString& text);

// A folder "photos" in home with three of the sample photos; its path.
QString SamplePhotoFolder(const QString& home);
// A text value of the settings file as saved; empty when it is not there.
QString SavedSetting(const QString& settingsFile, const QString& name);
