#include "platform/ReplacedFile.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>

[[noreturn]] void FailWriting(const QString& path, int error) {
  throw std::runtime_error(
      QStringLiteral("Could not write the wallpaper file \"%1\": %2")
          .arg(path, QString::fromLocal8Bit(std::strerror(error ? error : EIO)))
          .toStdString());
}

QImage PixelsToWrite(const QImage& source, const QString& path) {
  if (source.isNull()) FailWriting(path, EINVAL);
  return source.format() == QImage::Format_RGB32 ? source
                                                 : source.convertToFormat(QImage::Format_RGB32);
}

ReplacedFile::ReplacedFile(const QString& path)
    : path_(path), temp_(QFile::encodeName(path) + ".XXXXXX") {
  fd_ = ::mkstemp(temp_.data());
  if (fd_ < 0) FailWriting(path_, errno);
  ::fchmod(fd_, 0644);
}

ReplacedFile::~ReplacedFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_) ::unlink(temp_.constData());
}

void ReplacedFile::Write(std::vector<iovec>& parts) {
  off_t bytes = 0;
  for (const iovec& v : parts) bytes += static_cast<off_t>(v.iov_len);
  WriteAt(parts, end_);
  end_ += bytes;
}

void ReplacedFile::WriteAt(std::vector<iovec>& parts, off_t offset) const {
  size_t first = 0;
  while (first < parts.size() && parts[first].iov_len == 0) ++first;
  while (first < parts.size()) {
    const int count = static_cast<int>(std::min<size_t>(parts.size() - first, IOV_MAX));
    ssize_t n = ::pwritev(fd_, parts.data() + first, count, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) FailWriting(path_, n < 0 ? errno : EIO);
    offset += n;
    // A short write: go on where it stopped.
    while (n > 0) {
      iovec& v = parts[first];
      const size_t used = std::min(static_cast<size_t>(n), v.iov_len);
      v.iov_base = static_cast<char*>(v.iov_base) + used;
      v.iov_len -= used;
      n -= static_cast<ssize_t>(used);
      if (v.iov_len == 0) ++first;
    }
    while (first < parts.size() && parts[first].iov_len == 0) ++first;
  }
}

void ReplacedFile::Write(const void* data, size_t size) {
  std::vector<iovec> parts{{const_cast<void*>(data), size}};
  Write(parts);
}

void ReplacedFile::Commit() {
  const int fd = std::exchange(fd_, -1);
  if (::close(fd) != 0) FailWriting(path_, errno);
  if (::rename(temp_.constData(), QFile::encodeName(path_).constData()) != 0) FailWriting(path_, errno);
  committed_ = true;
}
