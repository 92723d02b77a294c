#pragma once
#include <QImage>
#include <QString>

// Writes the image as an 8-bit RGB PNG for a desktop to read once, as fast as the BMP: every
// row unfiltered and the pixels in stored (uncompressed) deflate blocks, so the cost is the
// copy and the checksums, with no compression search. Lossless; about the BMP's size.
// Written under a temporary name and renamed over the target, as the BMP is.
// Throws std::runtime_error with a readable message when the file cannot be written.
void WritePngFile(const QImage& image, const QString& path);
