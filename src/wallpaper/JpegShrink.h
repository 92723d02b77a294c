#pragma once
#include <QImage>
#include <QSize>
#include <QString>
#include <vector>

// Decodes the JPEG at `path` straight to `size` (at most the picture's own size on both axes):
// DCT scaling to the smallest size that still covers it, then area averaging, row by row, into
// `out` (rows `stride` bytes apart). The output rows are cut into `parts` bands, each decoded
// by its own decoder on its own thread; the pixels are the same whatever the number of bands.
// Throws JpegError as JpegDecoder does.
void DecodeShrunk(const QString& path, QSize size, uchar* out, qsizetype stride, int parts);

// The first output row of each of `parts` bands of `rows` rows, and `rows` at the end. A band
// skips the rows above it by entropy decoding alone, which costs `skipShare` of decoding and
// shrinking a row, so lower bands are cut shorter to take about as long as the top one.
std::vector<int> ShrinkBands(int rows, int parts, double skipShare);
// That share for a decode at the DCT scale eighths/8.
double SkipShare(int eighths);

// The bands to use on this machine for a picture of `full` size shrunk to `size`: one per
// core, up to two, when the work is large enough to pay for a thread and not mostly the
// entropy decoding that every band repeats for the rows above it.
int ShrinkParts(QSize full, QSize size);
