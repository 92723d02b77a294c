#include "wallpaper/ImageCatalogue.h"

#include <QFile>
#include <QSet>
#include <cstdio>

#include "platform/DirectoryList.h"

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
  // Only files (or links to files): a folder called "x.jpg" is not a picture.
  const auto wanted = [&](const char* entry) {
    const QString ext = FileExtension(QFile::decodeName(entry));
    return !ext.isEmpty() && extensions.contains(ext, Qt::CaseInsensitive);
  };
  for (const QByteArray& entry : ListFiles(directory, wanted)) {
    const QString name = QFile::decodeName(entry);
    if (SurvivesAsText(directory, entry.constData(), name)) result << name;
  }
  return result;
}

QStringList BuildImageCatalogue(const QStringList& directories) {
  QStringList catalogue;
  const QStringList extensions{QStringLiteral(".jpg")};
  for (const QString& directory : directories) {
    for (const QString& name : ScanImageDirectory(directory, extensions)) {
      catalogue << directory + QLatin1Char('/') + name;
    }
  }
  return catalogue;
}
