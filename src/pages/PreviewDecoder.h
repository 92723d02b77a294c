#pragma once
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QThreadPool>
#include <mutex>
#include <optional>

// Makes preview pictures off the user-interface thread, one at a time: a JPEG decoded at
// the smallest DCT scale that still fills the box, then smoothed to fit it. When requests
// come faster than pictures, only the latest one is decoded next and only its picture is
// delivered, so a run of quick clicks costs at most one stale decode.
class PreviewDecoder : public QObject {
  Q_OBJECT

 public:
  explicit PreviewDecoder(QObject* parent = nullptr);
  ~PreviewDecoder() override;

  void Request(const QString& path, QSize box);
  // Forgets every request: nothing more is delivered for them.
  void Cancel();
  // Waits until no decode runs (tests, benchmarks); posted results still need events.
  void WaitForIdle();

  // The picture of `path` fitted inside `box`, or the reason it could not be read.
  struct Result {
    QImage picture;
    QString error;
  };
  static Result Make(const QString& path, QSize box);

 signals:
  // For the latest request only.
  void Ready(const QString& path, const QImage& picture);
  void Failed(const QString& path, const QString& error);

 private:
  struct Job {
    QString path;
    QSize box;
    quint64 generation;
  };
  void Run();
  void Deliver(quint64 generation, const QString& path, const Result& result);

  QThreadPool pool_;
  std::mutex lock_;
  std::optional<Job> pending_;  // under lock_
  bool running_ = false;        // under lock_
  quint64 generation_ = 0;      // user-interface thread only
};
