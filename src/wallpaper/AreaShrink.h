#pragma once
#include <QImage>
#include <QSize>
#include <cstdint>
#include <vector>

// Shrinks a 32-bit picture (QImage::Format_RGB32 rows) by averaging, for each output pixel,
// the source area it covers. The source rows arrive one at a time, in order, so the picture
// never has to be whole in memory, and a band of output rows can be made on its own: the
// bands of one picture, made apart, are the same pixels as the whole made at once.
class AreaShrink {
 public:
  // Both sides of `target` at most those of `source`, and positive.
  AreaShrink(QSize source, QSize target);

  // The source rows [first, end) that output rows [outFirst, outEnd) are made of.
  int FirstSourceRow(int outFirst) const;
  int EndSourceRow(int outEnd) const;

  // Makes output rows [outFirst, outEnd) into `out` (the row outFirst; rows `stride` bytes
  // apart), from the source rows that Push is given next, starting at FirstSourceRow(outFirst).
  void Begin(int outFirst, int outEnd, uchar* out, qsizetype stride);
  // The next source row, as many 32-bit pixels as the source is wide; rows beyond the band
  // are ignored.
  void Push(const uchar* row);
  // True once every output row of the band is made.
  bool Done() const { return nextOut_ >= outEnd_; }

 private:
  // Weights are multiples of 1 / (1 << kBits) adding up to exactly 1 for each output, so the
  // sums down are exact in single precision and a flat colour stays exactly that colour.
  static constexpr int kBits = 12;
  struct Taps {
    std::vector<int> first, count;  // per output index
    std::vector<float> weights;     // count[i] weights per output index, in order
    std::vector<int> offset;        // where output index i's weights start
  };
  static Taps MakeTaps(int source, int target);
  void Finish(const float* acc, uint32_t* out) const;

  QSize source_, target_;
  Taps x_, y_;
  std::vector<float> acc_[2];  // source-wide sums of the output rows being made, by parity
  int outFirst_ = 0, outEnd_ = 0, nextOut_ = 0, nextSource_ = 0;
  uchar* out_ = nullptr;
  qsizetype stride_ = 0;
};

// The whole of `source` shrunk to width x height in one band.
QImage AreaShrinkImage(const QImage& source, int width, int height);
