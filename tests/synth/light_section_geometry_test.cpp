#include "synth/light_section_geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "synth/objects.h"
#include "synth/scene_renderer.h"
#include "synth/synthetic_scene.h"

namespace km::synth {
namespace {

void ExpectNear(const Vec3& a, const Vec3& b, double tolerance) {
  EXPECT_NEAR(a.x, b.x, tolerance);
  EXPECT_NEAR(a.y, b.y, tolerance);
  EXPECT_NEAR(a.z, b.z, tolerance);
}

// A point lit by the fan, imaged by the camera at a pixel position, comes
// back from the scan's triangulation of that position.
TEST(LightSectionGeometry, TriangulationInvertsCameraAndLightSheet) {
  const LightSectionCalibration calibrations[] = {{924.477, 50.1518, 85.0216, 1483.89}, {300, 20, 150, 700}};
  for (const LightSectionCalibration& c : calibrations) {
    for (double v : {-600.0, -3.5, 0.0, 250.25}) {
      for (double t : {0.03, 0.06, 0.1}) {
        SCOPED_TRACE(testing::Message() << "XL " << c.XL << " v " << v << " t " << t);
        const Vec3 lit = FanRay(c, v).At(t);
        // On the sheet, and in the row of its ray.
        EXPECT_NEAR(lit.x + c.h, c.XL / c.f * (lit.z + c.Z0), 1e-9);
        const ScreenPoint s = ProjectToScreen(c, lit);
        EXPECT_NEAR(s.v, v, 1e-9);
        EXPECT_NEAR(s.u, c.XL - c.h / t, 1e-9);
        const int cx = 1024, cy = 768;
        const double column = ColumnFromU(s.u, cx), row = RowFromV(s.v, cy);
        ExpectNear(TriangulateStripe(c, UFromColumn(column, cx), VFromRow(row, cy)), lit, 1e-9);
      }
    }
  }
}

// Rays from the camera through a grid: every hit lies on the solid's surface
// and inside its bounds, with a unit normal facing the camera.
TEST(SyntheticSolids, HitsLieOnTheSurfaceWithNormalsFacingTheRay) {
  std::vector<std::unique_ptr<SolidObject>> solids;
  solids.push_back(MakeCylinder(2, 1, 12, -25, 25));
  solids.push_back(MakeSphere({1, -2, 3}, 18));
  solids.push_back(MakeVase(-1, 0, -25, 25, 9, 5, 6));
  solids.push_back(MakeBox({{-4, -20, -7}, {14, 20, 9}}));
  const LightSectionCalibration c{924.477, 50.1518, 85.0216, 1483.89};
  for (const auto& solid : solids) {
    SCOPED_TRACE(solid->Kind());
    const Box3 b = solid->Bounds();
    int hits = 0, misses = 0;
    for (double u = -500; u <= 500; u += 20) {
      for (double v = -700; v <= 700; v += 28) {
        const Ray ray = CameraRay(c, u, v);
        const auto hit = solid->Intersect(ray, 0);
        if (!hit) {
          ++misses;
          continue;
        }
        ++hits;
        const Vec3 p = ray.At(hit->t);
        ASSERT_LT(solid->DistanceToSurface(p), 1e-6) << u << " " << v;
        EXPECT_NEAR(hit->normal.Length(), 1, 1e-9);
        EXPECT_LT(hit->normal.Dot(ray.dir), 0);
        EXPECT_TRUE(p.x >= b.min.x - 1e-9 && p.x <= b.max.x + 1e-9 && p.y >= b.min.y - 1e-9 &&
                    p.y <= b.max.y + 1e-9 && p.z >= b.min.z - 1e-9 && p.z <= b.max.z + 1e-9);
        // Nothing of the solid lies before the hit: halfway there, the
        // point is outside and clear of the surface.
        EXPECT_GT(solid->DistanceToSurface(ray.At(hit->t * 0.5)), 1e-3);
      }
    }
    EXPECT_GT(hits, 100);
    EXPECT_GT(misses, 100);
  }
}

// The camera sees each row of the vase as one unbroken run of pixels, also
// across the belly, where the side reaches out to the widest radius and the
// ray march starts on the bounding cylinder; every hit lies inside the
// bounds.
TEST(SyntheticSolids, CameraSeesEveryRowOfTheVaseWithoutGaps) {
  SceneOptions options;
  options.object = SynthObjectKind::Vase;
  options.width = 1024;
  options.height = 768;
  options.frames = 3;
  const SyntheticScene scene = MakeSyntheticScene(options);
  FrameScene frame = scene.Frame(0);
  frame.solids.resize(1);
  const auto span = SolidsScreenSpan(frame);
  ASSERT_TRUE(span);
  const Box3 b = scene.object->Bounds();
  int widestRun = 0;
  for (int row = span->y1; row <= span->y2; ++row) {
    int first = -1, last = -1, hits = 0;
    for (int col = span->x1; col <= span->x2; ++col) {
      const Ray ray = CameraRay(frame.calib, UFromColumn(col, frame.CentreColumn()),
                                VFromRow(row, frame.CentreRow()));
      const auto hit = IntersectScene(frame, ray, 0);
      if (!hit) continue;
      const Vec3 p = frame.solids[0].ToObject(ray.At(hit->t));
      ASSERT_LE(std::hypot(p.x - 0.5 * (b.min.x + b.max.x), p.z - 0.5 * (b.min.z + b.max.z)),
                0.5 * (b.max.x - b.min.x))
          << "row " << row << " column " << col;
      if (first < 0) first = col;
      last = col;
      ++hits;
    }
    if (hits == 0) continue;
    EXPECT_EQ(hits, last - first + 1) << "row " << row << " columns " << first << " to " << last;
    widestRun = std::max(widestRun, hits);
  }
  // The belly spans some 330 of the frame's 1024 columns.
  EXPECT_GT(widestRun, 300);
}

TEST(SyntheticSolids, DistancesOfKnownPoints) {
  EXPECT_NEAR(MakeSphere({1, 2, 3}, 5)->DistanceToSurface({1, 2, 3}), 5, 1e-12);
  EXPECT_NEAR(MakeCylinder(0, 0, 10, -5, 5)->DistanceToSurface({13, 0, 4}), std::hypot(13, 4) - 10, 1e-12);
  EXPECT_NEAR(MakeCylinder(0, 0, 10, -5, 5)->DistanceToSurface({0, 1, 0}), 4, 1e-12);
  EXPECT_NEAR(MakeBox({{0, 0, 0}, {2, 4, 6}})->DistanceToSurface({1, 3, 3}), 1, 1e-12);
  // The vase's radius at its foot is base + 0, at its top base - swell + flare.
  const auto vase = MakeVase(0, 0, 0, 10, 9, 5, 6);
  EXPECT_NEAR(vase->DistanceToSurface({9, 0, 0}), 0, 1e-6);
  EXPECT_NEAR(vase->DistanceToSurface({0, 10, 10}), 0, 1e-6);
}

// Each traced stripe point of a rendered frame, triangulated from its pixel
// position as the scan does and turned or shifted back as the scan does for
// that frame, lies on the object's true surface.
TEST(SyntheticScene, ScanGeometryMapsEveryStripePointBackOntoTheObject) {
  for (SynthMode mode : {SynthMode::Rotation, SynthMode::Slide, SynthMode::Scan}) {
    SceneOptions options;
    options.object = SynthObjectKind::Box;
    options.mode = mode;
    options.frames = 8;
    const SyntheticScene scene = MakeSyntheticScene(options);
    for (int k : {0, 3, 7}) {
      // The light sweeps across the object in Slide and Scan mode: the
      // middle frame is sure to show it.
      const bool showsObject = mode == SynthMode::Rotation || k == 3;
      SCOPED_TRACE(testing::Message() << ModeName(mode) << " frame " << k);
      const FrameScene frame = scene.Frame(k);
      int checked = 0;
      for (const StripePoint& p : TraceStripePoints(frame)) {
        if (p.solidIndex != 0) continue;
        Vec3 q = TriangulateStripe(frame.calib, UFromColumn(p.column, frame.CentreColumn()),
                                   VFromRow(p.row, frame.CentreRow()));
        const double a = scene.FrameAngle(k);
        q = {q.x * std::cos(a) - q.z * std::sin(a) + scene.FrameShift(k), q.y,
             q.x * std::sin(a) + q.z * std::cos(a)};
        ASSERT_LT(scene.DistanceFromObject(q), 1e-6) << "row " << p.row;
        ++checked;
      }
      if (showsObject) {
        EXPECT_GT(checked, 100);
      }
    }
  }
}

}  // namespace
}  // namespace km::synth
