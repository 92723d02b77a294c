#include "wallpaper/BmpWriter.h"

#include <QtEndian>
#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/ReplacedFile.h"

namespace {
void Put16(uchar*& p, quint16 v) {
  qToLittleEndian(v, p);
  p += 2;
}
void Put32(uchar*& p, quint32 v) {
  qToLittleEndian(v, p);
  p += 4;
}
}  // namespace

void WriteBmpFile(const QImage& source, const QString& path) {
  const QImage image = PixelsToWrite(source, path);
  const int width = image.width();
  const int height = image.height();
  // 24 bits a pixel, rows padded to four bytes: a quarter fewer bytes to write than 32 bits,
  // which matters more than the packing on a busy disk.
  const quint64 rowBytes = (quint64(width) * 3 + 3) & ~quint64(3);
  const quint64 pixelBytes = rowBytes * quint64(height);
  if (pixelBytes + 54 > 0xFFFFFFFFull) FailWriting(path, EFBIG);

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
  Put32(p, 0);                             // BI_RGB: uncompressed
  Put32(p, static_cast<quint32>(pixelBytes));
  Put32(p, 2835);  // 72 dpi
  Put32(p, 2835);
  Put32(p, 0);
  Put32(p, 0);

  ReplacedFile file(path);
  file.Write(header, sizeof header);
  // About a megabyte of packed rows per write: few system calls, no second copy of the picture.
  const int rowsPerChunk =
      static_cast<int>(std::max<quint64>(1, (quint64(1) << 20) / std::max<quint64>(rowBytes, 1)));
  std::vector<uchar> chunk(size_t(rowBytes) * size_t(std::min(rowsPerChunk, height)));
  for (int y = height - 1; y >= 0;) {
    uchar* out = chunk.data();
    int rows = 0;
    for (; rows < rowsPerChunk && y >= 0; ++rows, --y) {
      const QRgb* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
      uchar* q = out + size_t(rows) * rowBytes;
      for (int x = 0; x < width; ++x, q += 3) {
        const QRgb c = in[x];
        q[0] = static_cast<uchar>(c);        // blue
        q[1] = static_cast<uchar>(c >> 8);   // green
        q[2] = static_cast<uchar>(c >> 16);  // red
      }
      for (quint64 pad = quint64(width) * 3; pad < rowBytes; ++pad) *q++ = 0;
    }
    file.Write(out, size_t(rows) * size_t(rowBytes));
  }
  file.Commit();
}
