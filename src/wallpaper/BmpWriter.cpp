#include "wallpaper/BmpWriter.h"

#include <QSaveFile>
#include <QtEndian>
#include <algorithm>
#include <stdexcept>
#include <vector>

namespace {
void Put16(uchar*& p, quint16 v) {
  qToLittleEndian(v, p);
  p += 2;
}
void Put32(uchar*& p, quint32 v) {
  qToLittleEndian(v, p);
  p += 4;
}

[[noreturn]] void Fail(const QString& path, const QString& reason) {
  throw std::runtime_error(QStringLiteral("Could not write the wallpaper file \"%1\": %2")
                               .arg(path, reason)
                               .toStdString());
}
}  // namespace

void WriteBmpFile(const QImage& source, const QString& path) {
  if (source.isNull()) Fail(path, QStringLiteral("there is no picture to write."));
  const QImage image =
      source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32
          ? source
          : source.convertToFormat(QImage::Format_RGB32);
  const int width = image.width();
  const int height = image.height();
  const quint32 rowBytes = (static_cast<quint32>(width) * 3 + 3) & ~3u;
  const quint64 pixelBytes = quint64(rowBytes) * quint64(height);
  if (pixelBytes + 54 > 0xFFFFFFFFull) Fail(path, QStringLiteral("the picture is too large."));

  uchar header[54] = {};
  uchar* p = header;
  *p++ = 'B';
  *p++ = 'M';
  Put32(p, static_cast<quint32>(54 + pixelBytes));  // file size
  Put32(p, 0);                                      // reserved
  Put32(p, 54);                                     // offset of the pixels
  Put32(p, 40);                                     // BITMAPINFOHEADER
  Put32(p, static_cast<quint32>(width));
  Put32(p, static_cast<quint32>(height));  // positive: bottom-up rows
  Put16(p, 1);                             // planes
  Put16(p, 24);                            // bits per pixel
  Put32(p, 0);                             // BI_RGB
  Put32(p, static_cast<quint32>(pixelBytes));
  Put32(p, 2835);  // 72 dpi
  Put32(p, 2835);
  Put32(p, 0);
  Put32(p, 0);

  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) Fail(path, file.errorString());
  file.write(reinterpret_cast<const char*>(header), sizeof header);
  // Several rows per write keeps the system calls few without a second copy of the picture.
  const int rowsPerChunk = std::max(1, static_cast<int>((1u << 20) / std::max(rowBytes, 1u)));
  std::vector<uchar> chunk(size_t(rowBytes) * size_t(std::min(rowsPerChunk, std::max(height, 1))));
  for (int y = height - 1; y >= 0;) {
    uchar* out = chunk.data();
    int rows = 0;
    for (; rows < rowsPerChunk && y >= 0; ++rows, --y) {
      const QRgb* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
      uchar* q = out + size_t(rows) * rowBytes;
      for (int x = 0; x < width; ++x) {
        const QRgb c = in[x];
        q[0] = static_cast<uchar>(qBlue(c));
        q[1] = static_cast<uchar>(qGreen(c));
        q[2] = static_cast<uchar>(qRed(c));
        q += 3;
      }
      for (quint32 pad = static_cast<quint32>(width) * 3; pad < rowBytes; ++pad) *q++ = 0;
    }
    if (file.write(reinterpret_cast<const char*>(out), qint64(rows) * rowBytes) !=
        qint64(rows) * rowBytes) {
      break;
    }
  }
  if (file.error() != QFileDevice::NoError) Fail(path, file.errorString());
  if (!file.commit()) Fail(path, file.errorString());
}
