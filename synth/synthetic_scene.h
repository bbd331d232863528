#pragma once
// A complete synthetic scan: an object, a reference staircase, a calibration,
// a mode and a frame count, with the rectangles and reference points a user
// would mark, the frames' geometry and the ground truth to compare a scan
// with.

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/workspace_state.h"
#include "common/errors.h"
#include "synth/light_section_geometry.h"
#include "synth/objects.h"
#include "synth/scene_renderer.h"

namespace km::synth {

enum class SynthObjectKind { Cylinder, Sphere, Vase, Box };
// Numbered as the settings' Mode index.
enum class SynthMode { Rotation = 0, Slide = 1, Scan = 2 };

// Impossible scene parameters; what() says which and why.
class SceneError : public KelError {
 public:
  using KelError::KelError;
};

struct SceneOptions {
  SynthObjectKind object = SynthObjectKind::Cylinder;
  SynthMode mode = SynthMode::Rotation;
  int frames = 0;  // 0: the mode's default (DefaultFrameCount)
  int width = 2048;
  int height = 1536;
  // Degrees per frame (Rotation) or real units per frame (Slide); by default
  // a full turn over the frames, or a slide that carries the light across
  // the whole object. Unused in Scan mode.
  std::optional<double> step;
  // Default: DefaultCalibration(width, height).
  std::optional<LightSectionCalibration> calibration;
};

// Frame limits the scan imposes, and the smallest frame whose stripe the
// detector's width test still accepts.
inline constexpr int kMaxSceneRows = 3000;
inline constexpr int kMaxSceneColumns = 4000;
inline constexpr int kMaxSceneFrames = 719;
inline constexpr int kMinSceneWidth = 640;
inline constexpr int kMinSceneHeight = 480;

int DefaultFrameCount(SynthMode mode);

// The calibration that the default settings solve to on a 2048 by 1536
// frame (XL 924.477, h 50.1518, Z0 85.0216, f 1483.89), with XL and f scaled
// so that the same real field of view fits a frame of the given size.
LightSectionCalibration DefaultCalibration(int width, int height);

// A corner of the reference staircase: its real Y and Z and where the
// camera sees it (fractional pixel column and row).
struct ReferenceCorner {
  double realY = 0, realZ = 0;
  double column = 0, row = 0;
};

struct SyntheticScene {
  SceneOptions options;  // as given, with frames resolved
  int frames = 0;
  double stepAngle = 1.8;               // degrees per frame, as the settings file holds it
  double slideStep = 0.5;               // real units per frame, as the settings file holds it
  LightSectionCalibration calibration;  // of frame 0 and the reference frame
  std::vector<double> frameXL;          // XL of every frame (Scan mode sweeps the sheet)
  std::unique_ptr<SolidObject> object;
  std::unique_ptr<SolidObject> staircase;
  // Points 1 to 5 as the reference detection lists them: lowest in the image first.
  std::array<ReferenceCorner, 5> referenceCorners;
  ReferenceCorner rotationCentre;  // on the turntable axis
  PixelRect scanRect;              // around the object's stripe in every frame
  PixelRect referenceRect;         // around the staircase's stripe

  int Width() const { return options.width; }
  int Height() const { return options.height; }
  // Frame k (0-based) of the sequence.
  FrameScene Frame(int k) const;
  // The frame for Ref_read: the staircase alone (Rotation, Slide), or frame 0
  // (Scan, where the staircase stands below the object in every frame).
  FrameScene ReferenceFrame() const;
  // The scan run's angle (radians) and shift of profile k, computed as the
  // scan computes them.
  double FrameAngle(int k) const;
  double FrameShift(int k) const;
  // Distance of a scanned point (as the scan stores it, face front off) from
  // the object's true surface.
  double DistanceFromObject(const Vec3& scanned) const { return object->DistanceToSurface(scanned); }
};

// Builds the scene; throws SceneError for impossible options (a frame larger
// than the store or the detector's buffers take, or smaller than the
// detector's width test allows, a frame count outside 1 to 719, a calibration
// that is not positive, an object or reference body outside the camera's
// view).
SyntheticScene MakeSyntheticScene(const SceneOptions& options);

const char* ObjectKindName(SynthObjectKind kind);
const char* ModeName(SynthMode mode);

}  // namespace km::synth
