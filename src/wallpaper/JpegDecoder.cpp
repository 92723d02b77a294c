#include "wallpaper/JpegDecoder.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

namespace {
// The library's error manager with room for the jump back and the message text.
struct JpegErr {
  jpeg_error_mgr pub;  // first, so the library's pointer is ours
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};
}  // namespace

struct JpegDecoder::State {
  jpeg_decompress_struct cinfo;
  JpegErr err;
  FILE* file = nullptr;
  bool created = false;
  bool decoded = false;
  // Here rather than in the decoder: a constructor that throws runs no destructor of its own.
  ~State() {
    if (created) jpeg_destroy_decompress(&cinfo);
    if (file) std::fclose(file);
  }
};

namespace {
// The library's fatal errors come here instead of exit(): keep the text, unwind to the phase.
void OnErrorExit(j_common_ptr c) {
  auto* err = reinterpret_cast<JpegErr*>(c->err);
  (*c->err->format_message)(c, err->message);
  std::longjmp(err->jump, 1);
}

// A file that ends early decodes as grey by default; a wallpaper half grey is a failure.
void OnEmitMessage(j_common_ptr c, int level) {
  if (level < 0) {
    if (c->err->msg_code == JWRN_JPEG_EOF) OnErrorExit(c);
    c->err->num_warnings++;
  }
}

void OnOutputMessage(j_common_ptr) {}

// The phases that run library code. They hold no C++ objects, so the long jump out of the
// library on an error skips no destructor; the caller turns `false` into an exception.
bool ReadHeaderPhase(jpeg_decompress_struct* c, JpegErr* err, FILE* file, bool* created) {
  if (setjmp(err->jump)) return false;
  jpeg_create_decompress(c);
  *created = true;
  jpeg_stdio_src(c, file);
  jpeg_save_markers(c, JPEG_APP0 + 1, 0xFFFF);  // EXIF, for the orientation
  jpeg_read_header(c, TRUE);
  return true;
}

bool StartPhase(jpeg_decompress_struct* c, JpegErr* err) {
  if (setjmp(err->jump)) return false;
  jpeg_start_decompress(c);
  return true;
}

bool SkipPhase(jpeg_decompress_struct* c, JpegErr* err, JDIMENSION lines, JDIMENSION* skipped) {
  if (setjmp(err->jump)) return false;
  *skipped = jpeg_skip_scanlines(c, lines);
  return true;
}

bool ReadPhase(jpeg_decompress_struct* c, JpegErr* err, JSAMPROW* rows, JDIMENSION count,
               JDIMENSION* got) {
  if (setjmp(err->jump)) return false;
  *got = jpeg_read_scanlines(c, rows, count);
  return true;
}

bool ScanlinePhase(jpeg_decompress_struct* c, JpegErr* err, unsigned char* bits,
                   qsizetype bytesPerLine) {
  if (setjmp(err->jump)) return false;
  while (c->output_scanline < c->output_height) {
    JSAMPROW rows[16];
    const JDIMENSION left = c->output_height - c->output_scanline;
    const JDIMENSION count = left < 16 ? left : 16;
    for (JDIMENSION i = 0; i < count; ++i) {
      rows[i] = bits + qsizetype(c->output_scanline + i) * bytesPerLine;
    }
    if (jpeg_read_scanlines(c, rows, count) == 0) break;
  }
  return true;
}

int CeilDiv(qint64 a, qint64 b) { return static_cast<int>((a + b - 1) / b); }

[[noreturn]] void FailTooLarge(const QString& path, qint64 width, qint64 height) {
  throw JpegError(QStringLiteral("The picture \"%1\" is too large to use (%2 x %3 pixels).")
                      .arg(path)
                      .arg(width)
                      .arg(height)
                      .toStdString());
}

// CMYK as Photoshop writes it (inverted, Adobe marker) or plain; to 0xffRRGGBB in place.
void CmykToRgb32(uchar* p, int width, bool inverted) {
  for (int x = 0; x < width; ++x, p += 4) {
    int c = p[0], m = p[1], yy = p[2], k = p[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      yy = 255 - yy;
      k = 255 - k;
    }
    const int r = c * k / 255, g = m * k / 255, b = yy * k / 255;
    p[0] = static_cast<uchar>(b);
    p[1] = static_cast<uchar>(g);
    p[2] = static_cast<uchar>(r);
    p[3] = 0xFF;
  }
}
}  // namespace

int JpegScaleEighths(QSize full, QSize cover) {
  if (cover.width() <= 0 || cover.height() <= 0) return 8;
  int n = 1;
  while (n < 8 && (CeilDiv(qint64(full.width()) * n, 8) < cover.width() ||
                   CeilDiv(qint64(full.height()) * n, 8) < cover.height())) {
    ++n;
  }
  // libjpeg-turbo has vector code for the 1/8, 2/8, 4/8 and 8/8 transforms only; the others
  // run in plain C and cost more than the next of these plus the larger shrink (3/8 more than
  // 4/8, 6/8 and 7/8 more than 8/8). 5/8 still beats a full decode and its shrink.
  if (n == 3) return 4;
  if (n == 6 || n == 7) return 8;
  return n;
}

JpegDecoder::JpegDecoder(const QString& path) : path_(path), s_(std::make_unique<State>()) {
  std::memset(&s_->cinfo, 0, sizeof s_->cinfo);
  s_->cinfo.err = jpeg_std_error(&s_->err.pub);
  s_->err.pub.error_exit = OnErrorExit;
  s_->err.pub.emit_message = OnEmitMessage;
  s_->err.pub.output_message = OnOutputMessage;
  s_->err.message[0] = '\0';

  // A FIFO or a device would block the open or never end: only regular files are pictures.
  const QFileInfo info(path);
  if (info.exists() && !info.isFile()) {
    throw JpegError(QStringLiteral("\"%1\" is not a picture file.").arg(path).toStdString());
  }
  s_->file = std::fopen(QFile::encodeName(path).constData(), "rb");
  if (!s_->file) {
    throw JpegError(QStringLiteral("Could not open the picture \"%1\": %2")
                        .arg(path, QString::fromLocal8Bit(std::strerror(errno)))
                        .toStdString());
  }
  if (!ReadHeaderPhase(&s_->cinfo, &s_->err, s_->file, &s_->created)) Fail();
  jpeg_decompress_struct& c = s_->cinfo;
  // A single-scan picture is decoded a few rows at a time, so only the size it is decoded at
  // counts (checked in Start); one in several scans is held whole first.
  if (multiScan() && qint64(c.image_width) * c.image_height * 4 > kMaxJpegPixelBytes)
    FailTooLarge(path, c.image_width, c.image_height);
  for (jpeg_saved_marker_ptr m = c.marker_list; m; m = m->next) {
    // The first EXIF block; an XMP block, also APP1, may come before it.
    if (m->marker == JPEG_APP0 + 1 && m->data_length > 6 && std::memcmp(m->data, "Exif", 5) == 0) {
      orientation_ = ExifOrientation(m->data, m->data_length);
      break;
    }
  }
}

bool JpegDecoder::multiScan() const {
  return jpeg_has_multiple_scans(const_cast<jpeg_decompress_struct*>(&s_->cinfo));
}

JpegDecoder::~JpegDecoder() = default;

QSize JpegDecoder::size() const {
  return QSize(static_cast<int>(s_->cinfo.image_width), static_cast<int>(s_->cinfo.image_height));
}

void JpegDecoder::Fail() {
  throw JpegError(QStringLiteral("Could not read the picture \"%1\": %2")
                      .arg(path_, QString::fromLocal8Bit(s_->err.message))
                      .toStdString());
}

QSize JpegDecoder::ScaledSize(QSize cover) const {
  const int n = JpegScaleEighths(size(), cover);
  const jpeg_decompress_struct& c = s_->cinfo;
  return QSize(CeilDiv(qint64(c.image_width) * n, 8), CeilDiv(qint64(c.image_height) * n, 8));
}

bool JpegDecoder::Start(QSize cover) {
  if (s_->decoded) throw JpegError("The picture was already decoded.");
  s_->decoded = true;
  jpeg_decompress_struct& c = s_->cinfo;
  const bool cmyk = c.jpeg_color_space == JCS_CMYK || c.jpeg_color_space == JCS_YCCK;
  c.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX;
  c.scale_num = static_cast<unsigned>(JpegScaleEighths(size(), cover));
  c.scale_denom = 8;
  const QSize scaled = ScaledSize(cover);
  if (qint64(scaled.width()) * scaled.height() * 4 > kMaxJpegPixelBytes)
    FailTooLarge(path_, c.image_width, c.image_height);
  if (!StartPhase(&c, &s_->err)) Fail();
  if (c.output_components != 4) {
    throw JpegError(QStringLiteral("Could not read the picture \"%1\": unsupported colour format.")
                        .arg(path_)
                        .toStdString());
  }
  // Rows are handed out at this width, which callers size their buffers by.
  if (QSize(static_cast<int>(c.output_width), static_cast<int>(c.output_height)) !=
      ScaledSize(cover)) {
    throw JpegError(QStringLiteral("Could not read the picture \"%1\": unexpected scaled size.")
                        .arg(path_)
                        .toStdString());
  }
  return cmyk;
}

void JpegDecoder::FailEarlyEnd() {
  throw JpegError(QStringLiteral("Could not read the picture \"%1\": the data ends early.")
                      .arg(path_)
                      .toStdString());
}

QImage JpegDecoder::Decode(QSize cover) {
  const bool cmyk = Start(cover);
  jpeg_decompress_struct& c = s_->cinfo;
  QImage image(static_cast<int>(c.output_width), static_cast<int>(c.output_height),
               QImage::Format_RGB32);
  if (image.isNull()) {
    throw JpegError(
        QStringLiteral("Not enough memory to read the picture \"%1\".").arg(path_).toStdString());
  }
  if (!ScanlinePhase(&c, &s_->err, image.bits(), image.bytesPerLine())) Fail();
  if (c.output_scanline < c.output_height) FailEarlyEnd();
  if (cmyk) {
    for (int y = 0; y < image.height(); ++y)
      CmykToRgb32(image.scanLine(y), image.width(), c.saw_Adobe_marker);
  }
  return image;
}

void JpegDecoder::DecodeRows(QSize cover, int first, int end,
                             const std::function<void(const uchar*)>& row) {
  const bool cmyk = Start(cover);
  jpeg_decompress_struct& c = s_->cinfo;
  const auto height = static_cast<int>(c.output_height);
  first = std::clamp(first, 0, height);
  end = std::clamp(end, first, height);
  if (first > 0) {
    JDIMENSION skipped = 0;
    if (!SkipPhase(&c, &s_->err, static_cast<JDIMENSION>(first), &skipped)) Fail();
    if (skipped < static_cast<JDIMENSION>(first)) FailEarlyEnd();
  }
  const size_t rowBytes = size_t(c.output_width) * 4;
  constexpr int kStrip = 16;
  std::vector<uchar> strip(rowBytes * kStrip);
  while (static_cast<int>(c.output_scanline) < end) {
    JSAMPROW rows[kStrip];
    const int count = std::min(kStrip, end - static_cast<int>(c.output_scanline));
    for (int i = 0; i < count; ++i) rows[i] = strip.data() + rowBytes * size_t(i);
    JDIMENSION got = 0;
    if (!ReadPhase(&c, &s_->err, rows, static_cast<JDIMENSION>(count), &got)) Fail();
    if (got == 0) FailEarlyEnd();
    for (JDIMENSION i = 0; i < got; ++i) {
      if (cmyk) CmykToRgb32(rows[i], static_cast<int>(c.output_width), c.saw_Adobe_marker);
      row(rows[i]);
    }
  }
}

namespace {
// Big- or little-endian reads inside the TIFF block, false past its end.
struct TiffReader {
  const uchar* data;
  size_t size;
  bool big;
  bool U16(size_t at, unsigned* v) const {
    if (at + 2 > size) return false;
    *v = big ? unsigned(data[at]) << 8 | data[at + 1] : unsigned(data[at + 1]) << 8 | data[at];
    return true;
  }
  bool U32(size_t at, quint32* v) const {
    unsigned hi = 0, lo = 0;
    if (!U16(at, big ? &hi : &lo) || !U16(at + 2, big ? &lo : &hi)) return false;
    *v = quint32(hi) << 16 | lo;
    return true;
  }
};
}  // namespace

int ExifOrientation(const uchar* data, size_t size) {
  static const char kExif[] = {'E', 'x', 'i', 'f', 0, 0};
  if (!data || size < sizeof kExif + 8 || std::memcmp(data, kExif, sizeof kExif) != 0) return 1;
  const uchar* tiff = data + sizeof kExif;
  const size_t length = size - sizeof kExif;
  TiffReader r{tiff, length, tiff[0] == 'M'};
  if (!((tiff[0] == 'I' && tiff[1] == 'I') || (tiff[0] == 'M' && tiff[1] == 'M'))) return 1;
  unsigned magic = 0, count = 0;
  quint32 ifd = 0;
  if (!r.U16(2, &magic) || magic != 42 || !r.U32(4, &ifd) || !r.U16(ifd, &count)) return 1;
  for (unsigned i = 0; i < count; ++i) {
    const size_t entry = size_t(ifd) + 2 + size_t(i) * 12;
    unsigned tag = 0, type = 0, value = 0;
    if (!r.U16(entry, &tag) || !r.U16(entry + 2, &type)) return 1;
    if (tag != 0x0112) continue;
    if (type != 3 || !r.U16(entry + 8, &value)) return 1;  // SHORT, held in the entry
    return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
  }
  return 1;
}

QSize UprightSize(QSize stored, int orientation) {
  return orientation >= 5 && orientation <= 8 ? stored.transposed() : stored;
}

QImage Upright(const QImage& stored, int orientation) {
  if (orientation < 2 || orientation > 8) return stored;
  const QImage src = stored.format() == QImage::Format_RGB32
                         ? stored
                         : stored.convertToFormat(QImage::Format_RGB32);
  const int sw = src.width(), sh = src.height();
  const QSize size = UprightSize(src.size(), orientation);
  QImage out(size, QImage::Format_RGB32);
  if (out.isNull()) return out;
  // For each upright pixel (x, y), the stored pixel it comes from.
  for (int y = 0; y < size.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < size.width(); ++x) {
      int sx = x, sy = y;
      switch (orientation) {
        case 2: sx = sw - 1 - x; break;
        case 3: sx = sw - 1 - x; sy = sh - 1 - y; break;
        case 4: sy = sh - 1 - y; break;
        case 5: sx = y; sy = x; break;
        case 6: sx = y; sy = sh - 1 - x; break;
        case 7: sx = sw - 1 - y; sy = sh - 1 - x; break;
        case 8: sx = sw - 1 - y; sy = x; break;
        default: break;
      }
      row[x] = reinterpret_cast<const QRgb*>(src.constScanLine(sy))[sx];
    }
  }
  return out;
}

QImage DecodeUpright(const QString& path, QSize cover) {
  JpegDecoder decoder(path);
  const int o = decoder.orientation();
  return Upright(decoder.Decode(cover.isEmpty() ? QSize() : UprightSize(cover, o)), o);
}

QString PictureFileProblem(const QString& path) {
  if (!QFileInfo::exists(path))
    return QStringLiteral("Could not find the image: %1").arg(path);
  try {
    JpegDecoder header(path);
  } catch (const JpegError& e) {
    return QString::fromStdString(e.what());
  }
  return QString();
}
