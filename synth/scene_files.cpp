#include "synth/scene_files.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "calib/settings_file.h"
#include "common/context.h"
#include "common/errors.h"
#include "common/headless_platform.h"
#include "common/image_writers.h"
#include "common/numbers.h"

namespace km::synth {
namespace {

QJsonObject RectJson(const PixelRect& r) { return {{"x1", r.x1}, {"y1", r.y1}, {"x2", r.x2}, {"y2", r.y2}}; }

QJsonObject SolidJson(const SolidObject& solid) {
  QJsonObject params;
  for (const auto& [name, value] : solid.Parameters()) params.insert(QString::fromStdString(name), value);
  return {{"kind", QString::fromStdString(solid.Kind())}, {"parameters", params}};
}

void WriteTextFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (out) out.close();
  if (!out) throw FileError(path + ": " + std::strerror(errno ? errno : EIO));
}

const char* Extension(FrameFormat format) { return format == FrameFormat::Bmp ? ".bmp" : ".jpg"; }

void WriteFrame(const std::string& path, const Raster& raster, FrameFormat format) {
  if (format == FrameFormat::Bmp) {
    WriteBmpFile(path, raster);
  } else {
    WriteJpegFile(path, raster, 90);
  }
}

}  // namespace

std::string FrameFileName(int k, FrameFormat format) {
  char name[32];
  std::snprintf(name, sizeof name, "Obj%04d%s", k + 1, Extension(format));
  return name;
}

std::string ReferenceFileName(FrameFormat format) { return std::string("Ref") + Extension(format); }

void FillSceneSettings(const SyntheticScene& scene, SettingsState& settings) {
  settings = SettingsState();
  for (size_t j = 0; j < scene.referenceCorners.size(); ++j) {
    const ReferenceCorner& p = scene.referenceCorners[j];
    const int n = static_cast<int>(j);
    settings.Edit(5 + 2 * n).text = WholeNumberText(std::lround(p.column));
    settings.Edit(6 + 2 * n).text = WholeNumberText(std::lround(p.row));
    settings.Edit(17 + 2 * n).text = GeneralNumberText(p.realY);
    settings.Edit(18 + 2 * n).text = GeneralNumberText(p.realZ);
  }
  settings.Edit(15).text = WholeNumberText(std::lround(scene.rotationCentre.column));
  settings.Edit(16).text = WholeNumberText(std::lround(scene.rotationCentre.row));
  settings.Edit(27).text = GeneralNumberText(scene.rotationCentre.realY);
  settings.RadioGroup2.index = static_cast<int>(scene.options.mode);
  settings.Edit(1).text = GeneralNumberText(scene.stepAngle);
  settings.Edit(2).text = GeneralNumberText(scene.slideStep);
  settings.RadioGroup3.index = kLightingSlit;
  settings.CheckBox3 = true;
  settings.CheckBox4 = false;
  ApplyModeColours(settings);
}

std::string SceneDescriptionJson(const SyntheticScene& scene, FrameFormat format) {
  const LightSectionCalibration& c = scene.calibration;
  QJsonArray points;
  for (size_t j = 0; j < scene.referenceCorners.size(); ++j) {
    const ReferenceCorner& p = scene.referenceCorners[j];
    points.append(QJsonObject{{"point", static_cast<int>(j + 1)},
                              {"realY", p.realY},
                              {"realZ", p.realZ},
                              {"column", p.column},
                              {"row", p.row}});
  }
  QJsonObject root{
      {"generator", "kelmorph-batch synth"},
      {"object", SolidJson(*scene.object)},
      {"referenceBody", SolidJson(*scene.staircase)},
      {"mode", ModeName(scene.options.mode)},
      {"modeIndex", static_cast<int>(scene.options.mode)},
      {"frames", scene.frames},
      {"width", scene.Width()},
      {"height", scene.Height()},
      {"firstFrame", QString::fromStdString(FrameFileName(0, format))},
      {"lastFrame", QString::fromStdString(FrameFileName(scene.frames - 1, format))},
      {"referenceFrame", QString::fromStdString(ReferenceFileName(format))},
      {"settingsFile", kSceneSettingsFileName},
      {"stepAngle", scene.stepAngle},
      {"slideStep", scene.slideStep},
      {"faceFront", false},
      {"calibration", QJsonObject{{"XL", c.XL}, {"h", c.h}, {"Z0", c.Z0}, {"f", c.f}}},
      {"scanRect", RectJson(scene.scanRect)},
      {"referenceRect", RectJson(scene.referenceRect)},
      {"referencePoints", points},
      {"rotationCentre", QJsonObject{{"column", scene.rotationCentre.column},
                                     {"row", scene.rotationCentre.row},
                                     {"realY", scene.rotationCentre.realY}}},
      {"pixelSizeAtAxis", 0.75 * c.Z0 / c.f},
      {"truth",
       "A point the scan stores for frame k (face front off) lies on the object's surface in the object's "
       "own "
       "coordinates: Rotation turns profile k by k times stepAngle about the Y axis, Slide adds k times "
       "slideStep "
       "to X, Scan keeps the points as measured."},
  };
  if (scene.options.mode == SynthMode::Scan) {
    QJsonArray xl;
    for (double v : scene.frameXL) xl.append(v);
    root.insert("frameXL", xl);
  }
  return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

void WriteSyntheticScene(const SyntheticScene& scene, const std::string& directory, FrameFormat format,
                         const std::function<void(int, int)>& progress) {
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  if (error) throw FileError(directory + ": " + error.message());
  const std::filesystem::path dir(directory);
  {
    HeadlessPlatform platform;
    Context ctx(platform);
    FillSceneSettings(scene, ctx.settings);
    WriteSettingsFile(ctx, (dir / kSceneSettingsFileName).string());
  }
  WriteTextFile((dir / kSceneDescriptionFileName).string(), SceneDescriptionJson(scene, format));
  WriteFrame((dir / ReferenceFileName(format)).string(), RenderFrame(scene.ReferenceFrame()), format);
  for (int k = 0; k < scene.frames; ++k) {
    WriteFrame((dir / FrameFileName(k, format)).string(), RenderFrame(scene.Frame(k)), format);
    if (progress) progress(k + 1, scene.frames);
  }
}

}  // namespace km::synth
