#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <array>

#include "app/TFormMain.h"
#include "settings/Config.h"
#include "wallpaper/ChangeRules.h"
#include "wallpaper/JpegDecoder.h"

namespace {
struct VerbName {
  Verb verb;
  const char* name;  // the option without its dashes, and the word on the socket
};
constexpr std::array<VerbName, 7> kVerbs = {{
    {Verb::Show, "show"},
    {Verb::Next, "next"},
    {Verb::Random, "random"},
    {Verb::Refresh, "refresh"},
    {Verb::Set, "set"},
    {Verb::CheckMail, "check-mail"},
    {Verb::Quit, "quit"},
}};

constexpr int kLargestSide = 16384;

const char* kHelp =
    "Usage: quillatorne [VERB] | --render OUT.bmp|OUT.png [--size WxH] [--image FILE]\n"
    "\n"
    "Quillatorne keeps the desktop wallpaper alive with a month calendar on it. Started\n"
    "without arguments it goes to the system tray; when it is running already, its\n"
    "window comes up.\n"
    "\n"
    "Verbs (handed to the running Quillatorne, or carried out by a new one):\n"
    "  --show          show the settings window\n"
    "  --next          set the next wallpaper\n"
    "  --random        set a random wallpaper\n"
    "  --refresh       redraw the current wallpaper\n"
    "  --set FILE      make the picture FILE the wallpaper\n"
    "  --check-mail    check the mail accounts now\n"
    "  --quit          end the running Quillatorne, saving its settings\n"
    "\n"
    "Drawing without a desktop (needs no display, leaves a running Quillatorne alone):\n"
    "  --render OUT    write the wallpaper, calendar included, to OUT (.bmp or .png)\n"
    "  --size WxH      its size (default: that of the current wallpaper, else 1920x1080)\n"
    "  --image FILE    the picture to use (default: the current one)\n"
    "\n"
    "  -h, --help      show this text\n"
    "  -v, --version   show the version\n"
    "\n"
    "Exit status: 0 when done or handed over, 1 when it failed, 2 for a wrong command line.\n";

CommandLine Fail(const QString& why) {
  CommandLine result;
  result.mode = CommandLine::Mode::Error;
  result.text = why + QStringLiteral("\nTry 'quillatorne --help'.");
  return result;
}

QString Absolute(const QString& file, const QString& currentDir) {
  return QDir::cleanPath(QDir(currentDir).absoluteFilePath(file));
}

std::optional<QSize> ParseSize(const QString& text) {
  static const QRegularExpression re(QStringLiteral("^(\\d{1,5})[xX](\\d{1,5})$"));
  const auto m = re.match(text);
  if (!m.hasMatch()) return std::nullopt;
  const int w = m.captured(1).toInt(), h = m.captured(2).toInt();
  if (w < 1 || h < 1 || w > kLargestSide || h > kLargestSide) return std::nullopt;
  return QSize(w, h);
}
}  // namespace

QByteArray EncodeCommand(const Command& command) {
  QByteArray line = "show";
  for (const auto& v : kVerbs) {
    if (v.verb == command.verb) line = v.name;
  }
  // Percent-encoded, so a file name with spaces or line breaks stays one word.
  if (command.verb == Verb::Set) line += ' ' + command.file.toUtf8().toPercentEncoding();
  // Only when there is one: a plain request stays what older copies understand.
  const bool shows = command.verb == Verb::Show || command.verb == Verb::None;
  if (shows && !command.activationToken.isEmpty())
    line += " token=" + command.activationToken.toUtf8().toPercentEncoding();
  return line + '\n';
}

std::optional<Command> DecodeCommand(const QByteArray& line) {
  if (!line.endsWith('\n')) return std::nullopt;
  const QByteArray body = line.chopped(1);
  const qsizetype space = body.indexOf(' ');
  const QByteArray word = space < 0 ? body : body.left(space);
  for (const auto& v : kVerbs) {
    if (word != v.name) continue;
    Command command{v.verb, QString(), QString()};
    if (v.verb == Verb::Set) {
      if (space < 0) return std::nullopt;
      command.file = QString::fromUtf8(QByteArray::fromPercentEncoding(body.mid(space + 1)));
      if (!QDir::isAbsolutePath(command.file)) return std::nullopt;
    } else if (space >= 0) {
      const QByteArray rest = body.mid(space + 1);
      if (v.verb != Verb::Show || !rest.startsWith("token=")) return std::nullopt;
      command.activationToken = QString::fromUtf8(QByteArray::fromPercentEncoding(rest.mid(6)));
    }
    return command;
  }
  return std::nullopt;
}

CommandLine ParseCommandLine(const QStringList& args, const QString& currentDir) {
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
  const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
  const QCommandLineOption render(QStringLiteral("render"), QString(), QStringLiteral("OUT"));
  const QCommandLineOption size(QStringLiteral("size"), QString(), QStringLiteral("WxH"));
  const QCommandLineOption image(QStringLiteral("image"), QString(), QStringLiteral("FILE"));
  parser.addOptions({help, version, render, size, image});
  for (const auto& v : kVerbs) {
    const QString name = QString::fromLatin1(v.name);
    parser.addOption(v.verb == Verb::Set
                         ? QCommandLineOption(name, QString(), QStringLiteral("FILE"))
                         : QCommandLineOption(name));
  }
  if (!parser.parse(args)) return Fail(parser.errorText());
  if (!parser.positionalArguments().isEmpty()) {
    return Fail(
        QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first()));
  }

  CommandLine result;
  if (parser.isSet(help)) {
    result.mode = CommandLine::Mode::Help;
    result.text = QString::fromLatin1(kHelp);
    return result;
  }
  if (parser.isSet(version)) {
    const ProgramConfigT program;
    result.mode = CommandLine::Mode::Version;
    result.text =
        QString::asprintf("Quillatorne %i.%02i\n", program.VersionMajor, program.VersionMinor);
    return result;
  }

  QStringList verbs;
  for (const auto& v : kVerbs) {
    const QString name = QString::fromLatin1(v.name);
    if (!parser.isSet(name)) continue;
    verbs << QStringLiteral("--") + name;
    result.command.verb = v.verb;
    if (v.verb == Verb::Set) result.command.file = Absolute(parser.value(name), currentDir);
  }
  if (parser.isSet(render)) verbs << QStringLiteral("--render");
  if (verbs.size() > 1) return Fail(QStringLiteral("Give only one of %1.").arg(verbs.join(", ")));
  // Repeating an option is as confusing as giving two.
  for (const QString& name : parser.optionNames()) {
    if (parser.optionNames().count(name) > 1)
      return Fail(QStringLiteral("Option '%1' given more than once.").arg(name));
  }

  if (parser.isSet(render)) {
    result.mode = CommandLine::Mode::Render;
    result.render.outFile = Absolute(parser.value(render), currentDir);
    const QString suffix = QFileInfo(result.render.outFile).suffix().toLower();
    if (suffix != QLatin1String("bmp") && suffix != QLatin1String("png"))
      return Fail(QStringLiteral("The picture to write must end in .bmp or .png: %1")
                      .arg(parser.value(render)));
    if (parser.isSet(size)) {
      const auto wh = ParseSize(parser.value(size));
      if (!wh) {
        return Fail(QStringLiteral("Size '%1' is not WIDTHxHEIGHT with each from 1 to %2.")
                        .arg(parser.value(size))
                        .arg(kLargestSide));
      }
      result.render.size = *wh;
    }
    if (parser.isSet(image)) {
      if (parser.value(image).isEmpty()) return Fail(QStringLiteral("--image needs a file name."));
      result.render.image = Absolute(parser.value(image), currentDir);
    }
    return result;
  }
  if (parser.isSet(size) || parser.isSet(image))
    return Fail(QStringLiteral("--size and --image go with --render."));
  return result;
}

QString CommandProblem(const Command& command) {
  return command.verb == Verb::Set ? PictureFileProblem(command.file) : QString();
}

void CarryOut(TFormMain& form, const Command& command) {
  switch (command.verb) {
    case Verb::None:
      break;
    case Verb::Show:
      // Qt's Wayland plugin takes the token from here when the window asks to be active.
      if (!command.activationToken.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", command.activationToken.toUtf8());
      form.ShowFromOutside();
      break;
    case Verb::Next:
      form.MI_NextClick();
      break;
    case Verb::Random:
      form.MI_RandomClick();
      break;
    case Verb::Refresh:
      form.MI_RefreshClick();
      break;
    case Verb::Set:
      form.SetWallpaper(command.file);
      break;
    case Verb::CheckMail:
      form.MI_CheckEmailClick();
      break;
    case Verb::Quit:
      form.Exit();
      break;
  }
}
