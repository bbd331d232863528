#pragma once
// Frames with a known stripe, built in memory for the scanning tests.

#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/context.h"
#include "common/platform.h"
#include "common/raster.h"

namespace km::test {

// Sets pixel (x, y) to a grey of the given intensity (red + green + blue).
inline void SetIntensity(Raster& r, int x, int y, int intensity) {
  uint8_t* p = r.Row(y) + static_cast<size_t>(x) * 3;
  for (int c = 0; c < 3; ++c) {
    const int v = intensity > 255 ? 255 : intensity;
    p[c] = static_cast<uint8_t>(v);
    intensity -= v;
  }
}

// One raster row per entry, pixel intensities as given.
inline Raster RowsRaster(const std::vector<std::vector<int>>& rows) {
  Raster r;
  r.Resize(static_cast<int>(rows.at(0).size()), static_cast<int>(rows.size()));
  for (size_t y = 0; y < rows.size(); ++y)
    for (size_t x = 0; x < rows[y].size(); ++x)
      SetIntensity(r, static_cast<int>(x), static_cast<int>(y), rows[y][x]);
  return r;
}

// A dark frame (every channel 20).
inline Raster DarkFrame(int width, int height) {
  Raster r;
  r.Resize(width, height);
  std::fill(r.pixels.begin(), r.pixels.end(), uint8_t{20});
  return r;
}

// A white line three pixels wide whose left column is column(row), drawn on
// rows from .. to.
inline void DrawLine(Raster& r, int from, int to, const std::function<int(int)>& column) {
  for (int y = from; y <= to; ++y)
    for (int x = column(y); x < column(y) + 3; ++x) SetIntensity(r, x, y, 765);
}

// A reference body lit by a slit: `stretches` vertical runs of 30 rows,
// joined by diagonals of 15 rows that move 2 columns per row to the right.
// The top run starts at row `top` in column `left`. Returns the lowest row
// of each run, lowest first.
inline std::vector<int> DrawStaircase(Raster& r, int top, int left, int stretches) {
  std::vector<int> lowestRows;
  int column = left, y = top;
  for (int s = 0; s < stretches; ++s) {
    DrawLine(r, y, y + 29, [&](int) { return column; });
    lowestRows.insert(lowestRows.begin(), y + 29);
    y += 30;
    if (s + 1 == stretches) break;
    for (int d = 1; d <= 15; ++d, ++y) DrawLine(r, y, y, [&](int) { return column + 2 * d; });
    column += 30;
  }
  return lowestRows;
}

// Every canvas call as a line of text.
class RecordingCanvas : public Canvas {
 public:
  void SetPenMode(PenMode m) override { ops.push_back(m == PenMode::Copy ? "mode copy" : "mode notxor"); }
  void SetPenColour(Rgb c) override {
    colour = c;
    ops.push_back("colour " + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b));
  }
  Rgb PenColour() const override { return colour; }
  void MoveTo(int x, int y) override { ops.push_back("move " + std::to_string(x) + "," + std::to_string(y)); }
  void LineTo(int x, int y) override { ops.push_back("line " + std::to_string(x) + "," + std::to_string(y)); }
  void FrameRect(int, int, int, int) override { ops.push_back("rect"); }
  void Ellipse(int x1, int y1, int x2, int y2) override {
    ops.push_back("ellipse " + std::to_string(x1) + "," + std::to_string(y1) + "," + std::to_string(x2) +
                  "," + std::to_string(y2));
  }
  std::vector<std::string> ops;
  Rgb colour{};
};

// A fresh folder under the system's temporary folder, removed with its
// contents at the end of the scope.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kelmorph-scan-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace km::test
