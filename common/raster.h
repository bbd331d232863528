#pragma once
// The working raster: 24 bits per pixel, rows from the top, three bytes per
// pixel in the order blue, green, red, no padding between rows.

#include <cstdint>
#include <vector>

namespace km {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

struct Raster {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // height rows of width * 3 bytes

  void Resize(int w, int h) {
    width = w;
    height = h;
    pixels.assign(static_cast<size_t>(w) * h * 3, 0);
  }
  bool Empty() const { return width <= 0 || height <= 0; }
  uint8_t* Row(int r) { return pixels.data() + static_cast<size_t>(r) * width * 3; }
  const uint8_t* Row(int r) const { return pixels.data() + static_cast<size_t>(r) * width * 3; }
  bool operator==(const Raster&) const = default;
};

}  // namespace km
