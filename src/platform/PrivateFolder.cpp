#include "platform/PrivateFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

UserId CurrentUserId() { return ::getuid(); }

bool IsPrivateFolder(const QString& path, UserId uid) {
  struct stat st = {};
  if (::lstat(QFile::encodeName(path).constData(), &st) != 0) return false;
  return S_ISDIR(st.st_mode) && st.st_uid == uid && (st.st_mode & 077) == 0;
}

bool MakePrivateFolder(const QString& path, UserId uid) {
  if (path.isEmpty()) return false;
  const QByteArray native = QFile::encodeName(path);
  if (::mkdir(native.constData(), 0700) != 0 && errno == ENOENT) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    ::mkdir(native.constData(), 0700);
  }
  return IsPrivateFolder(path, uid);
}
