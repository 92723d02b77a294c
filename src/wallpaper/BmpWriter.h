#pragma once
#include <QImage>
#include <QString>

// Writes the image as an uncompressed 24-bit bottom-up BMP. The file is written under a
// temporary name and renamed over the target, so a reader never sees half a picture.
// Throws std::runtime_error with a readable message when the file cannot be written.
void WriteBmpFile(const QImage& image, const QString& path);
