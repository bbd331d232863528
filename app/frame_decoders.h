#pragma once
// Decoders of frame files into the working raster's layout: 24 bits per
// pixel, rows from the top, blue, green, red, no padding.
//
// Each returns false when the input cannot be read, is not a complete and
// valid image of its kind, or claims more than maxPixels pixels (refused
// from the header, before the pixel memory is allocated). On false, out is
// left exactly as it was.

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/raster.h"

namespace km {

// 8192 x 8192 worth of pixels: far above any camera frame, and bounds what
// a damaged or hostile header can make the decoders allocate (about 200 MB
// for the raster).
inline constexpr int64_t kMaxFramePixels = int64_t{1} << 26;

// JPEG through libjpeg: full scale, the library's default decompression
// settings, output asked for as blue, green, red (greyscale files become
// grey). Data that ends early or that libjpeg reports as corrupt is a
// failure, not a partly grey frame.
bool DecodeJpegFile(const std::string& path, Raster& out, int64_t maxPixels = kMaxFramePixels);
bool DecodeJpegBytes(const uint8_t* data, size_t size, Raster& out, int64_t maxPixels = kMaxFramePixels);

// BMP through Qt's BMP reader: bit depths 1, 4, 8, 16, 24 and 32, RLE4 and
// RLE8, bit-field masks, top-down and bottom-up rows, the OS/2 and V4/V5
// headers. The content must be a BMP whatever the file is called. Pixel
// data that ends before the image is complete is a failure; an alpha
// channel is dropped.
bool DecodeBmpFile(const std::string& path, Raster& out, int64_t maxPixels = kMaxFramePixels);
bool DecodeBmpBytes(const uint8_t* data, size_t size, Raster& out, int64_t maxPixels = kMaxFramePixels);

}  // namespace km
