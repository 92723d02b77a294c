#pragma once
#include <QImage>
#include <QSize>
#include <QString>
#include <vector>

// Decodes the JPEG at `path` straight to `size`, row by row into `out` (rows `stride` bytes
// apart), with no picture-sized copy: DCT scaling to the smallest size that still covers it,
// then area averaging where that is larger, interpolation where it is smaller (the same
// pixels as ResampleHalftone of the whole decode). With `parts` above 1 a single-scan picture
// is cut into bands, each decoded by its own decoder on its own thread; a picture in several
// scans is read once, by one decoder on a second thread, while this one resamples its rows.
// The pixels are the same whatever `parts` is. Throws JpegError as JpegDecoder does.
void DecodeResampled(const QString& path, QSize size, uchar* out, qsizetype stride, int parts);

// The first output row of each of `parts` bands of `rows` rows, and `rows` at the end. A band
// skips the rows above it by entropy decoding alone, which costs `skipShare` of decoding and
// resampling a row, so lower bands are cut shorter to take about as long as the top one.
std::vector<int> ShrinkBands(int rows, int parts, double skipShare);
// That share for a decode at the DCT scale eighths/8, shrinking; or enlarging, where the
// interpolation is most of the work.
double SkipShare(int eighths, bool enlarging = false);

// The threads to use on this machine for a picture of `full` size decoded to `size`: one per
// core, up to two, when the work is large enough to pay for a thread and, for a single-scan
// picture, not mostly the entropy decoding that every band repeats for the rows above it.
int ResampleParts(QSize full, QSize size, bool multiScan);
