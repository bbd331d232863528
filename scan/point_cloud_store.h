#pragma once
// The point cloud of a scan run: single-precision x, y, z of up to MaxPoints
// points for each of MaxProfiles profiles, indexed [point][profile], and the
// index of the last stored point of each profile (-1: empty profile).

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace km {

struct PointCloudStore {
  static constexpr int MaxPoints = 3000;
  static constexpr int MaxProfiles = 720;
  static constexpr int MaxFrames = 719;

  // Allocated once, zero-filled.
  PointCloudStore()
      : x(static_cast<size_t>(MaxPoints) * MaxProfiles),
        y(static_cast<size_t>(MaxPoints) * MaxProfiles),
        z(static_cast<size_t>(MaxPoints) * MaxProfiles) {}

  static size_t Index(int point, int profile) {
    return static_cast<size_t>(point) * MaxProfiles + profile;
  }
  float& X(int point, int profile) { return x[Index(point, profile)]; }
  float& Y(int point, int profile) { return y[Index(point, profile)]; }
  float& Z(int point, int profile) { return z[Index(point, profile)]; }
  float X(int point, int profile) const { return x[Index(point, profile)]; }
  float Y(int point, int profile) const { return y[Index(point, profile)]; }
  float Z(int point, int profile) const { return z[Index(point, profile)]; }

  std::vector<float> x, y, z;
  std::array<int32_t, MaxProfiles> lastIndex{};
};

// One stripe column per image row (-1: no stripe in that row).
struct StripeTable {
  static constexpr int Rows = 3000;
  std::array<float, Rows> column{};
};

}  // namespace km
