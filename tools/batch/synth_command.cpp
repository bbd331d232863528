// kelmorph-batch synth: renders a synthetic light-section scene into a folder.

#include <QCommandLineParser>
#include <cmath>
#include <cstdio>
#include <string>

#include "common/errors.h"
#include "synth/scene_files.h"
#include "synth/synthetic_scene.h"
#include "tools/batch/batch_support.h"
#include "tools/batch/commands.h"
#include "tools/batch/scene_options.h"

namespace km::batch {
namespace {

const char* kSynthUsage =
    "usage: kelmorph-batch synth OUTDIR --object cylinder|sphere|vase|box\n"
    "           [--mode rotation|slide|scan] [--frames N] [--size WxH] [--format jpg|bmp]\n"
    "           [--step S] [--calib XL,h,Z0,f]\n"
    "Renders the frames a light-section scanner would take of the object\n"
    "(Obj0001.jpg, ...), a frame of the reference staircase (Ref.jpg), the\n"
    "settings file that goes with them (kelmorph.cfg) and scene.json with the\n"
    "scan and reference rectangles, the calibration and the true object.\n"
    "Defaults: --mode rotation, --frames 200 (rotation) or 100, --size 2048x1536,\n"
    "--format jpg; --step: degrees per frame for a full turn (rotation) or the\n"
    "slide that carries the light across the object (slide); --calib: the\n"
    "default settings' calibration scaled to the frame size.\n";

}  // namespace

int SynthCommand(const QStringList& args) {
  using namespace km::synth;
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const SceneOptionSet sceneOptions;
  const QCommandLineOption formatOption("format", "Frame file format.", "FORMAT");
  const QCommandLineOption stepOption("step", "Degrees or real units per frame.", "S");
  const QCommandLineOption calibOption("calib", "Calibration to render with.", "XL,h,Z0,f");
  const QCommandLineOption helpOption({"h", "help"}, "Show this help.");
  sceneOptions.AddTo(parser);
  parser.addOptions({formatOption, stepOption, calibOption, helpOption});
  const QString usage = QString::fromUtf8(kSynthUsage);

  if (!parser.parse(args)) return UsageError(usage, parser.errorText().toStdString());
  if (parser.isSet(helpOption)) {
    std::fputs(kSynthUsage, stdout);
    return 0;
  }
  const QStringList positional = parser.positionalArguments();
  if (positional.size() != 1)
    return UsageError(usage, positional.isEmpty() ? "OUTDIR is required" : "only one OUTDIR");
  for (const auto* option : {&formatOption, &stepOption, &calibOption}) {
    if (parser.values(*option).size() > 1)
      return UsageError(usage, "--" + option->names().first().toStdString() + " given more than once");
  }

  SceneOptions options;
  if (!parser.isSet(sceneOptions.object)) return UsageError(usage, "--object is required");
  if (const auto error = sceneOptions.Read(parser, options)) return UsageError(usage, *error);
  FrameFormat format = FrameFormat::Jpeg;
  if (parser.isSet(formatOption)) {
    const std::pair<const char*, FrameFormat> formats[] = {{"jpg", FrameFormat::Jpeg},
                                                           {"bmp", FrameFormat::Bmp}};
    const auto chosen = Choose(parser.value(formatOption), formats);
    if (!chosen) return UsageError(usage, "--format must be jpg or bmp");
    format = *chosen;
  }
  if (parser.isSet(stepOption)) {
    bool ok = false;
    const double step = parser.value(stepOption).toDouble(&ok);
    if (!ok || !std::isfinite(step) || step <= 0) return UsageError(usage, "--step needs a positive number");
    options.step = step;
  }
  if (parser.isSet(calibOption)) {
    const QStringList parts = parser.value(calibOption).split(',');
    double v[4];
    bool ok = parts.size() == 4;
    for (int i = 0; ok && i < 4; ++i) v[i] = parts[i].trimmed().toDouble(&ok);
    if (!ok) return UsageError(usage, "--calib needs four numbers XL,h,Z0,f");
    options.calibration = LightSectionCalibration{v[0], v[1], v[2], v[3]};
  }

  SyntheticScene scene;
  try {
    scene = MakeSyntheticScene(options);
  } catch (const SceneError& e) {
    return UsageError(usage, e.what());
  }
  const std::string directory = PathArg(positional.first());
  try {
    WriteSyntheticScene(scene, directory, format, [](int done, int total) {
      if (done % 20 == 0 || done == total) std::fprintf(stderr, "\rrendered %d of %d frames", done, total);
      if (done == total) std::fputc('\n', stderr);
    });
  } catch (const KelError& e) {
    return Failure(e.what());
  }
  const PixelRect& s = scene.scanRect;
  const PixelRect& r = scene.referenceRect;
  std::printf(
      "%s: %d frames of %dx%d, %s %s\nscan rectangle: %d,%d,%d,%d\nreference rectangle: %d,%d,%d,%d\n",
      directory.c_str(), scene.frames, scene.Width(), scene.Height(), ObjectKindName(options.object),
      ModeName(options.mode), s.x1, s.y1, s.x2, s.y2, r.x1, r.y1, r.x2, r.y2);
  return 0;
}

}  // namespace km::batch
