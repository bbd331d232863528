#pragma once
// The shell's record: the loaded frame, its name parts, the rectangles the
// user marked, the drag in progress and the scan run's frame counter.

#include <cstdint>
#include <string>

#include "common/raster.h"

namespace km {

// Pixel rectangle, corners stored as dragged (x1 may exceed x2); both
// corners are pixels inside it. Empty when x1 == x2 or y1 == y2.
struct PixelRect {
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  bool Empty() const { return x1 == x2 || y1 == y2; }
  bool operator==(const PixelRect&) const = default;
};

struct PixelPoint {
  int32_t x = 0, y = 0;
  bool operator==(const PixelPoint&) const = default;
};

// Parts of the loaded frame's path, e.g. for /scan/Obj0001.JPG:
// directory "/scan/", baseName "Obj", numberText "0001", extension ".jpg",
// displayName "Obj0001".
struct SequenceName {
  std::string directory;
  std::string baseName;
  std::string numberText;
  std::string extension;
  std::string displayName;
};

struct WorkspaceState {
  Raster workingRaster;
  SequenceName sequenceName;
  PixelRect workingRect;
  PixelPoint drawnCorner;
  PixelPoint pointerPos;
  PixelRect referenceRect;
  PixelRect scanRect;
  int32_t dragging = 0;
  int32_t frameCounter = 0;
};

}  // namespace km
