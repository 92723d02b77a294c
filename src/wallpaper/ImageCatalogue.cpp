#include "wallpaper/ImageCatalogue.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QFile>
#include <QSet>
#include <cstdio>

#include "settings/Config.h"

QString FileExtension(const QString& name) {
  const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  if (dot < 0 || dot < slash) return QString();
  return name.mid(dot);
}

namespace {
// A name that does not come back to the same bytes from the program's strings could be
// listed but never opened. Say so once per file, not at every scan.
bool SurvivesAsText(const QString& directory, const char* name, const QString& text) {
  if (QFile::encodeName(text) == QByteArrayView(name)) return true;
  static QSet<QByteArray> reported;
  const QByteArray path = QFile::encodeName(directory) + '/' + name;
  if (!reported.contains(path)) {
    reported.insert(path);
    std::fprintf(stderr, "quillatorne: skipping picture %s: its name is not valid text\n",
                 path.constData());
  }
  return false;
}
}  // namespace

QStringList ScanImageDirectory(const QString& directory, const QStringList& extensions) {
  QStringList result;
  if (directory.isEmpty()) return result;
  // readdir gives the file system's own order, which is the order we keep.
  const QByteArray encoded = QFile::encodeName(directory);
  DIR* dir = ::opendir(encoded.constData());
  if (!dir) return result;
  const int dirFd = ::dirfd(dir);
  while (const dirent* entry = ::readdir(dir)) {
    const QString name = QFile::decodeName(entry->d_name);
    const QString ext = FileExtension(name);
    if (ext.isEmpty()) continue;
    if (!extensions.contains(ext, Qt::CaseInsensitive)) continue;
    // Only files (or links to files): a folder called "x.jpg" is not a picture.
    struct stat st;
    if (::fstatat(dirFd, entry->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
    if (!SurvivesAsText(directory, entry->d_name, name)) continue;
    result << name;
  }
  ::closedir(dir);
  return result;
}

QStringList BuildImageCatalogue() {
  QStringList catalogue;
  const QStringList extensions{QStringLiteral(".jpg")};
  for (const QString& directory : Cfg().WallpaperConfig.Paths) {
    for (const QString& name : ScanImageDirectory(directory, extensions)) {
      catalogue << directory + QLatin1Char('/') + name;
    }
  }
  return catalogue;
}
