#pragma once
// Writing a synthetic scene to a folder as a user's scan would lie on disk:
//
//   Obj0001.jpg ... ObjNNNN.jpg  the frame sequence (or .bmp)
//   Ref.jpg                      the reference staircase for Ref_read (or .bmp)
//   kelmorph.cfg                 the settings file: reference points, mode, steps
//   scene.json                   rectangles, calibration and ground truth

#include <functional>
#include <string>

#include "calib/settings_state.h"
#include "synth/synthetic_scene.h"

namespace km::synth {

enum class FrameFormat { Jpeg, Bmp };

inline constexpr const char* kSceneSettingsFileName = "kelmorph.cfg";
inline constexpr const char* kSceneDescriptionFileName = "scene.json";

// "Obj0001.jpg" for k = 0.
std::string FrameFileName(int k, FrameFormat format);
// "Ref.jpg".
std::string ReferenceFileName(FrameFormat format);

// Sets the settings that go with the scene: the reference corners' screen
// positions (rounded to whole pixels) and real Y and Z, the rotation centre,
// the mode and steps, Slit lighting, filter on, face front off (so that a
// scanned point's coordinates are the object's); the rest at its defaults.
void FillSceneSettings(const SyntheticScene& scene, SettingsState& settings);

// The scene's description as JSON.
std::string SceneDescriptionJson(const SyntheticScene& scene, FrameFormat format);

// Renders and writes every file of the scene into directory, creating it if
// needed; progress(done, total) is called after each frame. Throws FileError
// when a file cannot be written.
void WriteSyntheticScene(const SyntheticScene& scene, const std::string& directory, FrameFormat format,
                         const std::function<void(int, int)>& progress = {});

}  // namespace km::synth
