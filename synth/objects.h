#pragma once
// Analytic solids for synthetic scenes. Each answers the two questions the
// renderer asks (where a ray first meets its surface, and how far a point is
// from that surface) in its own object coordinates, in real units.

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "synth/light_section_geometry.h"

namespace km::synth {

// Axis-aligned box.
struct Box3 {
  Vec3 min;
  Vec3 max;
};

// A ray's first meeting with a surface: the ray parameter and the outward
// unit normal there.
struct Hit {
  double t = 0;
  Vec3 normal;
};

class SolidObject {
 public:
  virtual ~SolidObject() = default;

  // The first point of the surface on the ray with t > tMin, or nullopt. The
  // ray starts outside the solid.
  virtual std::optional<Hit> Intersect(const Ray& ray, double tMin) const = 0;

  // Distance of a point from the surface (not signed).
  virtual double DistanceToSurface(const Vec3& p) const = 0;

  // A box that holds the whole solid.
  virtual Box3 Bounds() const = 0;

  // "cylinder", "sphere", "vase", "box" or "staircase", and the numbers that
  // define the solid, named, for a scene description.
  virtual std::string Kind() const = 0;
  virtual std::vector<std::pair<std::string, double>> Parameters() const = 0;
};

// Upright cylinder with flat ends: axis parallel to Y through (axisX, axisZ),
// from y = bottom to y = top.
std::unique_ptr<SolidObject> MakeCylinder(double axisX, double axisZ, double radius, double bottom,
                                          double top);

std::unique_ptr<SolidObject> MakeSphere(const Vec3& centre, double radius);

// Axis-aligned box.
std::unique_ptr<SolidObject> MakeBox(const Box3& box);

// Solid of revolution about an axis parallel to Y through (axisX, axisZ),
// from y = bottom to y = top, closed by flat ends, with radius
// R(t) = base + swell sin(1.5 pi t) + flare t^6 at t = (y - bottom) / (top - bottom):
// a belly, a neck and a flared lip.
std::unique_ptr<SolidObject> MakeVase(double axisX, double axisZ, double bottom, double top, double base,
                                      double swell, double flare);

// Union of axis-aligned boxes (the reference staircase), described by the
// given kind and parameters.
std::unique_ptr<SolidObject> MakeBoxUnion(std::vector<Box3> boxes, std::string kind,
                                          std::vector<std::pair<std::string, double>> parameters);

}  // namespace km::synth
