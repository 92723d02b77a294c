#pragma once
#include <QImage>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>
#include <stdexcept>

// A failed decode; what() is a sentence the user can read.
class JpegError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Pictures whose decoded size would need more than this, at the 32 bits a pixel they are
// decoded to, are refused before anything is allocated for them. A picture stored in several
// scans (progressive) is held whole as coefficients, so there its full size counts.
constexpr qint64 kMaxJpegPixelBytes = qint64(512) * 1024 * 1024;

// One JPEG file: the header is read on construction, the pixels on Decode. Every failure of
// the library (not a JPEG, truncated, empty, unsupported) becomes a JpegError; the library
// never gets to end the process.
class JpegDecoder {
 public:
  explicit JpegDecoder(const QString& path);
  ~JpegDecoder();
  JpegDecoder(const JpegDecoder&) = delete;
  JpegDecoder& operator=(const JpegDecoder&) = delete;

  // The picture's full size, as stored.
  QSize size() const;
  // True when the picture is stored in several scans (progressive): it is read whole before
  // the first row comes out, so decoding it twice costs twice.
  bool multiScan() const;
  // The EXIF orientation (1 to 8; 1 when there is no readable tag): how the stored rows must
  // be turned to stand upright.
  int orientation() const { return orientation_; }
  // The pixels as a 32-bit image (QImage::Format_RGB32); greyscale and CMYK come out as
  // colour. With a positive `cover` smaller than the picture the library's DCT scaling
  // (n/8) decodes a smaller image that still covers it on both axes. Call once.
  QImage Decode(QSize cover = QSize());
  // The size Decode(cover) gives.
  QSize ScaledSize(QSize cover) const;
  // As Decode, but hands the rows [first, end) of that picture to `row` one at a time, in
  // order, instead of keeping them; the rows above `first` are skipped without building their
  // pixels. Call once, instead of Decode.
  void DecodeRows(QSize cover, int first, int end, const std::function<void(const uchar*)>& row);

 private:
  struct State;
  bool Start(QSize cover);  // true for CMYK output
  [[noreturn]] void Fail();
  [[noreturn]] void FailEarlyEnd();
  QString path_;
  std::unique_ptr<State> s_;
  int orientation_ = 1;
};

// The n of the n/8 DCT scale that Decode picks for a picture of `full` size to cover `cover`.
int JpegScaleEighths(QSize full, QSize cover);

// The EXIF orientation in the body of an APP1 marker ("Exif\0\0" and a TIFF block); 1 when
// it is missing or broken.
int ExifOrientation(const uchar* data, size_t size);
// Orientations 5 to 8 stand the picture on its side.
QSize UprightSize(QSize stored, int orientation);
// The stored picture turned the way the orientation says.
QImage Upright(const QImage& stored, int orientation);
// The picture at `path` the right way up, decoded at the smallest DCT scale that still covers
// `cover` (upright; empty for the full size). For the source page's preview as well as the
// wallpaper. Throws JpegError.
QImage DecodeUpright(const QString& path, QSize cover = QSize());

// Why `path` cannot become the wallpaper, from its header alone (missing, not a regular file,
// unreadable, not a JPEG); empty when it looks like a picture.
QString PictureFileProblem(const QString& path);
