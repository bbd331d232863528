#include "export/thinning.h"

#include <algorithm>
#include <cmath>

#include "common/numbers.h"

namespace km {
namespace {

// Narrowing to single precision with the overflow and invalid-operation
// errors of ToSingle, inlined for the inner loops.
inline float Single(Ext value) {
  const float f = static_cast<float>(value);
  if (!std::isfinite(f)) [[unlikely]]
    return ToSingle(value);  // throws the matching FloatError
  return f;
}

// Profiles copied out of the store's [point][profile] layout in blocks of
// neighbouring profiles, so that both the copy and the span search read
// consecutive memory.
class ProfileBlock {
 public:
  static constexpr int kProfiles = 32;
  ProfileBlock() : x_(kSize), y_(kSize), z_(kSize) {}

  // Copies points 0 .. lastPoint of store profiles first .. first + count - 1.
  void Load(const PointCloudStore& store, int first, int count, int lastPoint) {
    for (int k = 0; k <= lastPoint; ++k) {
      const size_t row = PointCloudStore::Index(k, first);
      for (int j = 0; j < count; ++j) {
        const size_t at = static_cast<size_t>(j) * PointCloudStore::MaxPoints + k;
        x_[at] = store.x[row + j];
        y_[at] = store.y[row + j];
        z_[at] = store.z[row + j];
      }
    }
  }
  // Points of the j-th profile of the block.
  const float* X(int j) const { return x_.data() + static_cast<size_t>(j) * PointCloudStore::MaxPoints; }
  const float* Y(int j) const { return y_.data() + static_cast<size_t>(j) * PointCloudStore::MaxPoints; }
  const float* Z(int j) const { return z_.data() + static_cast<size_t>(j) * PointCloudStore::MaxPoints; }

 private:
  static constexpr size_t kSize = static_cast<size_t>(kProfiles) * PointCloudStore::MaxPoints;
  std::vector<float> x_, y_, z_;
};

struct ProfilePoints {
  const float* x;
  const float* y;
  const float* z;
};

// Sum of the distances of points t+1 .. t+v-1 from the line through P(t) and
// d = P(t+v) - P(t), each addition rounded to single precision. With
// checked, every narrowing raises the FloatError of ToSingle when it
// overflows.
template <bool checked>
float SpanError(const ProfilePoints& pts, int t, int v, float dx, float dy, float dz, float threshold) {
  const Ext sx = pts.x[t], sy = pts.y[t], sz = pts.z[t];
  const Ext dd = Ext(dx) * dx + Ext(dy) * dy + Ext(dz) * dz;  // > 0: d is not zero
  float sum = 0.0f;
  for (int k = 1; k < v; ++k) {
    const Ext qx = pts.x[t + k], qy = pts.y[t + k], qz = pts.z[t + k];
    const Ext dot = (qx - sx) * dx + (qy - sy) * dy + (qz - sz) * dz;
    // The line parameter of the foot is held in single precision.
    const float s = checked ? Single(dot / dd) : static_cast<float>(dot / dd);
    const Ext ex = sx + Ext(s) * dx - qx;
    const Ext ey = sy + Ext(s) * dy - qy;
    const Ext ez = sz + Ext(s) * dz - qz;
    const double distance = static_cast<double>(std::sqrt(ex * ex + ey * ey + ez * ez));
    sum = checked ? Single(Ext(sum) + Ext(distance)) : static_cast<float>(Ext(sum) + Ext(distance));
    // The distances are never negative and each addition is rounded to
    // single precision, so the sum cannot fall back below the threshold
    // once it got there: the remaining points are not needed.
    if (!(sum < threshold)) break;
  }
  return sum;
}

// Whether the span's error stays below the threshold (strictly).
bool SpanAccepted(const ProfilePoints& pts, int t, int v, float dx, float dy, float dz, float threshold) {
  const float sum = SpanError<false>(pts, t, v, dx, dy, dz, threshold);
  // An overflow anywhere in the span leaves an infinite or invalid sum; the
  // checked pass then raises its error.
  if (!std::isfinite(sum)) [[unlikely]]
    SpanError<true>(pts, t, v, dx, dy, dz, threshold);
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
      const float dx = Single(Ext(pts.x[t + v]) - pts.x[t]);
      const float dy = Single(Ext(pts.y[t + v]) - pts.y[t]);
      const float dz = Single(Ext(pts.z[t + v]) - pts.z[t]);
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
  return Single(distance);
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

  ProfileBlock block;
  int lastKept = -1;
  for (int first = 0; first <= lastProfile; first += ProfileBlock::kProfiles) {
    const int count = std::min(ProfileBlock::kProfiles, lastProfile + 1 - first);
    int blockLastPoint = -1;
    for (int j = 0; j < count; ++j) blockLastPoint = std::max(blockLastPoint, lastIndexOf(first + j));
    block.Load(store, first, count, blockLastPoint);
    for (int j = 0; j < count; ++j) {
      const int c = lastIndexOf(first + j);
      if (c < 0) continue;
      const ProfilePoints pts{block.X(j), block.Y(j), block.Z(j)};
      model.profileStart.push_back(static_cast<int32_t>(model.x.size()));
      model.profileIndex.push_back(first + j);
      ThinProfile(model, pts, c, maxPolygonLength, errorThreshold);
      lastKept = first + j;
    }
  }
  // The last kept profile ends with its last point once more.
  if (lastKept >= 0) {
    const int c = lastIndexOf(lastKept);
    model.x.push_back(store.X(c, lastKept));
    model.y.push_back(store.Y(c, lastKept));
    model.z.push_back(store.Z(c, lastKept));
  }
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
