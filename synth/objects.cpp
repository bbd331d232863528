#include "synth/objects.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace km::synth {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kPi = 3.14159265358979323846;

// Keeps the nearest hit beyond tMin.
void Consider(std::optional<Hit>& best, double t, double tMin, const Vec3& normal) {
  if (t > tMin && (!best || t < best->t)) best = Hit{t, normal};
}

// Roots of a t^2 + b t + c = 0 in increasing order; false when there are none.
bool SolveQuadratic(double a, double b, double c, double& t0, double& t1) {
  if (a == 0) return false;
  const double disc = b * b - 4 * a * c;
  if (disc < 0) return false;
  // The stable form avoids cancellation when b is large.
  const double q = -0.5 * (b + std::copysign(std::sqrt(disc), b));
  t0 = q / a;
  t1 = q != 0 ? c / q : t0;
  if (t0 > t1) std::swap(t0, t1);
  return true;
}

// Entry parameter of a ray into a box beyond tMin (slab method) and the
// normal of the face it enters through.
std::optional<Hit> IntersectBox(const Box3& box, const Ray& ray, double tMin) {
  double tNear = -kInf, tFar = kInf;
  Vec3 nearNormal;
  const double o[3] = {ray.origin.x, ray.origin.y, ray.origin.z};
  const double d[3] = {ray.dir.x, ray.dir.y, ray.dir.z};
  const double lo[3] = {box.min.x, box.min.y, box.min.z};
  const double hi[3] = {box.max.x, box.max.y, box.max.z};
  for (int axis = 0; axis < 3; ++axis) {
    if (d[axis] == 0) {
      if (o[axis] < lo[axis] || o[axis] > hi[axis]) return std::nullopt;
      continue;
    }
    double ta = (lo[axis] - o[axis]) / d[axis];
    double tb = (hi[axis] - o[axis]) / d[axis];
    double sign = -1;  // entering through the low face
    if (ta > tb) {
      std::swap(ta, tb);
      sign = 1;
    }
    if (ta > tNear) {
      tNear = ta;
      nearNormal = Vec3{};
      (axis == 0 ? nearNormal.x : axis == 1 ? nearNormal.y : nearNormal.z) = sign;
    }
    tFar = std::min(tFar, tb);
  }
  if (tNear > tFar || tNear <= tMin) return std::nullopt;
  return Hit{tNear, nearNormal};
}

// Signed distance of a point from a box (negative inside).
double BoxSignedDistance(const Box3& box, const Vec3& p) {
  const Vec3 centre = (box.min + box.max) * 0.5;
  const Vec3 half = (box.max - box.min) * 0.5;
  const double qx = std::abs(p.x - centre.x) - half.x;
  const double qy = std::abs(p.y - centre.y) - half.y;
  const double qz = std::abs(p.z - centre.z) - half.z;
  const Vec3 outside{std::max(qx, 0.0), std::max(qy, 0.0), std::max(qz, 0.0)};
  return outside.Length() + std::min(std::max({qx, qy, qz}), 0.0);
}

// Distance in a (radius, height) half-plane from a point to a segment.
double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay;
  const double len2 = dx * dx + dy * dy;
  double s = len2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / len2 : 0;
  s = std::clamp(s, 0.0, 1.0);
  return std::hypot(px - (ax + s * dx), py - (ay + s * dy));
}

class Cylinder : public SolidObject {
 public:
  Cylinder(double axisX, double axisZ, double radius, double bottom, double top)
      : ax_(axisX), az_(axisZ), r_(radius), y0_(bottom), y1_(top) {}

  std::optional<Hit> Intersect(const Ray& ray, double tMin) const override {
    std::optional<Hit> best;
    const double ox = ray.origin.x - ax_, oz = ray.origin.z - az_;
    const double a = ray.dir.x * ray.dir.x + ray.dir.z * ray.dir.z;
    const double b = 2 * (ox * ray.dir.x + oz * ray.dir.z);
    const double c = ox * ox + oz * oz - r_ * r_;
    double t0, t1;
    if (SolveQuadratic(a, b, c, t0, t1)) {
      for (double t : {t0, t1}) {
        const Vec3 p = ray.At(t);
        if (p.y >= y0_ && p.y <= y1_) Consider(best, t, tMin, Vec3{p.x - ax_, 0, p.z - az_} * (1 / r_));
      }
    }
    if (ray.dir.y != 0) {
      for (double y : {y0_, y1_}) {
        const double t = (y - ray.origin.y) / ray.dir.y;
        const Vec3 p = ray.At(t);
        if ((p.x - ax_) * (p.x - ax_) + (p.z - az_) * (p.z - az_) <= r_ * r_)
          Consider(best, t, tMin, Vec3{0, y == y0_ ? -1.0 : 1.0, 0});
      }
    }
    return best;
  }

  double DistanceToSurface(const Vec3& p) const override {
    const double dr = std::hypot(p.x - ax_, p.z - az_) - r_;
    const double dy = std::max(y0_ - p.y, p.y - y1_);
    const double outside = std::hypot(std::max(dr, 0.0), std::max(dy, 0.0));
    return std::abs(outside + std::min(std::max(dr, dy), 0.0));
  }

  Box3 Bounds() const override { return {{ax_ - r_, y0_, az_ - r_}, {ax_ + r_, y1_, az_ + r_}}; }
  std::string Kind() const override { return "cylinder"; }
  std::vector<std::pair<std::string, double>> Parameters() const override {
    return {{"axisX", ax_}, {"axisZ", az_}, {"radius", r_}, {"bottomY", y0_}, {"topY", y1_}};
  }

 private:
  double ax_, az_, r_, y0_, y1_;
};

class Sphere : public SolidObject {
 public:
  Sphere(const Vec3& centre, double radius) : c_(centre), r_(radius) {}

  std::optional<Hit> Intersect(const Ray& ray, double tMin) const override {
    const Vec3 o = ray.origin - c_;
    double t0, t1;
    if (!SolveQuadratic(ray.dir.Dot(ray.dir), 2 * o.Dot(ray.dir), o.Dot(o) - r_ * r_, t0, t1))
      return std::nullopt;
    std::optional<Hit> best;
    for (double t : {t0, t1}) Consider(best, t, tMin, (ray.At(t) - c_) * (1 / r_));
    return best;
  }
  double DistanceToSurface(const Vec3& p) const override { return std::abs((p - c_).Length() - r_); }
  Box3 Bounds() const override { return {c_ - Vec3{r_, r_, r_}, c_ + Vec3{r_, r_, r_}}; }
  std::string Kind() const override { return "sphere"; }
  std::vector<std::pair<std::string, double>> Parameters() const override {
    return {{"centreX", c_.x}, {"centreY", c_.y}, {"centreZ", c_.z}, {"radius", r_}};
  }

 private:
  Vec3 c_;
  double r_;
};

class BoxUnion : public SolidObject {
 public:
  BoxUnion(std::vector<Box3> boxes, std::string kind, std::vector<std::pair<std::string, double>> parameters)
      : boxes_(std::move(boxes)), kind_(std::move(kind)), parameters_(std::move(parameters)) {}

  std::optional<Hit> Intersect(const Ray& ray, double tMin) const override {
    // The first point inside any box is the first point of the union.
    std::optional<Hit> best;
    for (const Box3& box : boxes_) {
      if (auto hit = IntersectBox(box, ray, tMin)) Consider(best, hit->t, tMin, hit->normal);
    }
    return best;
  }

  double DistanceToSurface(const Vec3& p) const override {
    double d = kInf;
    for (const Box3& box : boxes_) d = std::min(d, BoxSignedDistance(box, p));
    return std::abs(d);
  }

  Box3 Bounds() const override {
    Box3 b{{kInf, kInf, kInf}, {-kInf, -kInf, -kInf}};
    for (const Box3& box : boxes_) {
      b.min = {std::min(b.min.x, box.min.x), std::min(b.min.y, box.min.y), std::min(b.min.z, box.min.z)};
      b.max = {std::max(b.max.x, box.max.x), std::max(b.max.y, box.max.y), std::max(b.max.z, box.max.z)};
    }
    return b;
  }
  std::string Kind() const override { return kind_; }
  std::vector<std::pair<std::string, double>> Parameters() const override { return parameters_; }

 private:
  std::vector<Box3> boxes_;
  std::string kind_;
  std::vector<std::pair<std::string, double>> parameters_;
};

class Vase : public SolidObject {
 public:
  Vase(double axisX, double axisZ, double bottom, double top, double base, double swell, double flare)
      : ax_(axisX), az_(axisZ), y0_(bottom), y1_(top), base_(base), swell_(swell), flare_(flare) {
    // The outline as a fine polyline for distances, and the bounds of the
    // radius and of its slope for the ray march.
    constexpr int kSegments = 2000;
    for (int i = 0; i <= kSegments; ++i) {
      const double y = y0_ + (y1_ - y0_) * i / kSegments;
      outline_.push_back({Radius(y), y});
      maxRadius_ = std::max(maxRadius_, Radius(y));
      maxSlope_ = std::max(maxSlope_, std::abs(Slope(y)));
    }
    // The largest sample falls short of a maximum that lies between two
    // samples: search the curve about every sampled peak, so that the bounds
    // hold the whole belly.
    for (size_t i = 1; i + 1 < outline_.size(); ++i) {
      if (outline_[i].first < outline_[i - 1].first || outline_[i].first < outline_[i + 1].first) continue;
      double lo = outline_[i - 1].second, hi = outline_[i + 1].second;
      for (int step = 0; step < 100; ++step) {
        const double a = lo + (hi - lo) / 3, b = hi - (hi - lo) / 3;
        if (Radius(a) < Radius(b)) {
          lo = a;
        } else {
          hi = b;
        }
      }
      maxRadius_ = std::max(maxRadius_, Radius(0.5 * (lo + hi)));
    }
    lipschitz_ = std::sqrt(1 + maxSlope_ * maxSlope_);
  }

  std::optional<Hit> Intersect(const Ray& worldRay, double tMin) const override {
    // Work about an axis through the origin.
    const Ray ray{worldRay.origin - Vec3{ax_, 0, az_}, worldRay.dir};
    std::optional<Hit> best;
    // Flat ends.
    if (ray.dir.y != 0) {
      for (double y : {y0_, y1_}) {
        const double t = (y - ray.origin.y) / ray.dir.y;
        const Vec3 p = ray.At(t);
        if (std::hypot(p.x, p.z) <= Radius(y)) Consider(best, t, tMin, Vec3{0, y == y0_ ? -1.0 : 1.0, 0});
      }
    }
    // Side: march along the unit ray inside the bounding cylinder and slab,
    // in steps no longer than the distance to the surface can shrink, but at
    // least 0.01 (a fraction of a pixel's size: a ray that grazes the surface
    // over less than that may pass), then bisect the crossing.
    const double scale = ray.dir.Length();
    const Vec3 dir = ray.dir * (1 / scale);
    double ta = tMin * scale, tb = kInf;
    if (!ClipToBounds(ray.origin, dir, ta, tb)) return best;
    if (best) tb = std::min(tb, best->t * scale);
    double t = ta;
    double prevT = t;
    double value = SideValue(ray.origin + dir * t);
    if (value <= 0) return best;  // starts inside: entered through an end
    constexpr double kMinStep = 0.01;
    while (t < tb) {
      prevT = t;
      t += std::max(value / lipschitz_, kMinStep);
      if (t > tb) break;
      value = SideValue(ray.origin + dir * t);
      if (value <= 0) {
        double lo = prevT, hi = t;
        for (int i = 0; i < 40; ++i) {
          const double mid = 0.5 * (lo + hi);
          (SideValue(ray.origin + dir * mid) > 0 ? lo : hi) = mid;
        }
        const Vec3 p = ray.origin + dir * hi;
        const double rho = std::hypot(p.x, p.z);
        const Vec3 normal = Vec3{p.x / rho, -Slope(p.y), p.z / rho}.Normalized();
        Consider(best, hi / scale, tMin, normal);
        break;
      }
    }
    return best;
  }

  double DistanceToSurface(const Vec3& p) const override {
    const double rho = std::hypot(p.x - ax_, p.z - az_);
    double d = std::min(SegmentDistance(rho, p.y, 0, y0_, outline_.front().first, y0_),
                        SegmentDistance(rho, p.y, 0, y1_, outline_.back().first, y1_));
    size_t nearest = 1;
    double nearestDistance = kInf;
    for (size_t i = 1; i < outline_.size(); ++i) {
      const double segment = SegmentDistance(rho, p.y, outline_[i - 1].first, outline_[i - 1].second,
                                             outline_[i].first, outline_[i].second);
      if (segment < nearestDistance) nearestDistance = segment, nearest = i;
    }
    // The polyline is within about 1e-5 of the curve; refine on the curve
    // itself around the nearest segment.
    double lo = outline_[nearest > 1 ? nearest - 2 : 0].second;
    double hi = outline_[std::min(nearest + 1, outline_.size() - 1)].second;
    const auto curveDistance = [&](double y) { return std::hypot(rho - Radius(y), p.y - y); };
    for (int i = 0; i < 100; ++i) {
      const double a = lo + (hi - lo) / 3, b = hi - (hi - lo) / 3;
      if (curveDistance(a) < curveDistance(b)) {
        hi = b;
      } else {
        lo = a;
      }
    }
    return std::min({d, nearestDistance, curveDistance(0.5 * (lo + hi))});
  }

  Box3 Bounds() const override {
    return {{ax_ - maxRadius_, y0_, az_ - maxRadius_}, {ax_ + maxRadius_, y1_, az_ + maxRadius_}};
  }
  std::string Kind() const override { return "vase"; }
  std::vector<std::pair<std::string, double>> Parameters() const override {
    return {{"axisX", ax_},  {"axisZ", az_},    {"bottomY", y0_}, {"topY", y1_},
            {"base", base_}, {"swell", swell_}, {"flare", flare_}};
  }

 private:
  double Radius(double y) const {
    const double t = (y - y0_) / (y1_ - y0_);
    const double t3 = t * t * t;
    return base_ + swell_ * std::sin(1.5 * kPi * t) + flare_ * t3 * t3;
  }
  double Slope(double y) const {
    const double t = (y - y0_) / (y1_ - y0_);
    const double t5 = t * t * t * t * t;
    return (swell_ * 1.5 * kPi * std::cos(1.5 * kPi * t) + 6 * flare_ * t5) / (y1_ - y0_);
  }
  // Positive outside the side surface (within the height range), negative inside.
  double SideValue(const Vec3& p) const {
    const double y = std::clamp(p.y, y0_, y1_);
    return std::sqrt(p.x * p.x + p.z * p.z) - Radius(y);
  }
  // Narrows [ta, tb] of a unit ray to the bounding cylinder and slab. The
  // cylinder stands a hair wider than the widest radius, so that a ray
  // entering its side starts strictly outside the vase even where it meets
  // the belly at its widest, whatever the rounding of the square root.
  bool ClipToBounds(const Vec3& o, const Vec3& d, double& ta, double& tb) const {
    const double radius = maxRadius_ + 1e-9 * std::max(1.0, maxRadius_);
    double t0, t1;
    if (!SolveQuadratic(d.x * d.x + d.z * d.z, 2 * (o.x * d.x + o.z * d.z),
                        o.x * o.x + o.z * o.z - radius * radius, t0, t1))
      return false;
    ta = std::max(ta, t0);
    tb = std::min(tb, t1);
    if (d.y != 0) {
      double s0 = (y0_ - o.y) / d.y, s1 = (y1_ - o.y) / d.y;
      if (s0 > s1) std::swap(s0, s1);
      ta = std::max(ta, s0);
      tb = std::min(tb, s1);
    } else if (o.y < y0_ || o.y > y1_) {
      return false;
    }
    return ta < tb;
  }

  double ax_, az_, y0_, y1_, base_, swell_, flare_;
  std::vector<std::pair<double, double>> outline_;  // (radius, y)
  double maxRadius_ = 0, maxSlope_ = 0, lipschitz_ = 1;
};

}  // namespace

std::unique_ptr<SolidObject> MakeCylinder(double axisX, double axisZ, double radius, double bottom,
                                          double top) {
  return std::make_unique<Cylinder>(axisX, axisZ, radius, bottom, top);
}

std::unique_ptr<SolidObject> MakeSphere(const Vec3& centre, double radius) {
  return std::make_unique<Sphere>(centre, radius);
}

std::unique_ptr<SolidObject> MakeBox(const Box3& box) {
  return std::make_unique<BoxUnion>(std::vector<Box3>{box}, "box",
                                    std::vector<std::pair<std::string, double>>{{"minX", box.min.x},
                                                                                {"minY", box.min.y},
                                                                                {"minZ", box.min.z},
                                                                                {"maxX", box.max.x},
                                                                                {"maxY", box.max.y},
                                                                                {"maxZ", box.max.z}});
}

std::unique_ptr<SolidObject> MakeVase(double axisX, double axisZ, double bottom, double top, double base,
                                      double swell, double flare) {
  return std::make_unique<Vase>(axisX, axisZ, bottom, top, base, swell, flare);
}

std::unique_ptr<SolidObject> MakeBoxUnion(std::vector<Box3> boxes, std::string kind,
                                          std::vector<std::pair<std::string, double>> parameters) {
  return std::make_unique<BoxUnion>(std::move(boxes), std::move(kind), std::move(parameters));
}

}  // namespace km::synth
