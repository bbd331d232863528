#include "common/raster_canvas.h"

#include <gtest/gtest.h>

#include <random>

namespace km {
namespace {

Raster NoiseRaster(int w, int h) {
  Raster r;
  r.Resize(w, h);
  std::mt19937 rng(7);
  for (auto& p : r.pixels) p = static_cast<uint8_t>(rng());
  return r;
}

TEST(RasterCanvas, NotXorShapesDrawnTwiceRestoreThePicture) {
  const Raster original = NoiseRaster(40, 30);
  Raster picture = original;
  RasterCanvas canvas(&picture);
  canvas.SetPenMode(PenMode::NotXor);
  canvas.SetPenColour(Rgb{12, 200, 7});
  for (int pass = 0; pass < 2; ++pass) {
    canvas.FrameRect(35, 25, 3, 4);  // corners in reverse order, partly outside
    canvas.Ellipse(5, 5, 16, 12);
    canvas.MoveTo(-3, 2);
    canvas.LineTo(30, 20);
    canvas.LineTo(30, 2);
    canvas.LineTo(-3, 2);
    if (pass == 0) {
      EXPECT_NE(picture, original);
    }
  }
  EXPECT_EQ(picture, original);
}

TEST(RasterCanvas, BlackNotXorInvertsTheOutlineOnly) {
  Raster picture;
  picture.Resize(6, 5);
  RasterCanvas canvas(&picture);
  canvas.SetPenMode(PenMode::NotXor);
  canvas.FrameRect(1, 1, 5, 4);  // columns 1-4, rows 1-3
  auto px = [&](int x, int y) { return picture.Row(y)[x * 3]; };
  EXPECT_EQ(px(1, 1), 255);
  EXPECT_EQ(px(4, 3), 255);
  EXPECT_EQ(px(2, 2), 0);  // inside untouched
  EXPECT_EQ(px(5, 1), 0);  // right column excluded
  EXPECT_EQ(px(0, 0), 0);
  canvas.FrameRect(2, 2, 2, 2);  // empty: nothing
  EXPECT_EQ(px(2, 2), 0);
}

TEST(RasterCanvas, LineLeavesOutItsEndPoint) {
  Raster picture;
  picture.Resize(5, 1);
  RasterCanvas canvas(&picture);
  canvas.SetPenColour(Rgb{255, 0, 0});
  canvas.MoveTo(0, 0);
  canvas.LineTo(3, 0);
  EXPECT_EQ(picture.Row(0)[2 * 3 + 2], 255);
  EXPECT_EQ(picture.Row(0)[3 * 3 + 2], 0);
  EXPECT_EQ(canvas.PenX(), 3);
}

}  // namespace
}  // namespace km
