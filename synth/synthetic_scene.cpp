#include "synth/synthetic_scene.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace km::synth {
namespace {

// The step as the settings file holds it: single precision, six decimals.
double AsWrittenInSettings(double value) {
  char text[64];
  const auto written = std::to_chars(text, text + sizeof text, static_cast<double>(static_cast<float>(value)),
                                     std::chars_format::fixed, 6);
  double parsed = value;
  std::from_chars(text, written.ptr, parsed);
  return parsed;
}

// X at which the light sheet crosses depth z.
double SheetX(const LightSectionCalibration& c, double z) { return c.XL / c.f * (z + c.Z0) - c.h; }

// The object at its place for the mode, moved by dx along X.
std::unique_ptr<SolidObject> MakeObject(SynthObjectKind kind, SynthMode mode, double dx) {
  if (mode == SynthMode::Scan) {
    // Above the camera's horizon, clear of the staircase below it.
    switch (kind) {
      case SynthObjectKind::Cylinder:
        return MakeCylinder(dx, 0, 10, 5, 33);
      case SynthObjectKind::Sphere:
        return MakeSphere({dx, 19, 0}, 13);
      case SynthObjectKind::Vase:
        return MakeVase(dx, 0, 5, 33, 7, 4, 4);
      case SynthObjectKind::Box:
        return MakeBox({{dx - 3, 6, -6}, {dx + 11, 32, 8}});
    }
  }
  switch (kind) {
    case SynthObjectKind::Cylinder:
      return MakeCylinder(dx, 0, 12, -25, 25);
    case SynthObjectKind::Sphere:
      return MakeSphere({dx, 0, 0}, 18);
    case SynthObjectKind::Vase:
      return MakeVase(dx, 0, -25, 25, 9, 5, 6);
    case SynthObjectKind::Box:
      break;
  }
  // Off the turntable axis, so that turning it shows every face.
  return MakeBox({{dx - 4, -20, -7}, {dx + 14, 20, 9}});
}

// Risers of the reference staircase, from the back (top) to the front
// (bottom): depth, top and bottom. Each riser faces the camera, each tread
// faces up; the light sheet cuts five vertical stretches whose lower ends are
// the reference corners.
struct Riser {
  double z, top, bottom;
};
constexpr Riser kRisers[5] = {{10, -2, -7}, {5, -7, -12}, {0, -12, -17}, {-5, -17, -22}, {-10, -22, -27}};
constexpr double kStairBaseY = -32, kStairBackZ = 20, kStairFrontZ = -45, kStairHalfWidth = 40;

std::unique_ptr<SolidObject> MakeStaircase() {
  std::vector<Box3> boxes;
  for (const Riser& r : kRisers) {
    boxes.push_back({{-kStairHalfWidth, kStairBaseY, r.z}, {kStairHalfWidth, r.top, kStairBackZ}});
  }
  // The lowest tread, in front of the last riser.
  boxes.push_back(
      {{-kStairHalfWidth, kStairBaseY, kStairFrontZ}, {kStairHalfWidth, kRisers[4].bottom, kStairBackZ}});
  std::vector<std::pair<std::string, double>> params = {{"halfWidthX", kStairHalfWidth},
                                                        {"baseY", kStairBaseY},
                                                        {"backZ", kStairBackZ},
                                                        {"frontZ", kStairFrontZ}};
  for (int i = 0; i < 5; ++i) {
    const std::string n = std::to_string(i + 1);
    params.push_back({"riser" + n + "Z", kRisers[i].z});
    params.push_back({"riser" + n + "TopY", kRisers[i].top});
    params.push_back({"riser" + n + "BottomY", kRisers[i].bottom});
  }
  return MakeBoxUnion(std::move(boxes), "staircase", std::move(params));
}

// Width along X that the light must sweep to cross the whole solid, the
// sheet being slanted over the solid's depth.
double SweepWidth(const Box3& b, const LightSectionCalibration& c) {
  return (b.max.x - b.min.x) + c.XL / c.f * (b.max.z - b.min.z) + 2;
}

// True when a world point lies in front of the camera and inside the frame.
bool InView(const LightSectionCalibration& c, int width, int height, const Vec3& p) {
  if (p.z + c.Z0 <= 0.1 * c.Z0) return false;
  const ScreenPoint s = ProjectToScreen(c, p);
  const double col = ColumnFromU(s.u, width / 2), row = RowFromV(s.v, height / 2);
  return col >= 0 && col <= width - 1 && row >= 0 && row <= height - 1;
}

bool BoxInView(const LightSectionCalibration& c, int width, int height, const Box3& b) {
  for (int corner = 0; corner < 8; ++corner) {
    const Vec3 p{corner & 1 ? b.max.x : b.min.x, corner & 2 ? b.max.y : b.min.y,
                 corner & 4 ? b.max.z : b.min.z};
    if (!InView(c, width, height, p)) return false;
  }
  return true;
}

// Grows a pixel rectangle (empty while x1 > x2) to hold a point.
void Include(PixelRect& r, double column, double row) {
  const int c = static_cast<int>(std::floor(column)), w = static_cast<int>(std::floor(row));
  if (r.x1 > r.x2) {
    r = {c, w, c + 1, w};
    return;
  }
  r.x1 = std::min(r.x1, c), r.x2 = std::max(r.x2, c + 1);
  r.y1 = std::min(r.y1, w), r.y2 = std::max(r.y2, w);
}

PixelRect Widen(PixelRect r, int dx, int dy, int width, int height) {
  return {std::max(r.x1 - dx, 0), std::max(r.y1 - dy, 0), std::min(r.x2 + dx, width - 1),
          std::min(r.y2 + dy, height - 1)};
}

std::string SizeText(int width, int height) { return std::to_string(width) + "x" + std::to_string(height); }

void CheckOptions(const SceneOptions& o, int frames) {
  if (o.width > kMaxSceneColumns || o.height > kMaxSceneRows)
    throw SceneError("frame size " + SizeText(o.width, o.height) + " is too large: the scan takes at most " +
                     std::to_string(kMaxSceneColumns) + " columns and " + std::to_string(kMaxSceneRows) +
                     " rows");
  if (o.width < kMinSceneWidth || o.height < kMinSceneHeight)
    throw SceneError("frame size " + SizeText(o.width, o.height) + " is too small: at least " +
                     SizeText(kMinSceneWidth, kMinSceneHeight) +
                     " is needed for the stripe detector to accept a stripe a few pixels wide");
  if (frames < 1 || frames > kMaxSceneFrames)
    throw SceneError("frame count " + std::to_string(frames) + " is outside 1 to " +
                     std::to_string(kMaxSceneFrames) + ", the most frames one scan takes");
  if (o.step && !(std::isfinite(*o.step) && *o.step > 0 && *o.step < 1e6))
    throw SceneError("the step must be a positive number");
  if (o.calibration) {
    const auto& c = *o.calibration;
    for (double v : {c.XL, c.h, c.Z0, c.f}) {
      if (!(std::isfinite(v) && v > 0 && v < 1e7))
        throw SceneError("the calibration XL, h, Z0 and f must be positive numbers");
    }
  }
}

}  // namespace

int DefaultFrameCount(SynthMode mode) { return mode == SynthMode::Rotation ? 200 : 100; }

LightSectionCalibration DefaultCalibration(int width, int height) {
  const double scale = std::min(width / 2048.0, height / 1536.0);
  return {924.477 * scale, 50.1518, 85.0216, 1483.89 * scale};
}

const char* ObjectKindName(SynthObjectKind kind) {
  switch (kind) {
    case SynthObjectKind::Cylinder:
      return "cylinder";
    case SynthObjectKind::Sphere:
      return "sphere";
    case SynthObjectKind::Vase:
      return "vase";
    case SynthObjectKind::Box:
      break;
  }
  return "box";
}

const char* ModeName(SynthMode mode) {
  switch (mode) {
    case SynthMode::Rotation:
      return "rotation";
    case SynthMode::Slide:
      return "slide";
    case SynthMode::Scan:
      break;
  }
  return "scan";
}

double SyntheticScene::FrameAngle(int k) const {
  if (options.mode != SynthMode::Rotation) return 0;
  // As the scan run forms it: the product in single precision, then the
  // conversion to radians with its own value of pi, again in single.
  const float degrees = static_cast<float>(static_cast<long double>(stepAngle) * k);
  return static_cast<float>(static_cast<long double>(degrees) * 3.14159265359L *
                            static_cast<long double>(1.0 / 180));
}

double SyntheticScene::FrameShift(int k) const {
  if (options.mode != SynthMode::Slide) return 0;
  return static_cast<float>(static_cast<long double>(slideStep) * k);
}

FrameScene SyntheticScene::Frame(int k) const {
  FrameScene f;
  f.calib = calibration;
  f.calib.XL = frameXL.at(static_cast<size_t>(k));
  f.width = Width();
  f.height = Height();
  f.noiseSeed = 1000 + static_cast<uint32_t>(k);
  f.solids.push_back({object.get(), FrameAngle(k), FrameShift(k)});
  if (options.mode == SynthMode::Scan) f.solids.push_back({staircase.get(), 0, 0});
  return f;
}

FrameScene SyntheticScene::ReferenceFrame() const {
  if (options.mode == SynthMode::Scan) return Frame(0);
  FrameScene f;
  f.calib = calibration;
  f.width = Width();
  f.height = Height();
  f.noiseSeed = 999;
  f.solids.push_back({staircase.get(), 0, 0});
  return f;
}

SyntheticScene MakeSyntheticScene(const SceneOptions& options) {
  SyntheticScene scene;
  scene.options = options;
  scene.frames = options.frames == 0 ? DefaultFrameCount(options.mode) : options.frames;
  scene.options.frames = scene.frames;
  CheckOptions(options, scene.frames);
  const int width = options.width, height = options.height;
  const int cx = width / 2, cy = height / 2;
  const LightSectionCalibration c = options.calibration.value_or(DefaultCalibration(width, height));
  scene.calibration = c;
  const SynthMode mode = options.mode;

  // Place the object and the light's sweep.
  auto object = MakeObject(options.object, mode, 0);
  const Box3 bounds = object->Bounds();
  const double zMid = 0.5 * (bounds.min.z + bounds.max.z);
  const double sweep = SweepWidth(bounds, c);
  if (mode == SynthMode::Rotation) {
    scene.stepAngle = AsWrittenInSettings(options.step.value_or(360.0 / scene.frames));
  } else if (mode == SynthMode::Slide) {
    const double step = options.step.value_or(sweep / scene.frames);
    scene.slideStep = AsWrittenInSettings(step);
    // Frame k moves the object by -k * step; centre the slide on the object.
    const double travel = scene.slideStep * (scene.frames - 1);
    const double xMid = 0.5 * (bounds.min.x + bounds.max.x);
    object = MakeObject(options.object, mode, SheetX(c, zMid) + 0.5 * travel - xMid);
  }
  scene.object = std::move(object);
  scene.staircase = MakeStaircase();
  scene.frameXL.assign(static_cast<size_t>(scene.frames), c.XL);
  if (mode == SynthMode::Scan) {
    // Turn the sheet about the light source so that it crosses the object's
    // middle depth at evenly spaced X from one side of the object to the
    // other, half a step in from either end.
    const double xMid = 0.5 * (bounds.min.x + bounds.max.x);
    for (int k = 0; k < scene.frames; ++k) {
      const double x = xMid - 0.5 * sweep + sweep * (k + 0.5) / scene.frames;
      scene.frameXL[static_cast<size_t>(k)] = c.f * (x + c.h) / (zMid + c.Z0);
    }
  }

  // The object must be in view: the space it sweeps when turned, where the
  // light crosses its middle when slid, or where it stands.
  Box3 envelope = scene.object->Bounds();
  if (mode == SynthMode::Rotation) {
    double radius = 0;
    for (double x : {envelope.min.x, envelope.max.x})
      for (double z : {envelope.min.z, envelope.max.z}) radius = std::max(radius, std::hypot(x, z));
    envelope = {{-radius, envelope.min.y, -radius}, {radius, envelope.max.y, radius}};
  } else if (mode == SynthMode::Slide) {
    const double shift = scene.FrameShift(scene.frames / 2);
    envelope.min.x -= shift, envelope.max.x -= shift;
  }
  if (!BoxInView(c, width, height, envelope))
    throw SceneError(std::string("the ") + ObjectKindName(options.object) +
                     " does not fit in the camera's view of a " + SizeText(width, height) +
                     " frame with XL " + std::to_string(c.XL) + ", h " + std::to_string(c.h) + ", Z0 " +
                     std::to_string(c.Z0) + ", f " + std::to_string(c.f));

  // Reference corners where frame 0's sheet cuts the risers' lower ends,
  // lowest in the image first.
  const FrameScene referenceFrame = scene.ReferenceFrame();
  const LightSectionCalibration& rc = referenceFrame.calib;
  for (int j = 0; j < 5; ++j) {
    const Riser& r = kRisers[4 - j];
    const Vec3 corner{SheetX(rc, r.z), r.bottom, r.z};
    const ScreenPoint s = ProjectToScreen(rc, corner);
    scene.referenceCorners[static_cast<size_t>(j)] = {r.bottom, r.z, ColumnFromU(s.u, cx), RowFromV(s.v, cy)};
  }
  {
    const double bottom = scene.object->Bounds().min.y;
    scene.rotationCentre = {bottom, 0, static_cast<double>(cx), RowFromV(c.f * bottom / c.Z0, cy)};
  }

  // Rectangles around the stripe where it falls on each body, in every frame.
  PixelRect onObject{1, 0, 0, 0}, onStaircase{1, 0, 0, 0};
  const int staircaseIndex = mode == SynthMode::Scan ? 1 : 0;
  if (mode != SynthMode::Scan) {
    for (const StripePoint& p : TraceStripePoints(referenceFrame)) Include(onStaircase, p.column, p.row);
  }
  for (int k = 0; k < scene.frames; ++k) {
    for (const StripePoint& p : TraceStripePoints(scene.Frame(k))) {
      if (p.solidIndex == 0) Include(onObject, p.column, p.row);
      if (mode == SynthMode::Scan && p.solidIndex == staircaseIndex) Include(onStaircase, p.column, p.row);
    }
  }
  if (onObject.x1 > onObject.x2)
    throw SceneError("the light never falls on a part of the object that the camera sees");

  // The staircase must show all five risers to the camera.
  const auto staircaseStripe = TraceStripePoints(referenceFrame);
  for (const ReferenceCorner& corner : scene.referenceCorners) {
    const int rowAbove = static_cast<int>(std::floor(corner.row)) - 1;
    const bool seen = std::any_of(staircaseStripe.begin(), staircaseStripe.end(), [&](const StripePoint& p) {
      return p.row == rowAbove && p.solidIndex == staircaseIndex && std::abs(p.column - corner.column) < 1;
    });
    if (!seen || !InView(rc, width, height, {SheetX(rc, corner.realZ), corner.realY, corner.realZ}))
      throw SceneError("the reference staircase does not fit in the camera's view of a " +
                       SizeText(width, height) + " frame");
  }
  // As a user drags it: around the object as it stands where the light
  // crosses its middle, and around every stripe point.
  {
    FrameScene middle = scene.Frame(mode == SynthMode::Slide ? scene.frames / 2 : 0);
    middle.solids.resize(1);
    if (const auto span = SolidsScreenSpan(middle)) {
      Include(onObject, span->x1, onObject.y1);
      Include(onObject, span->x2, onObject.y1);
    }
  }
  scene.scanRect = Widen(onObject, 24, 8, width, height);
  scene.referenceRect = Widen(onStaircase, 48, 8, width, height);
  if (mode == SynthMode::Scan && scene.scanRect.y2 >= scene.referenceRect.y1)
    throw SceneError("the object and the reference staircase overlap in the image");
  return scene;
}

}  // namespace km::synth
