#pragma once
// Thinning of the scanned profiles into the model's vertex list, and the strip
// walk that joins two neighbouring profiles into triangles.

#include <cstdint>
#include <vector>

#include "scan/point_cloud_store.h"

namespace km {

// The vertex list of one save. Only profiles that hold points are kept;
// kept profile q (0-based, in store order) owns the vertices
// profileStart[q] to profileStart[q + 1] - 1 and came from store profile
// profileIndex[q]. Every kept profile owns at least two vertices, its first
// vertex is its point 0, and the last kept profile ends with its last point
// repeated. The capacity grows with the model; nothing limits the number of
// vertices or profiles but memory.
struct ThinnedProfiles {
  std::vector<float> x, y, z;         // vertex coordinates, copied unchanged from the store
  int32_t vertexCount = 0;            // N; the coordinate arrays hold N entries
  std::vector<int32_t> profileStart;  // ProfileCount() + 1 entries, the last is N
  std::vector<int32_t> profileIndex;  // store profile of each kept profile

  int32_t ProfileCount() const { return static_cast<int32_t>(profileIndex.size()); }
};

// Thins store profiles 0 to frameCounter (profiles with lastIndex -1 are
// left out). For each profile, from the current point S, the spans of
// maxPolygonLength down to 2 points are tried, longest first: a span is
// accepted when the sum of the distances of the points it skips from the
// line through its ends is below errorThreshold; a span whose end equals S
// is skipped; when no span is accepted the walk moves on by two points.
// Distances are measured to the infinite line (the foot of the
// perpendicular may lie outside the span). A maxPolygonLength below 2 or an
// errorThreshold of 0 or less keeps every other point.
// Throws FloatError(kOverflowMessage) when a value overflows single
// precision (only for coordinates near float's range).
ThinnedProfiles ThinProfiles(const PointCloudStore& store, int frameCounter, int maxPolygonLength,
                             float errorThreshold);

// One triangle of a strip: b is the cursor on the second profile, a the
// cursor on the first, n the vertex the step adds (a + 1 or b + 1).
struct StripFace {
  int32_t b = 0, a = 0, n = 0;
  bool operator==(const StripFace&) const = default;
};

namespace detail {
// Euclidean distance of two vertices, computed in extended precision, held
// in double and then narrowed to single precision for the comparison.
float VertexDistance(const ThinnedProfiles& model, int32_t i, int32_t j);
}  // namespace detail

// Hands visit(StripFace) the triangles between kept profiles q and q + 1
// (0 <= q < ProfileCount() - 1) in the order the walk makes them. At each
// step the shorter of the two new diagonals wins (a tie steps on the first
// profile); once the second profile's cursor stands on its last vertex the
// strip ends in a fan around it; the walk ends when the first profile's
// cursor reaches its last vertex. Deterministic: two walks yield the same
// faces.
template <class Visitor>
void WalkStrip(const ThinnedProfiles& model, int32_t q, Visitor&& visit) {
  const int32_t s0 = model.profileStart[q];
  const int32_t s1 = model.profileStart[q + 1];
  const int32_t s2 = model.profileStart[q + 2];
  int32_t a = s0;
  int32_t b = s1;
  do {
    if (b == s2 - 1) {
      visit(StripFace{b, a, a + 1});
      ++a;
      continue;
    }
    const float f = detail::VertexDistance(model, a, b + 1);
    const float g = detail::VertexDistance(model, a + 1, b);
    if (f >= g) {
      visit(StripFace{b, a, a + 1});
      ++a;
    } else {
      visit(StripFace{b, a, b + 1});
      ++b;
    }
  } while (a < s1 - 1);
}

// Every strip of the model, q = 0, 1, ... in order. The last profile is not
// joined back to the first.
template <class Visitor>
void WalkAllStrips(const ThinnedProfiles& model, Visitor&& visit) {
  for (int32_t q = 0; q + 1 < model.ProfileCount(); ++q) WalkStrip(model, q, visit);
}

// Number of faces WalkAllStrips yields.
int64_t CountFaces(const ThinnedProfiles& model);

}  // namespace km
