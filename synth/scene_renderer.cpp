#include "synth/scene_renderer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace km::synth {
namespace {

// Beyond this distance from the stripe's centre (in pixels) the profile adds
// less than one grey level.
constexpr double kStripeBand = 20;
constexpr int kStripeSubsamples = 4;
constexpr double kCoreHalfWidth = 1.5;
constexpr double kHaloLevel = 0.2;
constexpr double kHaloScale = 4.5;

// Grey levels before clipping.
constexpr double kBackground = 14;
constexpr double kNoiseSigma = 2;
constexpr double kAmbientBase = 26;
constexpr double kAmbientFacing = 14;
constexpr double kStripePeak = 330;
// Colour of the lit object and of the light, per channel (blue, green, red).
constexpr double kObjectColour[3] = {0.88, 0.96, 1.0};
constexpr double kLightColour[3] = {0.93, 0.97, 1.0};

// True when nothing lies between `from` and the surface point p.
bool Unobstructed(const FrameScene& scene, const Vec3& from, const Vec3& p) {
  const auto hit = IntersectScene(scene, Ray{from, p - from}, 0);
  return !hit || hit->t > 1 - 1e-7;
}

// The profile averaged over a pixel whose centre is x pixels from the stripe.
double PixelProfile(double x) {
  double sum = 0;
  for (int s = 0; s < kStripeSubsamples; ++s) sum += StripeProfile(x + (s + 0.5) / kStripeSubsamples - 0.5);
  return sum / kStripeSubsamples;
}

// Roughly normal noise of the given deviation from one 32-bit draw: the sum
// of its four bytes has mean 510 and deviation 147.8.
double Noise(std::mt19937& rng) {
  const uint32_t r = rng();
  const int sum = static_cast<int>((r & 0xff) + ((r >> 8) & 0xff) + ((r >> 16) & 0xff) + (r >> 24));
  return (sum - 510) * (kNoiseSigma / 147.8);
}

uint8_t ToByte(double value) { return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L)); }

}  // namespace

Vec3 PlacedSolid::ToObject(const Vec3& world) const {
  const Vec3 turned = DirectionToObject(world);
  return {turned.x + shift, turned.y, turned.z};
}

Vec3 PlacedSolid::DirectionToObject(const Vec3& w) const {
  const double c = std::cos(angle), s = std::sin(angle);
  return {w.x * c - w.z * s, w.y, w.x * s + w.z * c};
}

Vec3 PlacedSolid::DirectionToWorld(const Vec3& o) const {
  const double c = std::cos(angle), s = std::sin(angle);
  return {o.x * c + o.z * s, o.y, -o.x * s + o.z * c};
}

std::optional<SceneHit> IntersectScene(const FrameScene& scene, const Ray& ray, double tMin) {
  std::optional<SceneHit> best;
  for (size_t i = 0; i < scene.solids.size(); ++i) {
    const PlacedSolid& placed = scene.solids[i];
    const Ray local{placed.ToObject(ray.origin), placed.DirectionToObject(ray.dir)};
    const auto hit = placed.solid->Intersect(local, tMin);
    if (hit && (!best || hit->t < best->t))
      best = SceneHit{hit->t, placed.DirectionToWorld(hit->normal), static_cast<int>(i)};
  }
  return best;
}

std::vector<StripePoint> TraceStripePoints(const FrameScene& scene) {
  std::vector<StripePoint> points;
  const Vec3 camera = CameraCentre(scene.calib);
  for (int row = 0; row < scene.height; ++row) {
    const Ray fan = FanRay(scene.calib, VFromRow(row, scene.CentreRow()));
    const auto hit = IntersectScene(scene, fan, 0);
    if (!hit) continue;
    const Vec3 p = fan.At(hit->t);
    if (p.z + scene.calib.Z0 <= 0 || !Unobstructed(scene, camera, p)) continue;
    const double column = ColumnFromU(ProjectToScreen(scene.calib, p).u, scene.CentreColumn());
    if (column < 0 || column > scene.width - 1) continue;
    points.push_back({row, column, p, hit->solidIndex});
  }
  return points;
}

std::optional<PixelSpan> SolidsScreenSpan(const FrameScene& scene) {
  double minCol = std::numeric_limits<double>::infinity(), maxCol = -minCol;
  double minRow = minCol, maxRow = -minCol;
  for (const PlacedSolid& placed : scene.solids) {
    const Box3 b = placed.solid->Bounds();
    for (int corner = 0; corner < 8; ++corner) {
      const Vec3 local{corner & 1 ? b.max.x : b.min.x, corner & 2 ? b.max.y : b.min.y,
                       corner & 4 ? b.max.z : b.min.z};
      // Back to the world: undo the shift, then the turn.
      const Vec3 world = placed.DirectionToWorld({local.x - placed.shift, local.y, local.z});
      if (world.z + scene.calib.Z0 <= 0) {
        // A corner at or behind the camera: the solid may cover the whole frame.
        return PixelSpan{0, 0, scene.width - 1, scene.height - 1};
      }
      const ScreenPoint s = ProjectToScreen(scene.calib, world);
      const double col = ColumnFromU(s.u, scene.CentreColumn());
      const double row = RowFromV(s.v, scene.CentreRow());
      minCol = std::min(minCol, col), maxCol = std::max(maxCol, col);
      minRow = std::min(minRow, row), maxRow = std::max(maxRow, row);
    }
  }
  if (scene.solids.empty()) return std::nullopt;
  // The solid lies inside its turned bounding box, and the projection of a
  // box in front of the camera lies inside the projections of its corners.
  PixelSpan span{static_cast<int>(std::floor(minCol)) - 2, static_cast<int>(std::floor(minRow)) - 2,
                 static_cast<int>(std::ceil(maxCol)) + 2, static_cast<int>(std::ceil(maxRow)) + 2};
  span.x1 = std::clamp(span.x1, 0, scene.width - 1);
  span.x2 = std::clamp(span.x2, 0, scene.width - 1);
  span.y1 = std::clamp(span.y1, 0, scene.height - 1);
  span.y2 = std::clamp(span.y2, 0, scene.height - 1);
  return span;
}

double StripeProfile(double x) {
  const double a = std::abs(x);
  if (a <= kCoreHalfWidth) return 1;
  return a < kStripeBand ? kHaloLevel * std::exp(-(a - kCoreHalfWidth) / kHaloScale) : 0;
}

Raster RenderFrame(const FrameScene& scene) {
  Raster raster;
  raster.Resize(scene.width, scene.height);
  std::mt19937 rng(scene.noiseSeed);
  const int cx = scene.CentreColumn(), cy = scene.CentreRow();
  const Vec3 camera = CameraCentre(scene.calib);
  const auto span = SolidsScreenSpan(scene);
  std::vector<double> stripeColumn(static_cast<size_t>(scene.height), std::nan(""));
  for (const StripePoint& p : TraceStripePoints(scene)) stripeColumn[static_cast<size_t>(p.row)] = p.column;

  for (int row = 0; row < scene.height; ++row) {
    uint8_t* out = raster.Row(row);
    const double v = VFromRow(row, cy);
    const bool rowMayHit = span && row >= span->y1 && row <= span->y2;
    const double stripe = stripeColumn[static_cast<size_t>(row)];
    for (int col = 0; col < scene.width; ++col) {
      const double noise = Noise(rng);
      double grey[3] = {kBackground + 2, kBackground, kBackground};
      if (rowMayHit && col >= span->x1 && col <= span->x2) {
        const Ray ray = CameraRay(scene.calib, UFromColumn(col, cx), v);
        if (const auto hit = IntersectScene(scene, ray, 0)) {
          const Vec3 toCamera = (camera - ray.At(hit->t)).Normalized();
          const double ambient = kAmbientBase + kAmbientFacing * std::max(0.0, hit->normal.Dot(toCamera));
          for (int ch = 0; ch < 3; ++ch) grey[ch] = ambient * kObjectColour[ch];
        }
      }
      // The stripe as the lens images it: the same few pixels wide wherever
      // it falls, its halo spilling over an outline onto the background.
      if (!std::isnan(stripe) && std::abs(col - stripe) < kStripeBand + 1) {
        const double light = kStripePeak * PixelProfile(col - stripe);
        for (int ch = 0; ch < 3; ++ch) grey[ch] += light * kLightColour[ch];
      }
      out[col * 3 + 0] = ToByte(grey[0] + noise);
      out[col * 3 + 1] = ToByte(grey[1] + noise);
      out[col * 3 + 2] = ToByte(grey[2] + noise);
    }
  }
  return raster;
}

}  // namespace km::synth
