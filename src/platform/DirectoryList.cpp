#include "platform/DirectoryList.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QFile>

QList<QByteArray> ListFiles(const QString& directory,
                            const std::function<bool(const char* name)>& wanted) {
  QList<QByteArray> result;
  const QByteArray encoded = QFile::encodeName(directory);
  DIR* dir = ::opendir(encoded.constData());
  if (!dir) return result;
  const int dirFd = ::dirfd(dir);
  while (const dirent* entry = ::readdir(dir)) {
    if (!wanted(entry->d_name)) continue;
    struct stat st;
    if (::fstatat(dirFd, entry->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
    result << QByteArray(entry->d_name);
  }
  ::closedir(dir);
  return result;
}
