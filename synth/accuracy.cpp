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

// Pairs sorted stripe rows with sorted projected rows of points, each point
// with at most one stripe row within one row of it, greedily from the top.
long long MatchRows(const std::vector<int>& stripeRows, const std::vector<double>& pointRows) {
  long long matched = 0;
  size_t s = 0;
  for (double row : pointRows) {
    while (s < stripeRows.size() && stripeRows[s] < row - 1) ++s;
    if (s == stripeRows.size()) break;
    if (stripeRows[s] <= row + 1) {
      ++matched;
      ++s;
    }
  }
  return matched;
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
  std::vector<double> distances;
  double nearest = std::numeric_limits<double>::infinity(), farthest = 0;
  for (int k = 0; k <= lastProfile; ++k) {
    const FrameScene frame = scene.Frame(k);
    const PlacedSolid& placed = frame.solids.front();
    const std::vector<int> stripeRows = StripeRowsOnObject(frame, rect, nearest, farthest);
    const int count = std::clamp(store.lastIndex[static_cast<size_t>(k)] + 1, 0, PointCloudStore::MaxPoints);

    std::vector<double> pointRows;
    pointRows.reserve(static_cast<size_t>(count));
    for (int n = 0; n < count; ++n) {
      const Vec3 scanned{store.X(n, k), store.Y(n, k), store.Z(n, k)};
      distances.push_back(scene.DistanceFromObject(scanned));
      const Vec3 world = placed.DirectionToWorld({scanned.x - placed.shift, scanned.y, scanned.z});
      const double depth = world.z + frame.calib.Z0;
      if (depth > 0) pointRows.push_back(RowFromV(frame.calib.f * world.y / depth, frame.CentreRow()));
    }
    std::sort(pointRows.begin(), pointRows.end());

    if (!stripeRows.empty()) {
      ++result.framesWithStripe;
      if (count > 0) ++result.framesWithPoints;
      result.stripeRows += static_cast<long long>(stripeRows.size());
      result.rowsWithPoints += MatchRows(stripeRows, pointRows);
    }
  }
  result.points = static_cast<long long>(distances.size());
  if (!distances.empty()) {
    std::sort(distances.begin(), distances.end());
    result.median = Percentile(distances, 0.5);
    result.percentile95 = Percentile(distances, 0.95);
    result.largest = distances.back();
  }
  if (farthest > 0) {
    result.nearestDepth = nearest;
    result.farthestDepth = farthest;
  }
  return result;
}

}  // namespace km::synth
