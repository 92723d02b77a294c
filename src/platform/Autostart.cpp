#include "platform/Autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

#include "platform/Paths.h"

namespace {
// Characters that make an Exec= argument need quotes, and those escaped inside them.
const QString kReserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
const QString kEscapedInQuotes = QStringLiteral("\"`$\\");
}  // namespace

QString AutostartFilePath() {
  // ConfigDirectory() is <config home>/Quillatorne; the autostart folder is its sibling.
  return QFileInfo(ConfigDirectory()).path() + QStringLiteral("/autostart/quillatorne.desktop");
}

bool AutostartEnabled() {
  QFile file(AutostartFilePath());
  if (!file.open(QIODevice::ReadOnly)) return false;
  bool inMainGroup = false;
  while (!file.atEnd()) {
    const QString line = QString::fromUtf8(file.readLine()).trimmed();
    if (line.startsWith(QLatin1Char('['))) {
      inMainGroup = line == QLatin1String("[Desktop Entry]");
      continue;
    }
    if (!inMainGroup) continue;
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0) continue;
    const QString key = line.left(eq).trimmed(), value = line.mid(eq + 1).trimmed();
    if (key == QLatin1String("Hidden") && value == QLatin1String("true")) return false;
    if (key == QLatin1String("X-GNOME-Autostart-enabled") && value == QLatin1String("false"))
      return false;
  }
  return true;
}

QString DesktopExecArgument(const QString& program) {
  QString arg = program;
  if (std::any_of(program.begin(), program.end(), [](QChar c) { return kReserved.contains(c); })) {
    arg.clear();
    for (QChar c : program) {
      if (kEscapedInQuotes.contains(c)) arg += QLatin1Char('\\');
      arg += c;
    }
    arg = QLatin1Char('"') + arg + QLatin1Char('"');
  }
  arg.replace(QLatin1Char('%'), QStringLiteral("%%"));
  // The value is a desktop-entry string as well, whose own escape is the backslash.
  arg.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
  return arg;
}

bool EnableAutostart(const QString& program, QString* error) {
  const QString path = AutostartFilePath();
  QDir().mkpath(QFileInfo(path).path());
  QSaveFile file(path);
  if (file.open(QIODevice::WriteOnly)) {
    const QString entry =
        QStringLiteral(
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Quillatorne\n"
            "Comment=Desktop wallpaper with a month calendar, reminders and a mail check\n"
            "Exec=%1\n"
            "Icon=quillatorne\n"
            "Terminal=false\n"
            "X-GNOME-Autostart-enabled=true\n")
            .arg(DesktopExecArgument(program));
    file.write(entry.toUtf8());
    if (file.commit()) return true;
  }
  if (error) *error = QStringLiteral("Could not write %1: %2").arg(path, file.errorString());
  return false;
}

bool DisableAutostart(QString* error) {
  QFile file(AutostartFilePath());
  if (!file.exists() || file.remove()) return true;
  if (error)
    *error = QStringLiteral("Could not remove %1: %2").arg(file.fileName(), file.errorString());
  return false;
}
