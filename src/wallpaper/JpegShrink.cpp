#include "wallpaper/JpegShrink.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#include "wallpaper/AreaShrink.h"
#include "wallpaper/JpegDecoder.h"
#include "wallpaper/RunJobs.h"

double SkipShare(int eighths, bool enlarging) {
  if (enlarging) return 0.15;
  // Measured on a 4:2:0 photograph: at 1/8 a decode is mostly entropy decoding, at 5/8 and up
  // the inverse transforms take the larger part.
  if (eighths <= 1) return 0.85;
  if (eighths == 2) return 0.7;
  if (eighths <= 4) return 0.6;
  if (eighths == 5) return 0.35;
  return 0.3;
}

std::vector<int> ShrinkBands(int rows, int parts, double skipShare) {
  parts = std::clamp(parts, 1, std::max(rows, 1));
  skipShare = std::clamp(skipShare, 0.0, 0.95);
  // Band i ends where its cost, skip share of the rows above plus its own, reaches the top
  // band's: e[i] = e[i - 1] * (1 - share) + 1 in units of the top band's height.
  std::vector<double> ends(static_cast<size_t>(parts));
  double e = 0;
  for (double& end : ends) end = e = e * (1 - skipShare) + 1;
  std::vector<int> cuts{0};
  for (int i = 0; i + 1 < parts; ++i) {
    const int cut = static_cast<int>(rows * ends[size_t(i)] / ends.back() + 0.5);
    cuts.push_back(std::clamp(cut, cuts.back(), rows));
  }
  cuts.push_back(rows);
  return cuts;
}

int ResampleParts(QSize full, QSize size, bool multiScan) {
  // A thread costs far less than a millisecond; below about a quarter megapixel it is not worth it.
  if (qint64(size.width()) * size.height() < 256 * 1024) return 1;
  const bool enlarging = size.width() > full.width() || size.height() > full.height();
  // Where entropy decoding is most of the work, a second band would mostly repeat it.
  if (!multiScan && SkipShare(JpegScaleEighths(full, size), enlarging) > 0.65) return 1;
  return std::thread::hardware_concurrency() >= 2 ? 2 : 1;
}

namespace {
// Decoded rows handed from the decoding thread to the resampling one through a ring of
// strips; the decoder waits when the ring is full, the resampler when it is empty.
class RowPipe {
 public:
  RowPipe(size_t rowBytes, int rowsPerStrip, int strips)
      : rowBytes_(rowBytes), perStrip_(rowsPerStrip), ring_(size_t(strips)) {
    for (auto& s : ring_) s.resize(rowBytes * size_t(rowsPerStrip));
  }
  // Decoder side: one row; a full strip is handed over.
  void Put(const uchar* row) {
    std::memcpy(ring_[put_ % ring_.size()].data() + size_t(filled_) * rowBytes_, row, rowBytes_);
    if (++filled_ == perStrip_) Hand(filled_);
  }
  // Decoder side: the last strip, however full; or the decoding stopped (`Cancelled` then
  // tells the resampler to stop too).
  void Close() { Hand(filled_, true); }
  // Resampler side: calls `take` with each row in order until the decoder closes.
  template <typename Take>
  void Drain(Take take) {
    for (;;) {
      int rows = 0;
      bool last = false;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return got_ > taken_ || closed_; });
        if (got_ == taken_) return;
        rows = sizes_[taken_ % ring_.size()];
        last = closed_ && got_ == taken_ + 1;
      }
      const uchar* strip = ring_[taken_ % ring_.size()].data();
      for (int i = 0; i < rows; ++i) take(strip + size_t(i) * rowBytes_);
      {
        std::lock_guard lock(mutex_);
        ++taken_;
      }
      changed_.notify_all();
      if (last) return;
    }
  }
  // Resampler side: stops the decoder early (the resampler failed).
  void Abandon() {
    {
      std::lock_guard lock(mutex_);
      abandoned_ = true;
    }
    changed_.notify_all();
  }
  bool Abandoned() {
    std::lock_guard lock(mutex_);
    return abandoned_;
  }

 private:
  void Hand(int rows, bool close = false) {
    std::unique_lock lock(mutex_);
    if (rows > 0) {
      sizes_.resize(ring_.size());
      sizes_[put_ % ring_.size()] = rows;
      ++got_;
      ++put_;
      filled_ = 0;
    }
    if (close) closed_ = true;
    changed_.notify_all();
    // The next strip to fill must have been taken.
    changed_.wait(lock, [&] { return got_ - taken_ < ring_.size() || abandoned_; });
  }

  size_t rowBytes_;
  int perStrip_;
  std::vector<std::vector<uchar>> ring_;
  std::vector<int> sizes_;
  std::mutex mutex_;
  std::condition_variable changed_;
  size_t put_ = 0;   // decoder's strip count (decoder only)
  int filled_ = 0;   // rows in the strip being filled (decoder only)
  size_t got_ = 0, taken_ = 0;
  bool closed_ = false, abandoned_ = false;
};

struct Stopped {};  // the resampler gave up; the decoder unwinds quietly

template <typename Resampler>
void Decode(const QString& path, QSize size, uchar* out, qsizetype stride, int parts) {
  const JpegDecoder header(path);
  const QSize decoded = header.ScaledSize(size);
  const Resampler plan(decoded, size);
  const int rows = size.height();
  const bool enlarging = size.width() > decoded.width() || size.height() > decoded.height();

  if (header.multiScan() && parts > 1) {
    // Read once: decoding on a second thread, resampling here as the rows come.
    JpegDecoder decoder(path);
    if (decoder.ScaledSize(size) != decoded)
      throw JpegError(
          QStringLiteral("The picture \"%1\" changed while it was read.").arg(path).toStdString());
    Resampler resample = plan;
    resample.Begin(0, rows, out, stride);
    RowPipe pipe(size_t(decoded.width()) * 4, 32, 4);
    RunAll(2, [&](size_t job) {
      if (job == 1) {
        try {
          decoder.DecodeRows(size, 0, resample.EndSourceRow(rows), [&](const uchar* row) {
            if (pipe.Abandoned()) throw Stopped{};
            pipe.Put(row);
          });
        } catch (const Stopped&) {
        } catch (...) {
          pipe.Close();
          throw;
        }
        pipe.Close();
      } else {
        try {
          pipe.Drain([&](const uchar* row) { resample.Push(row); });
        } catch (...) {
          pipe.Abandon();
          throw;
        }
      }
    });
    return;
  }

  const std::vector<int> cuts =
      ShrinkBands(rows, parts, SkipShare(JpegScaleEighths(header.size(), size), enlarging));
  RunAll(cuts.size() - 1, [&](size_t i) {
    const int first = cuts[i], end = cuts[i + 1];
    if (first >= end) return;
    Resampler resample = plan;
    resample.Begin(first, end, out + first * stride, stride);
    JpegDecoder decoder(path);
    // Each band opens the file afresh: a file replaced meanwhile must not feed rows of
    // another width to the resampler.
    if (decoder.ScaledSize(size) != decoded)
      throw JpegError(
          QStringLiteral("The picture \"%1\" changed while it was read.").arg(path).toStdString());
    decoder.DecodeRows(size, resample.FirstSourceRow(first), resample.EndSourceRow(end),
                       [&resample](const uchar* row) { resample.Push(row); });
  });
}
}  // namespace

void DecodeResampled(const QString& path, QSize size, uchar* out, qsizetype stride, int parts) {
  const QSize decoded = JpegDecoder(path).ScaledSize(size);
  if (size.width() <= decoded.width() && size.height() <= decoded.height()) {
    Decode<AreaShrink>(path, size, out, stride, parts);
  } else {
    Decode<RowResample>(path, size, out, stride, parts);
  }
}
