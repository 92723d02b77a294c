#pragma once
#include <QImage>
#include <QSize>
#include <cstdint>
#include <vector>

// The source pixels each output pixel of one axis is made of, with their weights. Weights are
// multiples of 1 / (1 << kBits) adding up to exactly 1 for each output, so the sums down are
// exact in single precision and a flat colour stays exactly that colour.
struct ResampleTaps {
  static constexpr int kBits = 12;
  std::vector<int> first, count;  // per output index
  std::vector<float> weights;     // count[i] weights per output index, in order
  std::vector<int> offset;        // where output index i's weights start

  // Area averaging: each output takes the source area it covers (target <= source).
  static ResampleTaps Area(int source, int target);
  // Linear interpolation between the two source pixels around each output's centre, the edges
  // held (target > source).
  static ResampleTaps Linear(int source, int target);
  // Whichever of the two fits: averaging when shrinking, interpolating when enlarging.
  static ResampleTaps For(int source, int target);
  // The same taps with every output given the same count, zero weights filling up, so the
  // inner loop across runs a fixed count that the processor predicts.
  ResampleTaps Even(int source) const;
  int MaxCount() const;
};

// One output row across: each output pixel sums its columns of `acc` (four floats a source
// pixel) by the taps' weights (made Even), rounded to 32-bit pixels.
void SumAcross(const ResampleTaps& across, int width, const float* acc, uint32_t* out);

// What the two row resamplers below share: the source rows arrive one at a time, in order, so
// the picture never has to be whole in memory, and a band of output rows can be made on its
// own: the bands of one picture, made apart, are the same pixels as the whole made at once.
class BandResampler {
 public:
  // The source rows [first, end) that output rows [outFirst, outEnd) are made of.
  int FirstSourceRow(int outFirst) const;
  int EndSourceRow(int outEnd) const;
  // Makes output rows [outFirst, outEnd) into `out` (the row outFirst; rows `stride` bytes
  // apart), from the source rows that Push is given next, starting at FirstSourceRow(outFirst).
  void Begin(int outFirst, int outEnd, uchar* out, qsizetype stride);
  // True once every output row of the band is made.
  bool Done() const { return nextOut_ >= outEnd_; }

 protected:
  BandResampler(QSize source, QSize target) : source_(source), target_(target) {}
  uint32_t* OutRow(int o) const { return reinterpret_cast<uint32_t*>(out_ + (o - outFirst_) * stride_); }

  QSize source_, target_;
  ResampleTaps x_, y_;  // x_ made Even
  int outFirst_ = 0, outEnd_ = 0, nextOut_ = 0, nextSource_ = 0;
  uchar* out_ = nullptr;
  qsizetype stride_ = 0;
};

// Shrinks a 32-bit picture (QImage::Format_RGB32 rows) by averaging, for each output pixel,
// the source area it covers.
class AreaShrink : public BandResampler {
 public:
  // Both sides of `target` at most those of `source`, and positive.
  AreaShrink(QSize source, QSize target);
  void Begin(int outFirst, int outEnd, uchar* out, qsizetype stride);
  // The next source row, as many 32-bit pixels as the source is wide; rows beyond the band
  // are ignored.
  void Push(const uchar* row);

 private:
  std::vector<float> acc_[2];  // source-wide sums of the output rows being made, by parity
};

// Resamples to any size, each axis averaging where it shrinks and interpolating where it
// enlarges. Down, it keeps the last few source rows and makes each output row once its last
// source row has come, so an enlarged picture is never whole in memory either.
class RowResample : public BandResampler {
 public:
  // Both sizes positive.
  RowResample(QSize source, QSize target);
  void Begin(int outFirst, int outEnd, uchar* out, qsizetype stride);
  void Push(const uchar* row);

 private:
  int window_ = 1;           // source rows kept
  std::vector<uchar> rows_;  // the last `window_` source rows, row r in slot r % window_
  std::vector<float> acc_;   // one output row summed down, source-wide
};

// The whole of `source` shrunk to width x height in one band.
QImage AreaShrinkImage(const QImage& source, int width, int height);
// The whole of `source` resampled to width x height in one band by RowResample.
QImage RowResampleImage(const QImage& source, int width, int height);
