#include "wallpaper/AreaShrink.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

// Source index i covers [i * target, (i + 1) * target) and output index o covers
// [o * source, (o + 1) * source) on one integer axis, so every overlap is exact. Weights are
// rounded from running sums, which makes each output's weights add up to 1 << kBits exactly.
AreaShrink::Taps AreaShrink::MakeTaps(int source, int target) {
  Taps t;
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

AreaShrink::AreaShrink(QSize source, QSize target) : source_(source), target_(target) {
  if (target.width() <= 0 || target.height() <= 0 || target.width() > source.width() ||
      target.height() > source.height()) {
    throw std::invalid_argument("AreaShrink only shrinks");
  }
  x_ = MakeTaps(source.width(), target.width());
  // Across, every output pixel gets the same number of taps, zero weights filling up, so the
  // inner loop runs a fixed count that the processor predicts.
  int taps = 0;
  for (int c : x_.count) taps = std::max(taps, c);
  Taps even = x_;
  even.weights.assign(size_t(target.width()) * size_t(taps), 0.0f);
  for (size_t o = 0; o < size_t(target.width()); ++o) {
    even.first[o] = std::min(x_.first[o], source.width() - taps);
    even.count[o] = taps;
    even.offset[o] = static_cast<int>(o) * taps;
    for (int t = 0; t < x_.count[o]; ++t) {
      even.weights[size_t(even.offset[o] + x_.first[o] - even.first[o] + t)] =
          x_.weights[size_t(x_.offset[o] + t)];
    }
  }
  x_ = std::move(even);
  y_ = MakeTaps(source.height(), target.height());
}

int AreaShrink::FirstSourceRow(int outFirst) const {
  return outFirst < target_.height() ? y_.first[size_t(outFirst)] : source_.height();
}

int AreaShrink::EndSourceRow(int outEnd) const {
  if (outEnd <= 0) return 0;
  const size_t last = size_t(outEnd) - 1;
  return y_.first[last] + y_.count[last];
}

void AreaShrink::Begin(int outFirst, int outEnd, uchar* out, qsizetype stride) {
  outFirst_ = nextOut_ = std::clamp(outFirst, 0, target_.height());
  outEnd_ = std::clamp(outEnd, outFirst_, target_.height());
  nextSource_ = FirstSourceRow(outFirst_);
  out_ = out;
  stride_ = stride;
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
      Finish(acc, reinterpret_cast<uint32_t*>(out_ + (o - outFirst_) * stride_));
      nextOut_ = o + 1;
    }
  }
}

// Across: each output pixel sums its columns by weight, the four bytes of a pixel side by side
// in one vector.
void AreaShrink::Finish(const float* acc, uint32_t* out) const {
  using Float4 = float __attribute__((vector_size(16)));
  using Int4 = int32_t __attribute__((vector_size(16)));
  const int width = target_.width();
  const int taps = x_.count.empty() ? 0 : x_.count[0];
  const float* w = x_.weights.data();
  for (int x = 0; x < width; ++x) {
    const float* p = acc + size_t(x_.first[size_t(x)]) * 4;
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

QImage AreaShrinkImage(const QImage& source, int width, int height) {
  const QImage src = source.format() == QImage::Format_RGB32
                         ? source
                         : source.convertToFormat(QImage::Format_RGB32);
  QImage out(width, height, QImage::Format_RGB32);
  if (out.isNull()) return out;
  AreaShrink shrink(src.size(), out.size());
  shrink.Begin(0, height, out.bits(), out.bytesPerLine());
  for (int y = 0; y < src.height() && !shrink.Done(); ++y) shrink.Push(src.constScanLine(y));
  return out;
}
