// The measure itself, on point clouds made from the scene's own stripe.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "synth/accuracy.h"
#include "synth/synthetic_scene.h"

namespace km {
namespace {

using namespace synth;

// Stores the scene's stripe points on the object, inside the scan
// rectangle, as a scan with the true geometry would: turned into object
// coordinates, in row order. Returns them per profile.
std::vector<std::vector<StripePoint>> StoreTrueStripe(const SyntheticScene& scene, PointCloudStore& store) {
  std::vector<std::vector<StripePoint>> stored(static_cast<size_t>(scene.frames));
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
      stored[static_cast<size_t>(k)].push_back(p);
      ++n;
    }
    store.lastIndex[static_cast<size_t>(k)] = n - 1;
  }
  return stored;
}

long long Total(const std::vector<std::vector<StripePoint>>& stored) {
  long long n = 0;
  for (const auto& profile : stored) n += static_cast<long long>(profile.size());
  return n;
}

TEST(MeasureScanAccuracy, TrueStripeIsExactAndComplete_MovedAndMissingPointsShow) {
  SceneOptions options;
  options.object = SynthObjectKind::Cylinder;  // radius 12 about the Y axis
  options.frames = 4;
  options.width = 640;
  options.height = 480;
  const SyntheticScene scene = MakeSyntheticScene(options);
  auto store = std::make_unique<PointCloudStore>();
  const long long rows = Total(StoreTrueStripe(scene, *store));
  ASSERT_GT(rows, 4 * 200);

  ScanAccuracy a = MeasureScanAccuracy(scene, *store, scene.frames - 1);
  EXPECT_EQ(a.points, rows);
  EXPECT_EQ(a.stripeRows, rows);
  EXPECT_EQ(a.rowsWithPoints, rows);
  EXPECT_EQ(a.bridgingPoints, 0);
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
  // The top point of profile 0 lifted 10 mm above the cylinder's top, onto
  // rows where the scene shows no stripe: a stray point, measured.
  store->Y(0, 0) = 35;

  a = MeasureScanAccuracy(scene, *store, scene.frames - 1);
  EXPECT_EQ(a.points, rows - inProfile2 / 2 - inProfile3);
  EXPECT_EQ(a.rowsWithPoints, a.points - 1);
  EXPECT_EQ(a.bridgingPoints, 0);
  EXPECT_EQ(a.stripeRows, rows);
  EXPECT_EQ(a.framesWithPoints, 3);
  EXPECT_NEAR(a.largest, 10, 1e-3);
  EXPECT_LT(a.percentile95, 1e-4);

  // Only the profiles asked for, and nothing for a run without profiles.
  a = MeasureScanAccuracy(scene, *store, 1);
  EXPECT_EQ(a.framesWithStripe, 2);
  EXPECT_EQ(a.points, store->lastIndex[0] + 1 + store->lastIndex[1] + 1);
  a = MeasureScanAccuracy(scene, *store, -1);
  EXPECT_EQ(a.points, 0);
  EXPECT_EQ(a.stripeRows, 0);
  EXPECT_EQ(a.largest, 0);
}

// Where the vase's lip hides the stripe, a point halfway across the hidden
// rows (as the scan's gap filling puts one) bridges them: kept apart from
// the measured points.
TEST(MeasureScanAccuracy, PointsAcrossAHiddenStretchBridgeIt) {
  SceneOptions options;
  options.object = SynthObjectKind::Vase;
  options.mode = SynthMode::Slide;
  options.frames = 5;
  options.width = 640;
  options.height = 480;
  const SyntheticScene scene = MakeSyntheticScene(options);
  auto store = std::make_unique<PointCloudStore>();
  const auto stored = StoreTrueStripe(scene, *store);

  int bridged = -1;
  double bridgeDistance = 0;
  for (int k = 0; k < scene.frames && bridged < 0; ++k) {
    const auto& profile = stored[static_cast<size_t>(k)];
    for (size_t i = 1; i < profile.size(); ++i) {
      if (profile[i].row - profile[i - 1].row < 8) continue;
      const PlacedSolid placed = scene.Frame(k).solids.front();
      const Vec3 middle = placed.ToObject((profile[i - 1].world + profile[i].world) * 0.5);
      const int n = store->lastIndex[static_cast<size_t>(k)] + 1;
      store->X(n, k) = static_cast<float>(middle.x);
      store->Y(n, k) = static_cast<float>(middle.y);
      store->Z(n, k) = static_cast<float>(middle.z);
      store->lastIndex[static_cast<size_t>(k)] = n;
      bridgeDistance = scene.DistanceFromObject({store->X(n, k), store->Y(n, k), store->Z(n, k)});
      bridged = k;
      break;
    }
  }
  ASSERT_GE(bridged, 0) << "no frame of the scene hides part of the stripe";

  const ScanAccuracy a = MeasureScanAccuracy(scene, *store, scene.frames - 1);
  EXPECT_EQ(a.points, Total(stored) + 1);
  EXPECT_EQ(a.rowsWithPoints, Total(stored));
  EXPECT_EQ(a.stripeRows, Total(stored));
  EXPECT_EQ(a.bridgingPoints, 1);
  EXPECT_GT(bridgeDistance, 0.5);
  EXPECT_NEAR(a.bridgingLargest, bridgeDistance, 1e-9);
  EXPECT_LT(a.largest, 1e-4);
}

}  // namespace
}  // namespace km
