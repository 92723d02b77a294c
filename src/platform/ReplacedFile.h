#pragma once
#include <sys/uio.h>

#include <QByteArray>
#include <QImage>
#include <QString>
#include <vector>

// A file written under a temporary name beside its target and renamed over it once complete:
// readers see the old file or the new one, never half of one. No sync to disk: the wallpaper
// files are rebuilt on every apply, and a sync would cost more than composing the picture.
// Every failure throws std::runtime_error with a readable message.
[[noreturn]] void FailWriting(const QString& path, int error);
// The picture as the wallpaper writers read it, 0xffRRGGBB pixels; a null one is an error.
QImage PixelsToWrite(const QImage& source, const QString& path);

class ReplacedFile {
 public:
  explicit ReplacedFile(const QString& path);
  // Removes the temporary file unless Commit() succeeded.
  ~ReplacedFile();
  ReplacedFile(const ReplacedFile&) = delete;
  ReplacedFile& operator=(const ReplacedFile&) = delete;

  // Writes every byte the parts name, in order (the parts are used up).
  void Write(std::vector<iovec>& parts);
  void Write(const void* data, size_t size);
  // Closes the file and renames it over the target.
  void Commit();
 private:
  QString path_;
  QByteArray temp_;
  int fd_ = -1;
  bool committed_ = false;
};
