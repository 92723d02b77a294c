#include "wallpaper/PngWriter.h"

#include <zlib.h>

#include <QtEndian>
#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <thread>
#include <vector>

#include "platform/ReplacedFile.h"
#include "wallpaper/RunJobs.h"

namespace {
constexpr size_t kStoredBlockMax = 65535;  // the most a stored deflate block holds
constexpr size_t kBytesPerChunk = size_t(1) << 20;

using ChunkHeader = std::array<uchar, 8>;  // length, type
using ChunkCrc = std::array<uchar, 4>;

ChunkHeader Header(quint32 length, const char* type) {
  ChunkHeader h;
  qToBigEndian(length, h.data());
  std::copy(type, type + 4, h.begin() + 4);
  return h;
}

// A chunk whose data is in one piece.
void WriteChunk(ReplacedFile& file, const char* type, const uchar* data, quint32 length) {
  ChunkHeader header = Header(length, type);
  ChunkCrc crc;
  uLong sum = crc32(0, header.data() + 4, 4);
  if (length > 0) sum = crc32(sum, data, length);  // a null buffer would restart the sum
  qToBigEndian(static_cast<quint32>(sum), crc.data());
  std::vector<iovec> parts{{header.data(), header.size()},
                           {const_cast<uchar*>(data), length},
                           {crc.data(), crc.size()}};
  file.Write(parts);
}
}  // namespace

void WritePngFile(const QImage& source, const QString& path) {
  const QImage image = PixelsToWrite(source, path);
  const int width = image.width();
  const int height = image.height();
  // Each row: the filter type (0, none), then red, green, blue.
  const size_t rowBytes = 1 + size_t(width) * 3;
  // A chunk holds less than 2 GB.
  if (rowBytes > (size_t(1) << 30)) FailWriting(path, EFBIG);

  ReplacedFile file(path);
  static const uchar kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  file.Write(kSignature, sizeof kSignature);
  uchar ihdr[13];
  qToBigEndian(static_cast<quint32>(width), ihdr);
  qToBigEndian(static_cast<quint32>(height), ihdr + 4);
  ihdr[8] = 8;   // bits per sample
  ihdr[9] = 2;   // RGB
  ihdr[10] = 0;  // deflate
  ihdr[11] = 0;  // the only filter method
  ihdr[12] = 0;  // not interlaced
  WriteChunk(file, "IHDR", ihdr, sizeof ihdr);
  // The zlib stream's header: deflate, 32 KB window, "fastest" (stored) level; its own chunk,
  // so every chunk of pixels below is alike.
  static const uchar kZlibHeader[] = {0x78, 0x01};
  WriteChunk(file, "IDAT", kZlibHeader, sizeof kZlibHeader);

  // About a megabyte of rows per IDAT chunk, split into stored blocks; the block headers go
  // between the pieces of the row buffer, so the pixels are converted once and never copied.
  // Every chunk but the last is the same size, so each one's place in the file is known
  // before it is made: both cores convert, sum and write chunks, each taking the next one not
  // yet taken, so a core busy with other work only means the other one does more.
  const int rowsPerChunk = static_cast<int>(std::clamp<size_t>(kBytesPerChunk / rowBytes, 1,
                                                               size_t(std::max(height, 1))));
  const int chunks = (height + rowsPerChunk - 1) / rowsPerChunk;
  const auto blocksOf = [](size_t bytes) { return (bytes + kStoredBlockMax - 1) / kStoredBlockMax; };
  const size_t fullBytes = rowBytes * size_t(rowsPerChunk);
  const off_t fullChunkInFile = off_t(12 + fullBytes + 5 * blocksOf(fullBytes));
  const off_t pixelsAt = 8 + (12 + 13) + (12 + 2);
  std::vector<uLong> adlers(static_cast<size_t>(chunks));
  const int parts = chunks > 2 && std::thread::hardware_concurrency() >= 2 ? 2 : 1;
  std::atomic<int> next{0};
  RunAll(size_t(parts), [&](size_t) {
    std::vector<uchar> rows(fullBytes);
    std::vector<std::array<uchar, 5>> blockHeaders(blocksOf(fullBytes));
    std::vector<iovec> pieces;
    pieces.reserve(2 * blockHeaders.size() + 2);
    for (int c; (c = next.fetch_add(1)) < chunks;) {
      const int first = c * rowsPerChunk;
      const int count = std::min(rowsPerChunk, height - first);
      for (int r = 0; r < count; ++r) {
        const QRgb* in = reinterpret_cast<const QRgb*>(image.constScanLine(first + r));
        uchar* q = rows.data() + size_t(r) * rowBytes;
        *q++ = 0;
        for (int x = 0; x < width; ++x, q += 3) {
          const QRgb colour = in[x];
          q[0] = static_cast<uchar>(colour >> 16);
          q[1] = static_cast<uchar>(colour >> 8);
          q[2] = static_cast<uchar>(colour);
        }
      }
      const size_t bytes = size_t(count) * rowBytes;
      adlers[size_t(c)] = adler32_z(adler32(0, nullptr, 0), rows.data(), bytes);
      const size_t blocks = blocksOf(bytes);
      ChunkHeader header = Header(static_cast<quint32>(bytes + 5 * blocks), "IDAT");
      uLong crc = crc32(0, header.data() + 4, 4);
      pieces.assign(1, iovec{header.data(), header.size()});
      for (size_t b = 0; b < blocks; ++b) {
        const size_t offset = b * kStoredBlockMax;
        const auto length = static_cast<quint16>(std::min(kStoredBlockMax, bytes - offset));
        std::array<uchar, 5>& h = blockHeaders[b];
        h[0] = (c + 1 == chunks && b + 1 == blocks) ? 1 : 0;  // the stream's last block; stored
        qToLittleEndian(length, h.data() + 1);
        qToLittleEndian(static_cast<quint16>(~length), h.data() + 3);
        crc = crc32(crc, h.data(), 5);
        crc = crc32_z(crc, rows.data() + offset, length);
        pieces.push_back({h.data(), 5});
        pieces.push_back({rows.data() + offset, length});
      }
      ChunkCrc crcBytes;
      qToBigEndian(static_cast<quint32>(crc), crcBytes.data());
      pieces.push_back({crcBytes.data(), crcBytes.size()});
      file.WriteAt(pieces, pixelsAt + off_t(c) * fullChunkInFile);
    }
  });
  // The stream's checksum, from the chunks' own in order.
  uLong adler = adler32(0, nullptr, 0);
  for (int c = 0; c < chunks; ++c) {
    const int count = std::min(rowsPerChunk, height - c * rowsPerChunk);
    adler = adler32_combine(adler, adlers[size_t(c)], z_off_t(size_t(count) * rowBytes));
  }
  const size_t lastBytes = size_t(height - (chunks - 1) * rowsPerChunk) * rowBytes;
  file.Skip(off_t(chunks - 1) * fullChunkInFile + off_t(12 + lastBytes + 5 * blocksOf(lastBytes)));
  uchar trailer[4];
  qToBigEndian(static_cast<quint32>(adler), trailer);
  WriteChunk(file, "IDAT", trailer, sizeof trailer);
  WriteChunk(file, "IEND", nullptr, 0);
  file.Commit();
}
