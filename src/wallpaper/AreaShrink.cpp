#include "wallpaper/AreaShrink.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

// Source index i covers [i * target, (i + 1) * target) and output index o covers
// [o * source, (o + 1) * source) on one integer axis, so every overlap is exact. Weights are
// rounded from running sums, which makes each output's weights add up to 1 << kBits exactly.
ResampleTaps ResampleTaps::Area(int source, int target) {
  ResampleTaps t;
  t.first.resize(size_t(target));
  t.count.resize(size_t(target));
  t.offset.resize(size_t(target));
  t.weights.reserve(size_t(source) + size_t(target));
  for (int o = 0; o < target; ++o) {
    const qint64 lo = qint64(o) * source, hi = lo + source;
    const int first = static_cast<int>(lo / target);
    const int end = static_cast<int>((hi + target - 1) / target);
    t.first[size_t(o)] = first;
    t.count[size_t(o)] = end - first;
    t.offset[size_t(o)] = static_cast<int>(t.weights.size());
    qint64 covered = 0;
    uint32_t given = 0;
    for (int i = first; i < end; ++i) {
      covered += std::min(hi, qint64(i + 1) * target) - std::max(lo, qint64(i) * target);
      const auto upTo = static_cast<uint32_t>(((covered << kBits) + source / 2) / source);
      t.weights.push_back(static_cast<float>(upTo - given) / (1 << kBits));
      given = upTo;
    }
  }
  return t;
}

// Output o's centre lies at (o + 0.5) * source / target - 0.5 source pixels, worked out in
// integers (units of 1 / (2 * target)) so that every build gives the same weights.
ResampleTaps ResampleTaps::Linear(int source, int target) {
  ResampleTaps t;
  t.first.resize(size_t(target));
  t.count.resize(size_t(target));
  t.offset.resize(size_t(target));
  t.weights.reserve(size_t(target) * 2);
  const qint64 unit = 2 * qint64(target);
  for (int o = 0; o < target; ++o) {
    const qint64 centre = (2 * qint64(o) + 1) * source - target;  // in units
    t.offset[size_t(o)] = static_cast<int>(t.weights.size());
    int first = 0;
    qint64 fraction = 0;  // toward first + 1, in units
    if (centre <= 0) {
      first = 0;
    } else if (centre >= (source - 1) * unit) {
      first = source - 1;
    } else {
      first = static_cast<int>(centre / unit);
      fraction = centre - first * unit;
    }
    const auto next = static_cast<uint32_t>(((fraction << kBits) + unit / 2) / unit);
    t.first[size_t(o)] = first;
    if (next == 0 || first + 1 >= source) {
      t.count[size_t(o)] = 1;
      t.weights.push_back(1.0f);
    } else if (next == (1u << kBits)) {
      t.first[size_t(o)] = first + 1;
      t.count[size_t(o)] = 1;
      t.weights.push_back(1.0f);
    } else {
      t.count[size_t(o)] = 2;
      t.weights.push_back(static_cast<float>((1u << kBits) - next) / (1 << kBits));
      t.weights.push_back(static_cast<float>(next) / (1 << kBits));
    }
  }
  return t;
}

ResampleTaps ResampleTaps::For(int source, int target) {
  return target <= source ? Area(source, target) : Linear(source, target);
}

int ResampleTaps::MaxCount() const {
  int taps = 0;
  for (int c : count) taps = std::max(taps, c);
  return taps;
}

ResampleTaps ResampleTaps::Even(int source) const {
  const int taps = MaxCount();
  const size_t n = first.size();
  ResampleTaps even = *this;
  even.weights.assign(n * size_t(taps), 0.0f);
  for (size_t o = 0; o < n; ++o) {
    even.first[o] = std::min(first[o], source - taps);
    even.count[o] = taps;
    even.offset[o] = static_cast<int>(o) * taps;
    for (int t = 0; t < count[o]; ++t) {
      even.weights[size_t(even.offset[o] + first[o] - even.first[o] + t)] =
          weights[size_t(offset[o] + t)];
    }
  }
  return even;
}

// The four bytes of a pixel side by side in one vector.
void SumAcross(const ResampleTaps& across, int width, const float* acc, uint32_t* out) {
  using Float4 = float __attribute__((vector_size(16)));
  using Int4 = int32_t __attribute__((vector_size(16)));
  const int taps = across.count.empty() ? 0 : across.count[0];
  const float* w = across.weights.data();
  for (int x = 0; x < width; ++x) {
    const float* p = acc + size_t(across.first[size_t(x)]) * 4;
    Float4 sum = {0.5f, 0.5f, 0.5f, 0.5f};  // the truncation below then rounds to nearest
    for (int t = taps; t > 0; --t, ++w, p += 4) {
      Float4 v;
      std::memcpy(&v, p, sizeof v);
      sum += *w * v;
    }
    const Int4 c = __builtin_convertvector(sum, Int4);
    out[x] = 0xFF000000u | uint32_t(c[2]) << 16 | uint32_t(c[1]) << 8 | uint32_t(c[0]);
  }
}

int BandResampler::FirstSourceRow(int outFirst) const {
  return outFirst < target_.height() ? y_.first[size_t(outFirst)] : source_.height();
}

int BandResampler::EndSourceRow(int outEnd) const {
  // Both filters' last source rows grow with the output row.
  if (outEnd <= 0) return 0;
  const size_t last = size_t(std::min(outEnd, target_.height())) - 1;
  return y_.first[last] + y_.count[last];
}

void BandResampler::Begin(int outFirst, int outEnd, uchar* out, qsizetype stride) {
  outFirst_ = nextOut_ = std::clamp(outFirst, 0, target_.height());
  outEnd_ = std::clamp(outEnd, outFirst_, target_.height());
  nextSource_ = FirstSourceRow(outFirst_);
  out_ = out;
  stride_ = stride;
}

AreaShrink::AreaShrink(QSize source, QSize target) : BandResampler(source, target) {
  if (target.width() <= 0 || target.height() <= 0 || target.width() > source.width() ||
      target.height() > source.height()) {
    throw std::invalid_argument("AreaShrink only shrinks");
  }
  x_ = ResampleTaps::Area(source.width(), target.width()).Even(source.width());
  y_ = ResampleTaps::Area(source.height(), target.height());
}

void AreaShrink::Begin(int outFirst, int outEnd, uchar* out, qsizetype stride) {
  BandResampler::Begin(outFirst, outEnd, out, stride);
  for (auto& a : acc_) a.resize(size_t(source_.width()) * 4);
}

void AreaShrink::Push(const uchar* row) {
  const int r = nextSource_++;
  if (Done()) return;
  // Down first, over whole source rows, which vectorises: the row adds to every output row it
  // overlaps (at most two when shrinking).
  const size_t n = size_t(source_.width()) * 4;
  for (int o = nextOut_; o < outEnd_ && y_.first[size_t(o)] <= r; ++o) {
    const float w = y_.weights[size_t(y_.offset[size_t(o)] + r - y_.first[size_t(o)])];
    float* acc = acc_[o & 1].data();
    if (r == y_.first[size_t(o)]) {
      for (size_t i = 0; i < n; ++i) acc[i] = w * row[i];
    } else {
      for (size_t i = 0; i < n; ++i) acc[i] += w * row[i];
    }
    if (r + 1 == y_.first[size_t(o)] + y_.count[size_t(o)]) {
      SumAcross(x_, target_.width(), acc, OutRow(o));
      nextOut_ = o + 1;
    }
  }
}

RowResample::RowResample(QSize source, QSize target) : BandResampler(source, target) {
  if (target.width() <= 0 || target.height() <= 0 || source.width() <= 0 ||
      source.height() <= 0) {
    throw std::invalid_argument("RowResample needs two sizes");
  }
  x_ = ResampleTaps::For(source.width(), target.width()).Even(source.width());
  y_ = ResampleTaps::For(source.height(), target.height());
  window_ = std::max(1, y_.MaxCount());
}

void RowResample::Begin(int outFirst, int outEnd, uchar* out, qsizetype stride) {
  BandResampler::Begin(outFirst, outEnd, out, stride);
  rows_.resize(size_t(window_) * size_t(source_.width()) * 4);
  acc_.resize(size_t(source_.width()) * 4);
}

void RowResample::Push(const uchar* row) {
  const int r = nextSource_++;
  if (Done()) return;
  const size_t n = size_t(source_.width()) * 4;
  std::memcpy(rows_.data() + size_t(r % window_) * n, row, n);
  // Every output row whose last source row this is, in order; an enlarged axis makes several
  // output rows of the same two source rows.
  while (nextOut_ < outEnd_) {
    const auto o = size_t(nextOut_);
    const int first = y_.first[o], count = y_.count[o];
    if (first + count - 1 > r) break;
    float* acc = acc_.data();
    const float* w = y_.weights.data() + y_.offset[o];
    const uchar* src = rows_.data() + size_t(first % window_) * n;
    for (size_t i = 0; i < n; ++i) acc[i] = w[0] * src[i];
    for (int t = 1; t < count; ++t) {
      src = rows_.data() + size_t((first + t) % window_) * n;
      for (size_t i = 0; i < n; ++i) acc[i] += w[t] * src[i];
    }
    SumAcross(x_, target_.width(), acc, OutRow(nextOut_));
    ++nextOut_;
  }
}

namespace {
template <typename Resampler>
QImage ResampleWhole(const QImage& source, int width, int height) {
  const QImage src = source.format() == QImage::Format_RGB32
                         ? source
                         : source.convertToFormat(QImage::Format_RGB32);
  QImage out(width, height, QImage::Format_RGB32);
  if (out.isNull()) return out;
  Resampler resample(src.size(), out.size());
  resample.Begin(0, height, out.bits(), out.bytesPerLine());
  for (int y = 0; y < src.height() && !resample.Done(); ++y) resample.Push(src.constScanLine(y));
  return out;
}
}  // namespace

QImage AreaShrinkImage(const QImage& source, int width, int height) {
  return ResampleWhole<AreaShrink>(source, width, height);
}

QImage RowResampleImage(const QImage& source, int width, int height) {
  return ResampleWhole<RowResample>(source, width, height);
}
