#pragma once
// How exact a scan of a synthetic scene is: the distances of the stored
// points from the object's true surface, and how much of the stripe that
// the scene shows on the object the scan kept.

#include <string>

#include "common/context.h"
#include "common/headless_platform.h"
#include "scan/point_cloud_store.h"
#include "synth/scene_files.h"
#include "synth/synthetic_scene.h"

namespace km::synth {

struct ScanAccuracy {
  long long points = 0;  // points in profiles 0 to lastProfile

  // Frames (of those scanned) in which the scene puts the stripe on the
  // object inside the scan rectangle, and of those the frames with points.
  int framesWithStripe = 0;
  int framesWithPoints = 0;
  // The same for image rows over all frames. A row counts as kept when a
  // point of its profile, turned back into the frame and projected with the
  // scene's camera, lands within one row of it; each point keeps one row at
  // most.
  long long stripeRows = 0;
  long long rowsWithPoints = 0;

  // Distances from the object's surface of the points that keep a row, and
  // of stray points (in rows outside the span of the frame's stripe rows,
  // or in a frame without any), real units; nearest-rank percentiles, 0
  // without points.
  double median = 0;
  double percentile95 = 0;
  double largest = 0;

  // The other points: the scan fills the rows between two stripe rows by
  // interpolation, so where a part of the object hides the stripe from the
  // camera, points bridge the hidden rows. They are no measurement.
  long long bridgingPoints = 0;
  double bridgingLargest = 0;

  // Nearest and farthest depth (Z + Z0, real units) of the scene's stripe
  // points on the object, over the frames scanned.
  double nearestDepth = 0;
  double farthestDepth = 0;
};

// What a user does in the windows with a scene folder that WriteSyntheticScene
// wrote: LOAD of its settings file in the settings window, LOAD of the
// reference frame, the reference rectangle dragged with Area "Ref",
// Ref_read, LOAD of the first frame, the scan rectangle dragged with Area
// "Scan", and SCAN. ctx is built on platform, whose recorded messages tell
// whether Ref_read found the reference body: if not, returns false after its
// message box. Throws FileError when the settings file or a frame cannot be
// read, and whatever Ref_read and SCAN raise.
bool ScanSceneFolder(Context& ctx, const HeadlessPlatform& platform, const SyntheticScene& scene,
                     const std::string& directory, FrameFormat format);

// Measures profiles 0 to lastProfile of the store (as the scan run leaves
// them for the scene's frames 0 to lastProfile, face front off) against the
// scene's object. lastProfile beyond the scene's frames or the store is
// clamped; a negative one measures nothing.
ScanAccuracy MeasureScanAccuracy(const SyntheticScene& scene, const PointCloudStore& store, int lastProfile);

// Real size of one pixel column at depth Z + Z0 = depth, across the view.
inline double PixelSizeAtDepth(const LightSectionCalibration& c, double depth) { return 0.75 * depth / c.f; }

// How far a triangulated point moves along the light sheet when its stripe
// is found one column off, at depth Z + Z0 = depth near the centre row:
// d(X, Z)/du = h (XL, f) / (XL - u)^2 with XL - u = f h / depth, times 0.75
// for one column. The steeper the sheet against the camera's rays, the more
// than a pixel's size this is (about twice at the default geometry).
double SheetShiftPerColumn(const LightSectionCalibration& c, double depth);

}  // namespace km::synth
