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

// Pictures whose full size would need more than this, at the 32 bits a pixel they are decoded
// to, are refused before anything is allocated for them.
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

  // The picture's full size.
  QSize size() const;
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
};

// The n of the n/8 DCT scale that Decode picks for a picture of `full` size to cover `cover`.
int JpegScaleEighths(QSize full, QSize cover);
