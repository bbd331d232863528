#include "synth/accuracy.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <vector>

#include "app/frame_loading.h"
#include "calib/settings_file.h"
#include "common/errors.h"
#include "scan/reference_detection.h"
#include "scan/scan_run.h"
#include "scan/stripe_detection.h"

namespace km::synth {
namespace {

// Nearest-rank percentile of sorted values, p in (0, 1].
double Percentile(const std::vector<double>& sorted, double p) {
  const size_t rank = static_cast<size_t>(std::ceil(p * static_cast<double>(sorted.size())));
  return sorted[std::clamp<size_t>(rank, 1, sorted.size()) - 1];
}

// Rows of the frame's stripe on the object (solid 0) inside the rectangle.
std::vector<int> StripeRowsOnObject(const FrameScene& frame, const PixelRect& rect, double& nearest,
                                    double& farthest) {
  std::vector<int> rows;
  for (const StripePoint& p : TraceStripePoints(frame)) {
    if (p.solidIndex != 0 || p.row < rect.y1 || p.row > rect.y2 || p.column < rect.x1 || p.column > rect.x2)
      continue;
    rows.push_back(p.row);
    const double depth = p.world.z + frame.calib.Z0;
    nearest = std::min(nearest, depth);
    farthest = std::max(farthest, depth);
  }
  return rows;
}

// A stored point: the row it projects back to and its distance from the
// surface.
struct ProjectedPoint {
  double row = 0;
  double distance = 0;
};

// Pairs sorted stripe rows with points sorted by row, each point with at
// most one stripe row within one row of it, greedily from the top. Appends
// the distances of the paired points to `paired`; of the others, those
// between the first and the last stripe row go to `bridging`, the rest
// (stray points, where the scene shows no stripe at all) to `paired` too,
// so that they count against the measurement.
void MatchRows(const std::vector<int>& stripeRows, const std::vector<ProjectedPoint>& points,
               std::vector<double>& paired, std::vector<double>& bridging, long long& rowsKept) {
  size_t s = 0;
  for (const ProjectedPoint& p : points) {
    while (s < stripeRows.size() && stripeRows[s] < p.row - 1) ++s;
    if (s < stripeRows.size() && stripeRows[s] <= p.row + 1) {
      paired.push_back(p.distance);
      ++rowsKept;
      ++s;
    } else if (!stripeRows.empty() && p.row > stripeRows.front() && p.row < stripeRows.back()) {
      bridging.push_back(p.distance);
    } else {
      paired.push_back(p.distance);
    }
  }
}

}  // namespace

bool ScanSceneFolder(Context& ctx, const HeadlessPlatform& platform, const SyntheticScene& scene,
                     const std::string& directory, FrameFormat format) {
  const std::filesystem::path dir(directory);
  ReadSettingsFile(ctx, (dir / kSceneSettingsFileName).string());

  const std::string referencePath = (dir / ReferenceFileName(format)).string();
  LoadFramePath(ctx, referencePath);
  if (ctx.workspace.workingRaster.Empty()) throw FileError(referencePath + ": the frame cannot be read");
  ctx.workspace.referenceRect = scene.referenceRect;
  const size_t messagesBefore = platform.messages.size();
  DetectReference(ctx);
  if (platform.messages.size() != messagesBefore) return false;

  const std::string firstFrame = (dir / FrameFileName(0, format)).string();
  LoadFramePath(ctx, firstFrame);
  if (ctx.workspace.workingRaster.Empty()) throw FileError(firstFrame + ": the frame cannot be read");
  ctx.workspace.scanRect = scene.scanRect;
  RunScan(ctx);
  return true;
}

double SheetShiftPerColumn(const LightSectionCalibration& c, double depth) {
  return 0.75 * std::hypot(c.XL, c.f) * depth * depth / (c.f * c.f * c.h);
}

ScanAccuracy MeasureScanAccuracy(const SyntheticScene& scene, const PointCloudStore& store, int lastProfile) {
  ScanAccuracy result;
  lastProfile = std::min({lastProfile, scene.frames - 1, PointCloudStore::MaxProfiles - 1});
  const PixelRect rect = OrderedRect(scene.scanRect);
  std::vector<double> onStripe, bridging;
  double nearest = std::numeric_limits<double>::infinity(), farthest = 0;
  for (int k = 0; k <= lastProfile; ++k) {
    const FrameScene frame = scene.Frame(k);
    const PlacedSolid& placed = frame.solids.front();
    const std::vector<int> stripeRows = StripeRowsOnObject(frame, rect, nearest, farthest);
    const int count = std::clamp(store.lastIndex[static_cast<size_t>(k)] + 1, 0, PointCloudStore::MaxPoints);
    result.points += count;

    std::vector<ProjectedPoint> points;
    points.reserve(static_cast<size_t>(count));
    for (int n = 0; n < count; ++n) {
      const Vec3 scanned{store.X(n, k), store.Y(n, k), store.Z(n, k)};
      const double distance = scene.DistanceFromObject(scanned);
      const Vec3 world = placed.DirectionToWorld({scanned.x - placed.shift, scanned.y, scanned.z});
      const double depth = world.z + frame.calib.Z0;
      // Behind the camera: no row, a stray point.
      const double row = depth > 0 ? RowFromV(frame.calib.f * world.y / depth, frame.CentreRow()) : -1e9;
      points.push_back({row, distance});
    }
    std::sort(points.begin(), points.end(),
              [](const ProjectedPoint& a, const ProjectedPoint& b) { return a.row < b.row; });
    MatchRows(stripeRows, points, onStripe, bridging, result.rowsWithPoints);

    if (!stripeRows.empty()) {
      ++result.framesWithStripe;
      if (count > 0) ++result.framesWithPoints;
      result.stripeRows += static_cast<long long>(stripeRows.size());
    }
  }
  if (!onStripe.empty()) {
    std::sort(onStripe.begin(), onStripe.end());
    result.median = Percentile(onStripe, 0.5);
    result.percentile95 = Percentile(onStripe, 0.95);
    result.largest = onStripe.back();
  }
  result.bridgingPoints = static_cast<long long>(bridging.size());
  if (!bridging.empty()) result.bridgingLargest = *std::max_element(bridging.begin(), bridging.end());
  if (farthest > 0) {
    result.nearestDepth = nearest;
    result.farthestDepth = farthest;
  }
  return result;
}

}  // namespace km::synth
