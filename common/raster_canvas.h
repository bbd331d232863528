#pragma once
// A Canvas that draws on a Raster in memory, with the pen modes copy and
// not-xor. The Qt image view shows such a raster; the headless platform and
// the tests use it directly.

#include "common/platform.h"
#include "common/raster.h"

namespace km {

class RasterCanvas : public Canvas {
 public:
  explicit RasterCanvas(Raster* target = nullptr) : target_(target) {}
  void SetTarget(Raster* target) { target_ = target; }

  void SetPenMode(PenMode mode) override { mode_ = mode; }
  PenMode Mode() const { return mode_; }
  void SetPenColour(Rgb colour) override { colour_ = colour; }
  Rgb PenColour() const override { return colour_; }
  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void FrameRect(int x1, int y1, int x2, int y2) override;
  void Ellipse(int x1, int y1, int x2, int y2) override;

  int PenX() const { return penX_; }
  int PenY() const { return penY_; }

 private:
  void Plot(int x, int y);

  Raster* target_;
  PenMode mode_ = PenMode::Copy;
  Rgb colour_{};
  int penX_ = 0, penY_ = 0;
};

}  // namespace km
