// The measure itself, on point clouds made from the scene's own stripe.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "synth/accuracy.h"
#include "synth/synthetic_scene.h"

namespace km {
namespace {

using namespace synth;

// Stores the scene's stripe points on the object, inside the scan
// rectangle, as a scan with the true geometry would: turned into object
// coordinates, in row order. Returns the number of rows stored.
long long StoreTrueStripe(const SyntheticScene& scene, PointCloudStore& store) {
  long long rows = 0;
  for (int k = 0; k < scene.frames; ++k) {
    const FrameScene frame = scene.Frame(k);
    int n = 0;
    for (const StripePoint& p : TraceStripePoints(frame)) {
      const PixelRect& r = scene.scanRect;
      if (p.solidIndex != 0 || p.row < r.y1 || p.row > r.y2 || p.column < r.x1 || p.column > r.x2) continue;
      const Vec3 o = frame.solids.front().ToObject(p.world);
      store.X(n, k) = static_cast<float>(o.x);
      store.Y(n, k) = static_cast<float>(o.y);
      store.Z(n, k) = static_cast<float>(o.z);
      ++n;
    }
    store.lastIndex[static_cast<size_t>(k)] = n - 1;
    rows += n;
  }
  return rows;
}

TEST(MeasureScanAccuracy, TrueStripeIsExactAndComplete_MovedAndMissingPointsShow) {
  SceneOptions options;
  options.object = SynthObjectKind::Cylinder;  // radius 12 about the Y axis
  options.frames = 4;
  options.width = 640;
  options.height = 480;
  const SyntheticScene scene = MakeSyntheticScene(options);
  auto store = std::make_unique<PointCloudStore>();
  const long long rows = StoreTrueStripe(scene, *store);
  ASSERT_GT(rows, 4 * 200);

  ScanAccuracy a = MeasureScanAccuracy(scene, *store, scene.frames - 1);
  EXPECT_EQ(a.points, rows);
  EXPECT_EQ(a.stripeRows, rows);
  EXPECT_EQ(a.rowsWithPoints, rows);
  EXPECT_EQ(a.framesWithStripe, 4);
  EXPECT_EQ(a.framesWithPoints, 4);
  EXPECT_LT(a.largest, 1e-4);
  // The sheet cuts the cylinder along one vertical line on its front half.
  EXPECT_NEAR(a.nearestDepth, a.farthestDepth, 1e-9);
  EXPECT_GT(a.nearestDepth, scene.calibration.Z0 - 12);
  EXPECT_LT(a.nearestDepth, scene.calibration.Z0);

  // One point near the horizon 1 mm out from the axis (so that it still
  // projects to its row); every other row of profile 2 gone; profile 3
  // empty.
  const int middle = store->lastIndex[1] / 2;
  const float x = store->X(middle, 1), z = store->Z(middle, 1);
  const float scale = (std::hypot(x, z) + 1.0f) / std::hypot(x, z);
  store->X(middle, 1) = x * scale, store->Z(middle, 1) = z * scale;
  const int inProfile2 = store->lastIndex[2] + 1;
  for (int n = 0; 2 * n < inProfile2; ++n) {
    store->X(n, 2) = store->X(2 * n, 2), store->Y(n, 2) = store->Y(2 * n, 2),
                store->Z(n, 2) = store->Z(2 * n, 2);
  }
  store->lastIndex[2] = (inProfile2 + 1) / 2 - 1;
  const int inProfile3 = store->lastIndex[3] + 1;
  store->lastIndex[3] = -1;

  a = MeasureScanAccuracy(scene, *store, scene.frames - 1);
  EXPECT_EQ(a.points, rows - inProfile2 / 2 - inProfile3);
  EXPECT_EQ(a.rowsWithPoints, a.points);
  EXPECT_EQ(a.stripeRows, rows);
  EXPECT_EQ(a.framesWithPoints, 3);
  EXPECT_NEAR(a.largest, 1.0, 1e-3);
  EXPECT_LT(a.percentile95, 1e-4);

  // Only the profiles asked for, and nothing for a run without profiles.
  a = MeasureScanAccuracy(scene, *store, 0);
  EXPECT_EQ(a.framesWithStripe, 1);
  EXPECT_EQ(a.points, store->lastIndex[0] + 1);
  a = MeasureScanAccuracy(scene, *store, -1);
  EXPECT_EQ(a.points, 0);
  EXPECT_EQ(a.stripeRows, 0);
  EXPECT_EQ(a.largest, 0);
}

}  // namespace
}  // namespace km
