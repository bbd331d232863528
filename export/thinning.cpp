#include "export/thinning.h"

#include <algorithm>
#include <cmath>

#include "common/numbers.h"

namespace km {
namespace {

// One profile copied out of the store's [point][profile] layout, so that the
// span search reads consecutive memory.
struct ProfilePoints {
  std::vector<float> x, y, z;
};

// Sum of the distances of points t+1 .. t+v-1 from the line through P(t) and
// d = P(t+v) - P(t), stopped as soon as it reaches threshold: the distances
// are never negative and each addition is rounded to single precision, so
// the sum cannot fall back below the threshold once it got there.
bool SpanAccepted(const ProfilePoints& pts, int t, int v, float dx, float dy, float dz, float threshold) {
  const Ext sx = pts.x[t], sy = pts.y[t], sz = pts.z[t];
  const Ext dd = Ext(dx) * dx + Ext(dy) * dy + Ext(dz) * dz;  // > 0: d is not zero
  float sum = 0.0f;
  for (int k = 1; k < v; ++k) {
    const Ext qx = pts.x[t + k], qy = pts.y[t + k], qz = pts.z[t + k];
    const Ext dot = (qx - sx) * dx + (qy - sy) * dy + (qz - sz) * dz;
    // The line parameter of the foot is held in single precision.
    const float s = ToSingle(dot / dd);
    const Ext ex = sx + Ext(s) * dx - qx;
    const Ext ey = sy + Ext(s) * dy - qy;
    const Ext ez = sz + Ext(s) * dz - qz;
    const double distance = static_cast<double>(std::sqrt(ex * ex + ey * ey + ez * ez));
    sum = ToSingle(Ext(sum) + Ext(distance));
    if (!(sum < threshold)) return false;
  }
  return sum < threshold;
}

void Append(ThinnedProfiles& model, const ProfilePoints& pts, int k) {
  model.x.push_back(pts.x[k]);
  model.y.push_back(pts.y[k]);
  model.z.push_back(pts.z[k]);
}

// Appends the thinned vertices of one profile with last index c >= 0.
void ThinProfile(ThinnedProfiles& model, const ProfilePoints& pts, int c, int maxPolygonLength,
                 float errorThreshold) {
  Append(model, pts, 0);
  int t = 0;
  do {
    bool accepted = false;
    // Spans that would end beyond the last point are skipped anyway.
    for (int v = std::min(maxPolygonLength, c - t); v >= 2; --v) {
      const float dx = ToSingle(Ext(pts.x[t + v]) - pts.x[t]);
      const float dy = ToSingle(Ext(pts.y[t + v]) - pts.y[t]);
      const float dz = ToSingle(Ext(pts.z[t + v]) - pts.z[t]);
      if (dx == 0 && dy == 0 && dz == 0) continue;
      if (SpanAccepted(pts, t, v, dx, dy, dz, errorThreshold)) {
        t += v;
        accepted = true;
        break;
      }
    }
    if (!accepted) t += 2;
    if (t > c) t = c;
    Append(model, pts, t);
  } while (t <= c - 2);
}

}  // namespace

namespace detail {

float VertexDistance(const ThinnedProfiles& model, int32_t i, int32_t j) {
  const Ext dx = Ext(model.x[i]) - model.x[j];
  const Ext dy = Ext(model.y[i]) - model.y[j];
  const Ext dz = Ext(model.z[i]) - model.z[j];
  const double distance = static_cast<double>(std::sqrt(dx * dx + dy * dy + dz * dz));
  return ToSingle(distance);
}

}  // namespace detail

ThinnedProfiles ThinProfiles(const PointCloudStore& store, int frameCounter, int maxPolygonLength,
                             float errorThreshold) {
  ThinnedProfiles model;
  const int lastProfile = std::min(frameCounter, PointCloudStore::MaxProfiles - 1);
  auto lastIndexOf = [&](int p) { return std::min<int>(store.lastIndex[p], PointCloudStore::MaxPoints - 1); };

  // Room for the most vertices the walk can append: it moves on by at least
  // two points per iteration, plus the first point and the repeated last one.
  size_t capacity = 1;
  int kept = 0;
  for (int p = 0; p <= lastProfile; ++p) {
    if (lastIndexOf(p) < 0) continue;
    capacity += static_cast<size_t>(lastIndexOf(p)) / 2 + 3;
    ++kept;
  }
  model.x.reserve(capacity);
  model.y.reserve(capacity);
  model.z.reserve(capacity);
  model.profileStart.reserve(kept + 1);
  model.profileIndex.reserve(kept);

  ProfilePoints pts;
  pts.x.resize(PointCloudStore::MaxPoints);
  pts.y.resize(PointCloudStore::MaxPoints);
  pts.z.resize(PointCloudStore::MaxPoints);
  int lastC = -1;
  for (int p = 0; p <= lastProfile; ++p) {
    const int c = lastIndexOf(p);
    if (c < 0) continue;
    for (int k = 0; k <= c; ++k) {
      pts.x[k] = store.X(k, p);
      pts.y[k] = store.Y(k, p);
      pts.z[k] = store.Z(k, p);
    }
    model.profileStart.push_back(static_cast<int32_t>(model.x.size()));
    model.profileIndex.push_back(p);
    ThinProfile(model, pts, c, maxPolygonLength, errorThreshold);
    lastC = c;
  }
  // The last kept profile ends with its last point once more; pts still
  // holds that profile.
  if (lastC >= 0) Append(model, pts, lastC);
  model.vertexCount = static_cast<int32_t>(model.x.size());
  model.profileStart.push_back(model.vertexCount);
  return model;
}

int64_t CountFaces(const ThinnedProfiles& model) {
  int64_t faces = 0;
  WalkAllStrips(model, [&faces](const StripFace&) { ++faces; });
  return faces;
}

}  // namespace km
