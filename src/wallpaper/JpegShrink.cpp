#include "wallpaper/JpegShrink.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <thread>

#include "wallpaper/AreaShrink.h"
#include "wallpaper/JpegDecoder.h"

double SkipShare(int eighths) {
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

int ShrinkParts(QSize full, QSize size) {
  // A thread costs far less than a millisecond; below about a quarter megapixel it is not worth it.
  if (qint64(size.width()) * size.height() < 256 * 1024) return 1;
  // Where entropy decoding is most of the work, a second band would mostly repeat it.
  if (SkipShare(JpegScaleEighths(full, size)) > 0.65) return 1;
  return std::thread::hardware_concurrency() >= 2 ? 2 : 1;
}

void DecodeShrunk(const QString& path, QSize size, uchar* out, qsizetype stride, int parts) {
  const JpegDecoder header(path);
  const QSize decoded = header.ScaledSize(size);
  const AreaShrink plan(decoded, size);
  const std::vector<int> cuts =
      ShrinkBands(size.height(), parts, SkipShare(JpegScaleEighths(header.size(), size)));
  const auto band = [&](size_t i) {
    const int first = cuts[i], end = cuts[i + 1];
    if (first >= end) return;
    AreaShrink shrink = plan;
    shrink.Begin(first, end, out + first * stride, stride);
    JpegDecoder decoder(path);
    // Each band opens the file afresh: a file replaced meanwhile must not feed rows of
    // another width to the shrink.
    if (decoder.ScaledSize(size) != decoded)
      throw JpegError(
          QStringLiteral("The picture \"%1\" changed while it was read.").arg(path).toStdString());
    decoder.DecodeRows(size, shrink.FirstSourceRow(first), shrink.EndSourceRow(end),
                       [&shrink](const uchar* row) { shrink.Push(row); });
  };
  std::vector<std::exception_ptr> errors(cuts.size() - 1);
  const auto run = [&](size_t i) {
    try {
      band(i);
    } catch (...) {
      errors[i] = std::current_exception();
    }
  };
  std::vector<std::thread> threads;
  for (size_t i = 1; i < errors.size(); ++i) {
    try {
      threads.emplace_back(run, i);
    } catch (const std::system_error&) {
      run(i);  // no thread to be had: the band is made here instead
    }
  }
  run(0);
  for (std::thread& t : threads) t.join();
  for (const std::exception_ptr& e : errors) {
    if (e) std::rethrow_exception(e);
  }
}
