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

  // Writes every byte the parts name, in order, after what was written so far (the parts are
  // used up).
  void Write(std::vector<iovec>& parts);
  void Write(const void* data, size_t size);
  // As Write, but at that offset, leaving the end Write continues from alone; several threads
  // may write their own parts of the file at once.
  void WriteAt(std::vector<iovec>& parts, off_t offset) const;
  // Moves the end Write continues from past bytes written with WriteAt.
  void Skip(off_t bytes) { end_ += bytes; }
  // Closes the file and renames it over the target.
  void Commit();
 private:
  QString path_;
  QByteArray temp_;
  int fd_ = -1;
  off_t end_ = 0;  // where Write goes on
  bool committed_ = false;
};
