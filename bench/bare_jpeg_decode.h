#pragma once
// The physical floor of a scan: libjpeg decoding a file with its default
// settings into a reused buffer, nothing else. The scan benchmarks compare
// against it.

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

namespace km::bench {

struct BareJpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

[[noreturn]] inline void BareJpegErrorExit(j_common_ptr c) {
  std::longjmp(reinterpret_cast<BareJpegError*>(c->err)->jump, 1);
}

// One file with libjpeg's defaults into buffer; aborts on an error.
inline void DecodeStream(FILE* file, std::vector<uint8_t>& buffer) {
  jpeg_decompress_struct cinfo;
  BareJpegError err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = BareJpegErrorExit;
  if (setjmp(err.jump)) std::abort();
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, file);
  jpeg_read_header(&cinfo, TRUE);
  jpeg_start_decompress(&cinfo);
  const size_t stride = static_cast<size_t>(cinfo.output_width) * cinfo.output_components;
  buffer.resize(stride * cinfo.output_height);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = buffer.data() + stride * cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
}

}  // namespace km::bench
