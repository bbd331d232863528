#pragma once
// The light-section geometry of a synthetic scene: the camera, the light
// sheet and the triangulation that the scan run applies to a stripe point,
// in double precision.
//
// World frame: the camera's pinhole sits at (0, 0, -Z0) and looks along +Z,
// Y points up, the turntable axis is the Y axis. Centred screen units: a
// column c and row r of a frame with centre (cx, cy) have u = (c - cx) * 0.75
// and v = cy - r; the camera images (X, Y, Z) at u = f X / (Z + Z0),
// v = f Y / (Z + Z0). The light sheet is sent from (-h, 0, -Z0) and is the
// plane X + h = (XL / f)(Z + Z0); every image row v is lit by one ray of its
// fan, (-h, 0, -Z0) + t (XL, v, f), all of whose points the camera images in
// that same row, at u = XL - h / t.

#include <cmath>

namespace km::synth {

struct Vec3 {
  double x = 0, y = 0, z = 0;

  Vec3 operator+(const Vec3& o) const { return {x + o.x, y + o.y, z + o.z}; }
  Vec3 operator-(const Vec3& o) const { return {x - o.x, y - o.y, z - o.z}; }
  Vec3 operator*(double s) const { return {x * s, y * s, z * s}; }
  double Dot(const Vec3& o) const { return x * o.x + y * o.y + z * o.z; }
  double Length() const { return std::sqrt(Dot(*this)); }
  Vec3 Normalized() const { return *this * (1.0 / Length()); }
};

// A ray origin + t * dir; dir need not be of unit length, t is in its units.
struct Ray {
  Vec3 origin;
  Vec3 dir;
  Vec3 At(double t) const { return origin + dir * t; }
};

// The four parameters the calibration solve fits (real units for h and Z0,
// centred screen units for XL and f).
struct LightSectionCalibration {
  double XL = 0, h = 0, Z0 = 0, f = 0;
};

// Centred screen coordinates.
struct ScreenPoint {
  double u = 0, v = 0;
};

inline Vec3 CameraCentre(const LightSectionCalibration& c) { return {0, 0, -c.Z0}; }
inline Vec3 LightSource(const LightSectionCalibration& c) { return {-c.h, 0, -c.Z0}; }

// Where the camera images a world point (the point must lie in front of it).
inline ScreenPoint ProjectToScreen(const LightSectionCalibration& c, const Vec3& p) {
  const double depth = p.z + c.Z0;
  return {c.f * p.x / depth, c.f * p.y / depth};
}

// The camera ray through centred screen point (u, v); t = 1 reaches depth f.
inline Ray CameraRay(const LightSectionCalibration& c, double u, double v) {
  return {CameraCentre(c), {u, v, c.f}};
}

// The ray of the light fan that lights image row v.
inline Ray FanRay(const LightSectionCalibration& c, double v) { return {LightSource(c), {c.XL, v, c.f}}; }

// The scan run's triangulation of a stripe seen at centred screen (u, v):
// with d = XL - u, X = XL h / d - h, Y = v h / d, Z = f h / d - Z0.
inline Vec3 TriangulateStripe(const LightSectionCalibration& c, double u, double v) {
  const double d = c.XL - u;
  return {c.XL * c.h / d - c.h, v * c.h / d, c.f * c.h / d - c.Z0};
}

// Pixel positions from centred screen units and back; cx and cy are the
// frame's halfWidth and halfHeight (half its size, rounded down).
inline double ColumnFromU(double u, int cx) { return u / 0.75 + cx; }
inline double UFromColumn(double column, int cx) { return (column - cx) * 0.75; }
inline double RowFromV(double v, int cy) { return cy - v; }
inline double VFromRow(double row, int cy) { return cy - row; }

}  // namespace km::synth
