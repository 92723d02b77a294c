#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
const char* const kVars[3] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"};
}

TempHome::TempHome() {
  for (int i = 0; i < 3; ++i) {
    had_[i] = qEnvironmentVariableIsSet(kVars[i]);
    saved_[i] = qgetenv(kVars[i]);
  }
  qputenv("HOME", QFile::encodeName(dir_.path()));
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.path() + "/.config"));
  qputenv("XDG_DATA_HOME", QFile::encodeName(dir_.path() + "/.local/share"));
}

TempHome::~TempHome() {
  for (int i = 0; i < 3; ++i) {
    if (had_[i]) {
      qputenv(kVars[i], saved_[i]);
    } else {
      qunsetenv(kVars[i]);
    }
  }
}

QString TempHome::configFile() const { return dir_.path() + "/.config/Quillatorne/settings.reg"; }

QString TempHome::dataDir() const { return dir_.path() + "/.local/share/Quillatorne"; }

QString TempHome::write(const QString& relative, const QByteArray& bytes) const {
  const QString full = dir_.path() + QLatin1Char('/') + relative;
  QDir().mkpath(QFileInfo(full).absolutePath());
  QFile f(full);
  if (f.open(QIODevice::WriteOnly)) f.write(bytes);
  return full;
}

QByteArray TempHome::savedSettings() const {
  QFile f(configFile());
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
