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
      t.weights.push_back(upTo - given);
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
  y_ = MakeTaps(source.height(), target.height());
  row_.resize(size_t(target.width()) * 3);
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
  for (auto& a : acc_) a.assign(row_.size(), 0);
}

void AreaShrink::Push(const uchar* row) {
  const int r = nextSource_++;
  if (Done()) return;
  // Across: each output pixel sums its source pixels' blue, green and red by weight.
  const int width = target_.width();
  for (int x = 0; x < width; ++x) {
    const uint32_t* w = x_.weights.data() + x_.offset[size_t(x)];
    const uchar* p = row + size_t(x_.first[size_t(x)]) * 4;
    uint32_t b = 0, g = 0, red = 0;
    for (int t = x_.count[size_t(x)]; t > 0; --t, ++w, p += 4) {
      b += *w * p[0];
      g += *w * p[1];
      red += *w * p[2];
    }
    row_[size_t(x) * 3] = b;
    row_[size_t(x) * 3 + 1] = g;
    row_[size_t(x) * 3 + 2] = red;
  }
  // Down: the row adds to every output row it overlaps (at most two when shrinking); an output
  // row whose last source row this is, is finished. Both sums stay below 2^32: 255 << 24 at most.
  for (int o = nextOut_; o < outEnd_ && y_.first[size_t(o)] <= r; ++o) {
    const uint32_t w = y_.weights[size_t(y_.offset[size_t(o)] + r - y_.first[size_t(o)])];
    uint32_t* acc = acc_[o & 1].data();
    const size_t n = row_.size();
    for (size_t i = 0; i < n; ++i) acc[i] += w * row_[i];
    if (r + 1 == y_.first[size_t(o)] + y_.count[size_t(o)]) {
      auto* q = reinterpret_cast<uint32_t*>(out_ + (o - outFirst_) * stride_);
      constexpr uint32_t half = 1u << (2 * kBits - 1);
      for (int x = 0; x < width; ++x, acc += 3) {
        q[x] = 0xFF000000u | ((acc[2] + half) >> (2 * kBits) << 16) |
               ((acc[1] + half) >> (2 * kBits) << 8) | ((acc[0] + half) >> (2 * kBits));
      }
      acc_[o & 1].assign(n, 0);
      nextOut_ = o + 1;
    }
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
