#include "common/image_writers.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

#include "common/errors.h"

namespace km {
namespace {

struct FileCloser {
  void operator()(FILE* f) const {
    if (f) std::fclose(f);
  }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

FilePtr OpenForWriting(const std::string& path) {
  FilePtr f(std::fopen(path.c_str(), "wb"));
  if (!f) throw FileError(path + ": " + std::strerror(errno));
  return f;
}

void CloseChecked(FilePtr f, const std::string& path) {
  const bool bad = std::ferror(f.get()) != 0;
  const int rc = std::fclose(f.release());
  if (bad || rc != 0) throw FileError(path + ": " + std::strerror(errno ? errno : EIO));
}

struct JpegErrorJump {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<JpegErrorJump*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

}  // namespace

void WriteJpegFile(const std::string& path, const Raster& raster, int quality) {
  FilePtr file = OpenForWriting(path);
  jpeg_compress_struct cinfo;
  JpegErrorJump err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegErrorExit;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    throw FileError(path + ": " + err.message);
  }
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file.get());
  cinfo.image_width = static_cast<JDIMENSION>(raster.width);
  cinfo.image_height = static_cast<JDIMENSION>(raster.height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(raster.Row(static_cast<int>(cinfo.next_scanline)));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  CloseChecked(std::move(file), path);
}

void WriteBmpFile(const std::string& path, const Raster& raster) {
  const uint32_t rowBytes = (static_cast<uint32_t>(raster.width) * 3 + 3) & ~3u;
  const uint32_t imageBytes = rowBytes * static_cast<uint32_t>(raster.height);
  unsigned char header[54] = {};
  auto put16 = [&](int at, uint32_t v) {
    header[at] = v & 0xff;
    header[at + 1] = (v >> 8) & 0xff;
  };
  auto put32 = [&](int at, uint32_t v) {
    for (int i = 0; i < 4; ++i) header[at + i] = (v >> (8 * i)) & 0xff;
  };
  header[0] = 'B';
  header[1] = 'M';
  put32(2, 54 + imageBytes);
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(raster.width));
  put32(22, static_cast<uint32_t>(raster.height));
  put16(26, 1);
  put16(28, 24);
  put32(34, imageBytes);
  put32(38, 2835);
  put32(42, 2835);
  FilePtr file = OpenForWriting(path);
  std::fwrite(header, 1, sizeof header, file.get());
  std::vector<unsigned char> row(rowBytes, 0);
  for (int y = raster.height - 1; y >= 0; --y) {
    std::memcpy(row.data(), raster.Row(y), static_cast<size_t>(raster.width) * 3);
    std::fwrite(row.data(), 1, row.size(), file.get());
  }
  CloseChecked(std::move(file), path);
}

}  // namespace km
