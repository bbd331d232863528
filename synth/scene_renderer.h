#pragma once
// Renders the frames a camera would take of a light-section scene: solids lit
// by a dim ambient light and crossed by the light sheet, on a dark, slightly
// noisy background. The stripe in each image row lies where that row's ray
// of the light fan first meets a solid, when the camera sees that point; it
// is drawn across the row with the profile of StripeProfile, on the solids'
// pixels only.

#include <cstdint>
#include <optional>
#include <vector>

#include "common/raster.h"
#include "synth/light_section_geometry.h"
#include "synth/objects.h"

namespace km::synth {

// A solid as one frame shows it. A world point q lies at the object point
// R(angle) q + (shift, 0, 0), where R turns X and Z as the scan run turns a
// profile: (X cos a - Z sin a, X sin a + Z cos a). So a scan that turns
// profile k by angle_k (or adds shift_k to X) puts its points back on the
// solid in object coordinates.
struct PlacedSolid {
  const SolidObject* solid = nullptr;
  double angle = 0;  // radians
  double shift = 0;  // real units along X

  Vec3 ToObject(const Vec3& world) const;
  Vec3 DirectionToObject(const Vec3& world) const;
  Vec3 DirectionToWorld(const Vec3& object) const;
};

// Everything one frame depends on.
struct FrameScene {
  LightSectionCalibration calib;
  int width = 0;
  int height = 0;
  std::vector<PlacedSolid> solids;
  uint32_t noiseSeed = 1;

  int CentreColumn() const { return width / 2; }
  int CentreRow() const { return height / 2; }
};

// The first point of any solid on a world ray beyond tMin.
struct SceneHit {
  double t = 0;
  Vec3 normal;  // world frame, unit length
  int solidIndex = -1;
};
std::optional<SceneHit> IntersectScene(const FrameScene& scene, const Ray& ray, double tMin);

// The stripe of one image row as the geometry defines it.
struct StripePoint {
  int row = 0;
  double column = 0;  // fractional pixel column of the sheet's centre plane
  Vec3 world;         // the lit surface point
  int solidIndex = -1;
};

// The stripe point of every row of the frame in which the camera sees one,
// in increasing row order.
std::vector<StripePoint> TraceStripePoints(const FrameScene& scene);

// The pixel columns over which the frame's solids may appear (inclusive),
// or nullopt when none is in front of the camera.
struct PixelSpan {
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};
std::optional<PixelSpan> SolidsScreenSpan(const FrameScene& scene);

// The frame as a 24-bit raster of width by height pixels.
Raster RenderFrame(const FrameScene& scene);

// Brightness of the stripe x pixels from its centre along a row: a flat,
// sharp-edged core 3 px wide (1), over a scatter halo that starts at a fifth
// of the peak at the core's edges and fades with a 4.5 px scale. The sharp
// edge on the halo's pedestal puts the steepest rise of the detector's
// smoothed row high on the stripe's flank, above the Slit detector's
// brightness bound at any sub-pixel position, as long as the lit object
// stays dim beside the stripe.
double StripeProfile(double x);

}  // namespace km::synth
