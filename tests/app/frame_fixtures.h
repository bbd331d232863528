#pragma once
// Frame files made by the tests themselves: BMPs assembled byte by byte (so
// that every depth, compression and row order can be written), JPEGs through
// libjpeg's compressor (greyscale and progressive too).

#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

#include "common/raster.h"

namespace km::test {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, uint32_t v) {
  b.push_back(v & 0xff);
  b.push_back((v >> 8) & 0xff);
}
inline void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back((v >> (8 * i)) & 0xff);
}

// A BMP file: file header, an info header of headerSize bytes (40, or 108 /
// 124 for V4 / V5, which carry the masks inside), an optional masks block
// after a 40-byte header, the palette (0x00RRGGBB entries) and the pixel data
// exactly as given.
struct BmpLayout {
  int32_t width = 0;
  int32_t height = 0;  // negative: rows stored top-down
  uint16_t bitCount = 24;
  uint32_t compression = 0;  // 0 RGB, 1 RLE8, 2 RLE4, 3 BITFIELDS
  uint32_t headerSize = 40;
  std::vector<uint32_t> masks;  // red, green, blue[, alpha]
  std::vector<uint32_t> palette;
  Bytes pixels;
};

inline Bytes BuildBmp(const BmpLayout& l) {
  Bytes info;
  Put32(info, l.headerSize);
  Put32(info, static_cast<uint32_t>(l.width));
  Put32(info, static_cast<uint32_t>(l.height));
  Put16(info, 1);
  Put16(info, l.bitCount);
  Put32(info, l.compression);
  Put32(info, static_cast<uint32_t>(l.pixels.size()));
  Put32(info, 2835);
  Put32(info, 2835);
  Put32(info, static_cast<uint32_t>(l.palette.size()));
  Put32(info, 0);
  if (l.headerSize > 40) {
    for (size_t i = 0; i < 4; ++i) Put32(info, i < l.masks.size() ? l.masks[i] : 0);
    Put32(info, 0x73524742);  // 'sRGB'
    info.resize(l.headerSize, 0);
  } else {
    for (uint32_t m : l.masks) Put32(info, m);
  }
  const uint32_t offset = 14 + static_cast<uint32_t>(info.size() + 4 * l.palette.size());
  Bytes file = {'B', 'M'};
  Put32(file, offset + static_cast<uint32_t>(l.pixels.size()));
  Put32(file, 0);
  Put32(file, offset);
  file.insert(file.end(), info.begin(), info.end());
  for (uint32_t c : l.palette) Put32(file, c);
  file.insert(file.end(), l.pixels.begin(), l.pixels.end());
  return file;
}

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// JPEG of a BGR raster; greyscale keeps only the green byte of each pixel.
inline void WriteTestJpeg(const std::string& path, const Raster& raster, bool greyscale, bool progressive,
                          int quality = 90) {
  FILE* file = std::fopen(path.c_str(), "wb");
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = static_cast<JDIMENSION>(raster.width);
  cinfo.image_height = static_cast<JDIMENSION>(raster.height);
  cinfo.input_components = greyscale ? 1 : 3;
  cinfo.in_color_space = greyscale ? JCS_GRAYSCALE : JCS_EXT_BGR;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> grey(static_cast<size_t>(raster.width));
  while (cinfo.next_scanline < cinfo.image_height) {
    const uint8_t* src = raster.Row(static_cast<int>(cinfo.next_scanline));
    JSAMPROW row = const_cast<JSAMPROW>(src);
    if (greyscale) {
      for (int x = 0; x < raster.width; ++x) grey[static_cast<size_t>(x)] = src[3 * x + 1];
      row = grey.data();
    }
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::fclose(file);
}

// A frame with smooth gradients (JPEG keeps them close) and a distinct colour
// in each channel.
inline Raster GradientRaster(int w, int h) {
  Raster r;
  r.Resize(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint8_t* p = r.Row(y) + 3 * x;
      p[0] = static_cast<uint8_t>(40 + 150 * x / w);  // blue
      p[1] = static_cast<uint8_t>(60 + 120 * y / h);  // green
      p[2] = 200;                                     // red
    }
  }
  return r;
}

inline Raster SolidRaster(int w, int h, Rgb colour) {
  Raster r;
  r.Resize(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint8_t* p = r.Row(y) + 3 * x;
      p[0] = colour.b;
      p[1] = colour.g;
      p[2] = colour.r;
    }
  }
  return r;
}

inline Rgb PixelAt(const Raster& r, int x, int y) {
  const uint8_t* p = r.Row(y) + 3 * x;
  return Rgb{p[2], p[1], p[0]};
}

}  // namespace km::test
