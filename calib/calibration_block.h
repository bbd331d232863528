#pragma once
// The calibrated geometry and the frame and view sizes, shared by the solve,
// frame loading, the scan run and the export. Cells are referred to as
// slots 0 to 25 after the six-entry refScreenX array.

#include <array>
#include <cstdint>

namespace km {

struct CalibrationBlock {
  std::array<float, 6> refScreenX{};  // centred screen X of points 1-5 and rotation centre
  std::array<float, 6> refScreenY{};  // slots 0-5: centred screen Y of the same points
  float XL = 0;                       // slot 6, centred screen X units
  float h = 0;                        // slot 7, real units
  float Z0 = 0;                       // slot 8, real units
  float f = 0;                        // slot 9, centred screen X units
  float cell10 = 0;                   // slot 10: solve's error sum / export working value
  float halfWidth = 0;                // slot 11: imageWidth / 2 (integer division)
  float halfHeight = 0;               // slot 12: imageHeight / 2 (integer division)
  float centerX = 0;                  // slot 13: real X of the rotation centre
  std::array<float, 4> cells14to17{};
  std::array<int32_t, 4> counters{};  // slots 18-21: working loop counters
  int32_t viewWidth = 0;              // slot 22: outer width of the scroll box
  int32_t viewHeight = 0;             // slot 23
  int32_t imageWidth = 0;             // slot 24: loaded frame's width in pixels
  int32_t imageHeight = 0;            // slot 25
};

}  // namespace km
