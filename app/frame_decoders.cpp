#include "app/frame_decoders.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QString>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>

extern "C" {
#include <jpeglib.h>
// After jpeglib.h: its configuration decides which messages jerror.h declares.
#include <jerror.h>
}

namespace km {
namespace {

// ---------------------------------------------------------------- JPEG ---

// libjpeg reports errors through error_exit, whose default ends the
// process; ours jumps back to the decoder, which releases everything.
struct JpegErrorJump {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

[[noreturn]] void JpegErrorExit(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<JpegErrorJump*>(cinfo->err)->jump, 1);
}

// Warnings that mean the pixels are not what the file was meant to hold.
// libjpeg goes on after them (filling a missing tail with grey, say); we
// stop. Extra bytes just before the end-of-image marker are left out: every
// scan is complete by then, and some webcams write such padding.
bool IsDamageWarning(const jpeg_error_mgr& err) {
  switch (err.msg_code) {
    case JWRN_EXTRANEOUS_DATA:
      return err.msg_parm.i[1] != 0xD9;  // marker that follows the extra bytes
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_BOGUS_PROGRESSION:
      return true;
    default:
      return false;
  }
}

// Replaces libjpeg's message printer: nothing is printed, and warnings of
// damaged data end decoding like errors do (msg_level -1 is a warning,
// higher levels are trace messages).
void JpegEmitMessage(j_common_ptr cinfo, int msgLevel) {
  if (msgLevel < 0 && IsDamageWarning(*cinfo->err)) JpegErrorExit(cinfo);
}

using JpegSourceSetup = void (*)(j_decompress_ptr cinfo, void* source);

// One decode into decoded; setup attaches the data source. The raster lives
// in the caller's frame: after a longjmp, locals of this frame that changed
// since setjmp have no reliable value, so none with a destructor is made here.
bool DecodeJpeg(JpegSourceSetup setup, void* source, Raster& decoded, int64_t maxPixels) {
  jpeg_decompress_struct cinfo{};
  JpegErrorJump err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegErrorExit;
  err.mgr.emit_message = JpegEmitMessage;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  setup(&cinfo, source);
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_EXT_BGR;
  jpeg_calc_output_dimensions(&cinfo);
  const int64_t width = cinfo.output_width, height = cinfo.output_height;
  bool sized = cinfo.output_components == 3 && width > 0 && height > 0 && width * height <= maxPixels;
  if (sized) {
    try {
      decoded.Resize(static_cast<int>(width), static_cast<int>(height));
    } catch (const std::bad_alloc&) {
      sized = false;
    }
  }
  if (!sized) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_start_decompress(&cinfo);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = decoded.Row(static_cast<int>(cinfo.output_scanline));
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  // Reads on to the end-of-image marker, so a file cut just after its last
  // scan still counts as cut.
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

struct MemorySource {
  const uint8_t* data;
  size_t size;
};

// ----------------------------------------------------------------- BMP ---

// Passes reads through to the real source and remembers whether one of them
// came back short. Qt's BMP reader takes a row that ends early as the end of
// the image and returns the rest of it uninitialised; a short read marks the
// file as incomplete instead.
class ShortReadWatch : public QIODevice {
 public:
  explicit ShortReadWatch(QIODevice& source) : source_(source) {}
  bool ShortRead() const { return shortRead_; }

  bool isSequential() const override { return false; }
  qint64 size() const override { return source_.size(); }
  bool seek(qint64 pos) override { return QIODevice::seek(pos) && source_.seek(pos); }

 protected:
  qint64 readData(char* data, qint64 maxSize) override {
    const qint64 got = source_.read(data, maxSize);
    if (got < maxSize) shortRead_ = true;
    return got;
  }
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  QIODevice& source_;
  bool shortRead_ = false;
};

bool DecodeBmp(QIODevice& source, Raster& out, int64_t maxPixels) {
  ShortReadWatch device(source);
  if (!device.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return false;
  QImageReader reader(&device, "bmp");
  // Only the BMP reader, whatever the content looks like.
  reader.setAutoDetectImageFormat(false);
  reader.setDecideFormatFromContent(false);

  // The header's size, before any pixel memory exists. A top-down file
  // reports a negative height here.
  const QSize claimed = reader.size();
  const int64_t width = claimed.width(), height = std::llabs(claimed.height());
  if (width <= 0 || height <= 0 || width * height > maxPixels) return false;
  // Qt has its own cap on what one read may allocate (32-bit pixels); let it
  // admit every frame that passed the check above.
  const int64_t neededMb = (maxPixels * 4 >> 20) + 1;
  if (QImageReader::allocationLimit() != 0 && QImageReader::allocationLimit() < neededMb) {
    QImageReader::setAllocationLimit(static_cast<int>(neededMb));
  }

  QImage image;
  if (!reader.read(&image) || device.ShortRead() || image.isNull()) return false;
  // Non-premultiplied ARGB keeps the colour channels as stored; the alpha
  // channel is then simply not copied.
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  if (argb.isNull()) return false;

  Raster decoded;
  try {
    decoded.Resize(argb.width(), argb.height());
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (int y = 0; y < argb.height(); ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    uint8_t* row = decoded.Row(y);
    for (int x = 0; x < argb.width(); ++x) {
      row[3 * x] = static_cast<uint8_t>(qBlue(in[x]));
      row[3 * x + 1] = static_cast<uint8_t>(qGreen(in[x]));
      row[3 * x + 2] = static_cast<uint8_t>(qRed(in[x]));
    }
  }
  out = std::move(decoded);
  return true;
}

}  // namespace

bool DecodeJpegFile(const std::string& path, Raster& out, int64_t maxPixels) {
  struct Closer {
    void operator()(FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<FILE, Closer> file(std::fopen(path.c_str(), "rb"));
  if (!file) return false;
  Raster decoded;
  if (!DecodeJpeg([](j_decompress_ptr cinfo, void* f) { jpeg_stdio_src(cinfo, static_cast<FILE*>(f)); },
                  file.get(), decoded, maxPixels)) {
    return false;
  }
  out = std::move(decoded);
  return true;
}

bool DecodeJpegBytes(const uint8_t* data, size_t size, Raster& out, int64_t maxPixels) {
  MemorySource memory{data, size};
  Raster decoded;
  if (!DecodeJpeg(
          [](j_decompress_ptr cinfo, void* m) {
            const auto* source = static_cast<MemorySource*>(m);
            jpeg_mem_src(cinfo, source->data, static_cast<unsigned long>(source->size));
          },
          &memory, decoded, maxPixels)) {
    return false;
  }
  out = std::move(decoded);
  return true;
}

bool DecodeBmpFile(const std::string& path, Raster& out, int64_t maxPixels) {
  QFile file(QString::fromLocal8Bit(path));
  if (!file.open(QIODevice::ReadOnly)) return false;
  return DecodeBmp(file, out, maxPixels);
}

bool DecodeBmpBytes(const uint8_t* data, size_t size, Raster& out, int64_t maxPixels) {
  QByteArray bytes =
      QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::ReadOnly)) return false;
  return DecodeBmp(buffer, out, maxPixels);
}

}  // namespace km
