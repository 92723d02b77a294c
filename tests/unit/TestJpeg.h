#pragma once
// Writes JPEG files for the tests with libjpeg itself, so greyscale and CMYK files can be made.
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

// clang-format off
#include <jpeglib.h>
// clang-format on

// Colour420 has its colour at half resolution both ways, as most cameras write it, Colour422
// across only; Progressive420 is stored in several scans, as many web pictures are.
enum class JpegKind { Colour, Colour420, Colour422, Progressive420, Grey, InvertedCmyk };

// An EXIF block (the body of an APP1 marker) holding only the orientation tag.
inline QByteArray ExifBlock(int orientation, bool bigEndian = true) {
  QByteArray b("Exif\0\0", 6);
  const auto u16 = [&](unsigned v) {
    if (bigEndian) {
      b.append(char(v >> 8)).append(char(v & 0xFF));
    } else {
      b.append(char(v & 0xFF)).append(char(v >> 8));
    }
  };
  const auto u32 = [&](unsigned v) {
    if (bigEndian) {
      u16(v >> 16);
      u16(v & 0xFFFF);
    } else {
      u16(v & 0xFFFF);
      u16(v >> 16);
    }
  };
  b.append(bigEndian ? "MM" : "II");
  u16(42);
  u32(8);       // the first directory right after the header
  u16(1);       // one entry:
  u16(0x0112);  // orientation
  u16(3);       // SHORT
  u32(1);
  u16(unsigned(orientation));
  u16(0);
  u32(0);  // no next directory
  return b;
}

// A JPEG file of that size and kind, row y of which `fill(y, pixels)` gives as 32-bit pixels,
// so a large one never has to be in memory whole; with an EXIF block of that orientation when
// it is not 0. Returns false when it could not be written.
template <typename Fill>
inline bool WriteJpegRows(const QString& path, int width, int height, JpegKind kind, int quality,
                          int orientation, Fill fill) {
  FILE* f = std::fopen(QFile::encodeName(path).constData(), "wb");
  if (!f) return false;
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, f);
  c.image_width = static_cast<JDIMENSION>(width);
  c.image_height = static_cast<JDIMENSION>(height);
  c.input_components = kind == JpegKind::Grey ? 1 : kind == JpegKind::InvertedCmyk ? 4 : 3;
  c.in_color_space = kind == JpegKind::Grey           ? JCS_GRAYSCALE
                     : kind == JpegKind::InvertedCmyk ? JCS_CMYK
                                                      : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  // No chroma subsampling unless asked: colours stay put to the 8-pixel block, so tests can
  // look at edges.
  const bool halfAcross = kind == JpegKind::Colour420 || kind == JpegKind::Colour422 ||
                          kind == JpegKind::Progressive420;
  const bool halfDown = kind == JpegKind::Colour420 || kind == JpegKind::Progressive420;
  for (int i = 0; i < c.num_components; ++i) {
    c.comp_info[i].h_samp_factor = halfAcross && i == 0 ? 2 : 1;
    c.comp_info[i].v_samp_factor = halfDown && i == 0 ? 2 : 1;
  }
  if (kind == JpegKind::Progressive420) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  if (orientation != 0) {
    const QByteArray exif = ExifBlock(orientation);
    jpeg_write_marker(&c, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(exif.constData()),
                      static_cast<unsigned>(exif.size()));
  }
  std::vector<QRgb> in(static_cast<size_t>(width));
  std::vector<unsigned char> row(size_t(width) * 4);
  while (c.next_scanline < c.image_height) {
    fill(static_cast<int>(c.next_scanline), in.data());
    unsigned char* out = row.data();
    for (int x = 0; x < width; ++x) {
      const int r = qRed(in[size_t(x)]), g = qGreen(in[size_t(x)]), b = qBlue(in[size_t(x)]);
      if (kind == JpegKind::Grey) {
        *out++ = static_cast<unsigned char>(qGray(in[size_t(x)]));
      } else if (kind == JpegKind::InvertedCmyk) {
        // As Photoshop stores it: inverted ink, no black ink used.
        *out++ = static_cast<unsigned char>(r);
        *out++ = static_cast<unsigned char>(g);
        *out++ = static_cast<unsigned char>(b);
        *out++ = 255;
      } else {
        *out++ = static_cast<unsigned char>(r);
        *out++ = static_cast<unsigned char>(g);
        *out++ = static_cast<unsigned char>(b);
      }
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&c, rows, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  return std::fclose(f) == 0;
}

// The picture as a JPEG file of that kind (quality 100), with an EXIF block of that
// orientation when it is not 0; returns false when it could not be written.
inline bool WriteTestJpeg(const QString& path, const QImage& picture,
                          JpegKind kind = JpegKind::Colour, int orientation = 0) {
  const QImage image = picture.convertToFormat(QImage::Format_RGB32);
  return WriteJpegRows(path, image.width(), image.height(), kind, 100, orientation,
                       [&image](int y, QRgb* pixels) {
                         std::memcpy(pixels, image.constScanLine(y), size_t(image.width()) * 4);
                       });
}

// A flat baseline JPEG of any size, written row by row without the picture in memory.
inline bool WriteLargeFlatJpeg(const QString& path, int width, int height, QRgb colour) {
  return WriteJpegRows(path, width, height, JpegKind::Colour420, 50, 0,
                       [&](int, QRgb* pixels) { std::fill(pixels, pixels + width, colour); });
}

inline QImage Flat(int width, int height, QRgb colour) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

inline bool WriteFlatJpeg(const QString& path, int width, int height, QRgb colour) {
  return WriteTestJpeg(path, Flat(width, height, colour));
}

// Colour within a small distance: JPEG is lossy even at quality 100.
inline bool Near(QRgb a, QRgb b, int tolerance = 4) {
  return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
         std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// The share of pixels where the two differ by more than `tolerance` in some channel; all of
// them when the sizes differ.
inline double DifferingShare(const QImage& a, const QImage& b, int tolerance = 24) {
  if (a.size() != b.size() || a.isNull()) return 1.0;
  qint64 differing = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) differing += !Near(a.pixel(x, y), b.pixel(x, y), tolerance);
  return static_cast<double>(differing) / (static_cast<double>(a.width()) * a.height());
}

// A picture with detail everywhere, as a photograph has: ramps, hard edges and noise.
inline QImage Busy(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  unsigned seed = 12345;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int noise = static_cast<int>((seed >> 24) % 41) - 20;
      const int edge = ((x / 13) + (y / 9)) % 3 == 0 ? 90 : 0;
      image.setPixel(x, y,
                     qRgb(std::clamp(x * 255 / width + noise, 0, 255),
                          std::clamp(y * 255 / height - edge + noise, 0, 255),
                          std::clamp(edge + 60 + noise, 0, 255)));
    }
  }
  return image;
}
