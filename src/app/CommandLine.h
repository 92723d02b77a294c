#pragma once
// The command line: verbs handed to the running copy (or carried out by a new one), and
// the headless render.
#include <QByteArray>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>

class TFormMain;

// What the tray menu offers, as verbs. None is a plain start.
enum class Verb { None, Show, Next, Random, Refresh, Set, CheckMail, Quit };

struct Command {
  Verb verb = Verb::None;
  QString file;  // Set: the picture, as an absolute path
  // Show: the token a Wayland launcher gave the second start, which lets the running copy's
  // window come forward (xdg-activation); empty when there was none.
  QString activationToken;
  bool operator==(const Command&) const = default;
};

// The request line sent over the one-instance socket. A plain start asks for the window,
// which is what copies without verbs have always sent.
QByteArray EncodeCommand(const Command& command);
// Nothing when the line is not a request this program knows.
std::optional<Command> DecodeCommand(const QByteArray& line);

struct RenderRequest {
  QString outFile;  // .bmp or .png, absolute
  QSize size;       // invalid: the size of the current wallpaper file, else 1920 x 1080
  QString image;    // empty: the current image of the settings
};

struct CommandLine {
  enum class Mode { Run, Help, Version, Render, Error };
  Mode mode = Mode::Run;
  Command command;
  RenderRequest render;
  QString text;  // Help and Version: what to print; Error: what went wrong
};

// args as main() got them, the program name first. Relative file names are taken from
// `currentDir`.
CommandLine ParseCommandLine(const QStringList& args, const QString& currentDir);

// Why the command cannot be carried out, found before anything is done (a --set picture
// that is missing, not a regular file or no JPEG); empty when it can.
QString CommandProblem(const Command& command);

// Carries a verb out as the tray menu's item does; Quit closes without asking, saving
// the settings on the way out.
void CarryOut(TFormMain& form, const Command& command);
