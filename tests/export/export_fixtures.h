#pragma once
// Stores and models shared by the export tests.

#include <stdlib.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "export/thinning.h"
#include "scan/point_cloud_store.h"

namespace km::test {

using Point = std::array<float, 3>;

// Stores points 0.. of profile p and its last index.
inline void SetProfile(PointCloudStore& store, int p, const std::vector<Point>& points) {
  for (size_t k = 0; k < points.size(); ++k) {
    store.X(static_cast<int>(k), p) = points[k][0];
    store.Y(static_cast<int>(k), p) = points[k][1];
    store.Z(static_cast<int>(k), p) = points[k][2];
  }
  store.lastIndex[p] = static_cast<int32_t>(points.size()) - 1;
}

// The model of the golden files (frameCounter 2, thinned with 30 and 0.5):
// profile 0 zigzags (every span rejected), profile 1 is straight, profile 2
// bends after its fourth point and lies far out in -X.
inline void FillTinyStore(PointCloudStore& store) {
  std::vector<Point> p0, p1, p2;
  for (int k = 0; k <= 6; ++k) p0.push_back({k % 2 == 0 ? -0.5f : 0.5f, 1.25f * k, 0.1f});
  for (int k = 0; k <= 3; ++k) p1.push_back({2.0005f, 0.5f + 1.25f * k, -3.0f});
  const float bend[] = {0, 0, 0, 0, 2, 4};
  for (int k = 0; k <= 5; ++k) p2.push_back({-1234.5f + bend[k], static_cast<float>(k), 123.4567f});
  SetProfile(store, 0, p0);
  SetProfile(store, 1, p1);
  SetProfile(store, 2, p2);
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::string GoldenFile(const std::string& name) {
  return ReadFile(std::string(KELMORPH_TEST_DATA_DIR) + "/" + name);
}

// A thinned model built by hand: one vertex list per profile, in order.
inline ThinnedProfiles MakeModel(const std::vector<std::vector<Point>>& profiles) {
  ThinnedProfiles model;
  for (size_t q = 0; q < profiles.size(); ++q) {
    model.profileStart.push_back(static_cast<int32_t>(model.x.size()));
    model.profileIndex.push_back(static_cast<int32_t>(q));
    for (const Point& v : profiles[q]) {
      model.x.push_back(v[0]);
      model.y.push_back(v[1]);
      model.z.push_back(v[2]);
    }
  }
  model.vertexCount = static_cast<int32_t>(model.x.size());
  model.profileStart.push_back(model.vertexCount);
  return model;
}

inline std::vector<StripFace> StripFaces(const ThinnedProfiles& model, int q) {
  std::vector<StripFace> faces;
  WalkStrip(model, q, [&](const StripFace& f) { faces.push_back(f); });
  return faces;
}

inline std::vector<StripFace> AllFaces(const ThinnedProfiles& model) {
  std::vector<StripFace> faces;
  WalkAllStrips(model, [&](const StripFace& f) { faces.push_back(f); });
  return faces;
}

}  // namespace km::test

namespace km::test {

// A fresh folder under the system's temporary folder, removed with its
// contents at the end of the scope.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kelmorph-export-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace km::test
