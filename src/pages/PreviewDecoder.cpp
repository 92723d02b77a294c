#include "pages/PreviewDecoder.h"

#include <QMetaObject>

#include "wallpaper/Compose.h"
#include "wallpaper/JpegDecoder.h"

PreviewDecoder::PreviewDecoder(QObject* parent) : QObject(parent) { pool_.setMaxThreadCount(1); }

PreviewDecoder::~PreviewDecoder() {
  Cancel();
  pool_.waitForDone();
}

void PreviewDecoder::Request(const QString& path, QSize box) {
  const quint64 generation = ++generation_;
  std::lock_guard<std::mutex> hold(lock_);
  pending_ = Job{path, box, generation};
  if (!running_) {
    running_ = true;
    pool_.start([this] { Run(); });
  }
}

void PreviewDecoder::Cancel() {
  ++generation_;
  std::lock_guard<std::mutex> hold(lock_);
  pending_.reset();
}

void PreviewDecoder::WaitForIdle() { pool_.waitForDone(); }

void PreviewDecoder::Run() {
  for (;;) {
    Job job;
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (!pending_) {
        running_ = false;
        return;
      }
      job = *pending_;
      pending_.reset();
    }
    Result result = Make(job.path, job.box);
    QMetaObject::invokeMethod(
        this, [this, g = job.generation, path = job.path, result] { Deliver(g, path, result); },
        Qt::QueuedConnection);
  }
}

void PreviewDecoder::Deliver(quint64 generation, const QString& path, const Result& result) {
  if (generation != generation_) return;  // a later request is on its way
  if (result.error.isEmpty()) {
    emit Ready(path, result.picture);
  } else {
    emit Failed(path, result.error);
  }
}

PreviewDecoder::Result PreviewDecoder::Make(const QString& path, QSize box) {
  try {
    QSize full;
    {
      JpegDecoder header(path);  // reads only as far as the size and the EXIF orientation
      full = UprightSize(header.size(), header.orientation());
    }
    const QSize fit = FitInside(full.width(), full.height(), box.width(), box.height());
    if (fit.isEmpty()) return {};
    // A phone photo stored sideways is shown the way it was taken, as on the wallpaper.
    const QImage decoded = DecodeUpright(path, fit);
    if (decoded.size() == fit) return {decoded, {}};
    return {ResampleHalftone(decoded, fit.width(), fit.height()), {}};
  } catch (const std::exception& e) {
    return {QImage(), QString::fromUtf8(e.what())};
  }
}
