// Every object in every mode: rendered, calibrated from its reference frame
// with Ref_read and scanned with SCAN as a user would, then measured against
// the true surface.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "common/context.h"
#include "common/headless_platform.h"
#include "synth/accuracy.h"
#include "synth/scene_files.h"
#include "synth/synthetic_scene.h"

namespace km {
namespace {

using namespace synth;

// The tolerance, from the size of a pixel at the object's depth. A stripe
// found one column off moves its point along the light sheet by
//   s(D) = 0.75 sqrt(XL^2 + f^2) D^2 / (f^2 h) = p(D) sqrt(1 + (XL/f)^2) D / h,
// p(D) = 0.75 D / f being one column's size at depth D = Z + Z0: 1.6 to 2.2
// pixel sizes at these scenes' depths (XL/f = 0.62, D = 67 to 93, h = 50).
// The detector reports the stripe's rising edge 0.5 to 2.5 columns left of
// its centre, depending on the sub-pixel phase; calibrating from the
// reference body with the same detector takes out the mean of that, and the
// spread of 2 columns, plus half a column of JPEG noise, remains. So every
// point lies within 2.5 s(D) of the surface, D the farthest depth of the
// stripe on the object, and the median within 1.5 s(D). At 640x480
// (p = 0.12 to 0.15 mm) that is 0.5 to 0.8 mm for the largest distance.
constexpr double kLargestInColumns = 2.5;
constexpr double kMedianInColumns = 1.5;
// Rows where the scene puts the stripe on the object: the detector may lose
// a few where the stripe leaves an edge or crosses a silhouette.
constexpr double kRowsKept = 0.95;
// Where the vase's lip hides the stripe from the camera, the scan bridges
// the hidden rows by interpolation (up to 2.2 mm off in these scenes): those
// points are no measurement and are held to no tolerance. Points outside
// the stripe's span are, with the others.

class ScanAccuracyCase : public testing::TestWithParam<std::tuple<SynthObjectKind, SynthMode>> {};

TEST_P(ScanAccuracyCase, ScannedPointsLieOnTheTrueSurfaceAndCoverTheStripe) {
  const auto [object, mode] = GetParam();
  SceneOptions options;
  options.object = object;
  options.mode = mode;
  options.frames = mode == SynthMode::Rotation ? 6 : 5;
  options.width = 640;
  options.height = 480;
  const SyntheticScene scene = MakeSyntheticScene(options);
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("accuracy_" + std::to_string(::getpid())) /
                                    (std::string(ObjectKindName(object)) + "_" + ModeName(mode));
  WriteSyntheticScene(scene, dir.string(), FrameFormat::Jpeg);

  HeadlessPlatform platform;
  Context ctx(platform);
  const bool calibrated = ScanSceneFolder(ctx, platform, scene, dir.string(), FrameFormat::Jpeg);
  std::filesystem::remove_all(dir.parent_path());
  ASSERT_TRUE(calibrated) << platform.messages.front();
  ASSERT_TRUE(platform.messages.empty()) << platform.messages.front();
  ASSERT_EQ(ctx.workspace.frameCounter, scene.frames - 1);

  const ScanAccuracy a = MeasureScanAccuracy(scene, *ctx.store, ctx.workspace.frameCounter);
  const double column = SheetShiftPerColumn(scene.calibration, a.farthestDepth);
  RecordProperty("median_mm", std::to_string(a.median));
  RecordProperty("p95_mm", std::to_string(a.percentile95));
  RecordProperty("largest_mm", std::to_string(a.largest));
  RecordProperty("column_mm", std::to_string(column));
  RecordProperty("bridging_points", std::to_string(a.bridgingPoints));
  RecordProperty("bridging_largest_mm", std::to_string(a.bridgingLargest));
  RecordProperty("rows_kept", std::to_string(a.rowsWithPoints) + "/" + std::to_string(a.stripeRows));
  SCOPED_TRACE(testing::Message() << a.points << " points (" << a.bridgingPoints << " bridging), median "
                                  << a.median << " 95% " << a.percentile95 << " largest " << a.largest
                                  << ", one column " << column << " mm");

  EXPECT_GE(a.framesWithStripe, scene.frames * 2 / 3);
  EXPECT_EQ(a.framesWithPoints, a.framesWithStripe);
  EXPECT_GE(a.rowsWithPoints, kRowsKept * static_cast<double>(a.stripeRows))
      << a.rowsWithPoints << " of " << a.stripeRows << " rows";
  EXPECT_LE(a.median, kMedianInColumns * column);
  EXPECT_LE(a.largest, kLargestInColumns * column);
}

INSTANTIATE_TEST_SUITE_P(AllObjectsAndModes, ScanAccuracyCase,
                         testing::Combine(testing::Values(SynthObjectKind::Cylinder, SynthObjectKind::Sphere,
                                                          SynthObjectKind::Vase, SynthObjectKind::Box),
                                          testing::Values(SynthMode::Rotation, SynthMode::Slide,
                                                          SynthMode::Scan)),
                         [](const auto& info) {
                           return std::string(ObjectKindName(std::get<0>(info.param))) + "_" +
                                  ModeName(std::get<1>(info.param));
                         });

}  // namespace
}  // namespace km
