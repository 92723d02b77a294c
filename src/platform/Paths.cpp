#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {
QString XdgDir(const char* var, const char* fallback) {
  const QString value = qEnvironmentVariable(var);
  if (!value.isEmpty() && QDir::isAbsolutePath(value)) return QDir::cleanPath(value);
  return QDir::homePath() + QLatin1Char('/') + QLatin1String(fallback);
}
}  // namespace

QString ProgramDirectory() {
  QString dir = QCoreApplication::applicationDirPath();
  if (dir.isEmpty()) dir = QDir::currentPath();
  const QString shared = QDir::cleanPath(dir + QStringLiteral("/../share/quillatorne"));
  if (QFileInfo(dir).fileName() == QLatin1String("bin") && !QFileInfo::exists(dir + "/help.html") &&
      QFileInfo(shared).isDir()) {
    dir = shared;
  }
  return QDir::cleanPath(dir) + QLatin1Char('/');
}

QString ConfigDirectory() { return XdgDir("XDG_CONFIG_HOME", ".config") + "/Quillatorne"; }

QString DataDirectory() {
  const QString dir = XdgDir("XDG_DATA_HOME", ".local/share") + "/Quillatorne";
  QDir().mkpath(dir);
  return dir;
}
