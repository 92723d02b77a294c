#pragma once
// A temporary home folder: HOME and the XDG folders point into it while the object lives.
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

class TempHome {
 public:
  TempHome();
  ~TempHome();
  QString path() const { return dir_.path(); }
  QString configFile() const;  // where the settings file goes
  QString dataDir() const;     // where the wallpaper goes
  // Writes a file below the home folder (creating folders); returns its full path.
  QString write(const QString& relative, const QByteArray& bytes) const;
  // The settings file as it is now; empty when there is none.
  QByteArray savedSettings() const;

 private:
  QTemporaryDir dir_;
  QByteArray saved_[3];
  bool had_[3];
};
