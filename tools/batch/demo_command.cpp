// kelmorph-batch demo: renders a synthetic scan of a vase on the turntable,
// then does what a user does in the windows with those files (LOAD the
// reference frame, drag, Ref_read, LOAD the first frame, drag, SCAN, SAVE),
// and reports how exact the model is against the true vase.

#include <unistd.h>

#include <QCommandLineParser>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "calib/settings_file.h"
#include "common/context.h"
#include "common/errors.h"
#include "common/headless_platform.h"
#include "common/image_writers.h"
#include "common/numbers.h"
#include "export/save_command.h"
#include "synth/accuracy.h"
#include "synth/scene_files.h"
#include "synth/synthetic_scene.h"
#include "tools/batch/batch_support.h"
#include "tools/batch/commands.h"
#include "tools/batch/scene_options.h"

namespace km::batch {
namespace {

using namespace km::synth;

const char* kDemoUsage =
    "usage: kelmorph-batch demo [DIR] [--object cylinder|sphere|vase|box]\n"
    "           [--mode rotation|slide|scan] [--frames N] [--size WxH]\n"
    "Renders a synthetic light-section scan into DIR (default ./kelmorph-demo):\n"
    "a vase turned on the turntable, 91 frames of 1024x768 (Obj0001.jpg, ...),\n"
    "the reference staircase (Ref.jpg), the settings file kelmorph.cfg and\n"
    "scene.json. Then it loads the settings, finds the reference points on\n"
    "Ref.jpg (Ref_read), scans the frames, saves the model as Obj0001.dxf and\n"
    "Obj0001.wrl (VRML 2.0) in DIR, and prints how far the scanned points lie\n"
    "from the true surface. The options replace the demo's object, mode, frame\n"
    "count and frame size. A folder that cannot be written exits with status 2.\n";

constexpr SynthObjectKind kDemoObject = SynthObjectKind::Vase;
constexpr SynthMode kDemoMode = SynthMode::Rotation;
constexpr int kDemoFrames = 91;
constexpr int kDemoWidth = 1024;
constexpr int kDemoHeight = 768;
constexpr FrameFormat kDemoFormat = FrameFormat::Jpeg;

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// "0.123" with three significant decimals for the small distances.
std::string Distance(double value) { return FixedText(value, 3); }

// The frame that the scan would read after the scene's last one, if a
// previous run left it in the folder.
std::optional<std::filesystem::path> StaleNextFrame(const std::filesystem::path& dir, int frames) {
  const std::filesystem::path next = dir / FrameFileName(frames, kDemoFormat);
  std::error_code error;
  if (std::filesystem::exists(next, error)) return next;
  return std::nullopt;
}

// The scene's files as WriteSyntheticScene writes them, the frames rendered
// on up to `threads` threads (each frame depends on its number only, so the
// files are the same). progress(done, total) is called under a lock. Throws
// FileError when a file cannot be written.
void WriteDemoScene(const SyntheticScene& scene, const std::filesystem::path& dir, unsigned threads,
                    const std::function<void(int, int)>& progress) {
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) throw FileError(dir.string() + ": " + error.message());
  {
    HeadlessPlatform platform;
    Context ctx(platform);
    FillSceneSettings(scene, ctx.settings);
    WriteSettingsFile(ctx, (dir / kSceneSettingsFileName).string());
  }
  {
    const std::string path = (dir / kSceneDescriptionFileName).string();
    const std::string json = SceneDescriptionJson(scene, kDemoFormat);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(json.data(), static_cast<std::streamsize>(json.size()));
    out.close();
    if (!out) throw FileError(path + ": cannot be written");
  }
  WriteJpegFile((dir / ReferenceFileName(kDemoFormat)).string(), RenderFrame(scene.ReferenceFrame()));

  std::atomic<int> next{0};
  std::mutex progressLock;
  int done = 0;
  std::vector<std::exception_ptr> failures(threads);
  const auto work = [&](unsigned worker) {
    try {
      for (int k = next++; k < scene.frames; k = next++) {
        WriteJpegFile((dir / FrameFileName(k, kDemoFormat)).string(), RenderFrame(scene.Frame(k)));
        const std::lock_guard<std::mutex> lock(progressLock);
        ++done;
        if (progress) progress(done, scene.frames);
      }
    } catch (...) {
      failures[worker] = std::current_exception();
      next = scene.frames;  // the others stop after their frame
    }
  };
  std::vector<std::thread> pool;
  for (unsigned worker = 1; worker < threads; ++worker) {
    try {
      pool.emplace_back(work, worker);
    } catch (const std::system_error&) {
      break;  // fewer threads, same frames
    }
  }
  work(0);
  for (std::thread& t : pool) t.join();
  for (const std::exception_ptr& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
}

long long StoredPoints(const Context& ctx) {
  long long points = 0;
  for (int k = 0; k <= ctx.workspace.frameCounter && k < PointCloudStore::MaxProfiles; ++k)
    points += ctx.store->lastIndex[static_cast<size_t>(k)] + 1;
  return points;
}

}  // namespace

int DemoCommand(const QStringList& args) {
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const SceneOptionSet sceneOptions;
  const QCommandLineOption helpOption({"h", "help"}, "Show this help.");
  sceneOptions.AddTo(parser);
  parser.addOption(helpOption);
  const QString usage = QString::fromUtf8(kDemoUsage);

  if (!parser.parse(args)) return UsageError(usage, parser.errorText().toStdString());
  if (parser.isSet(helpOption)) {
    std::fputs(kDemoUsage, stdout);
    return 0;
  }
  const QStringList positional = parser.positionalArguments();
  if (positional.size() > 1) return UsageError(usage, "one DIR only");
  SceneOptions options;
  options.object = kDemoObject;
  options.mode = kDemoMode;
  options.frames = kDemoFrames;
  options.width = kDemoWidth;
  options.height = kDemoHeight;
  if (const auto error = sceneOptions.Read(parser, options)) return UsageError(usage, *error);

  // On the turntable the last frame shows the object as the first does, one
  // full turn later, so that SAVE joins the model all round.
  if (options.mode == SynthMode::Rotation && options.frames > 1) options.step = 360.0 / (options.frames - 1);

  SyntheticScene scene;
  try {
    scene = MakeSyntheticScene(options);
  } catch (const SceneError& e) {
    return UsageError(usage, e.what());
  }

  const std::string directory =
      positional.isEmpty() ? std::string("kelmorph-demo") : PathArg(positional.first());
  const std::filesystem::path dir(directory);
  // The scan goes on while the next numbered frame exists: frames of an
  // earlier, longer run in the same folder would join this one.
  if (const auto stale = StaleNextFrame(dir, scene.frames))
    return Failure("kelmorph-batch: " + stale->string() +
                   " is left from an earlier run and the scan would read it as the next frame; "
                   "choose another folder or remove the frames after " +
                   FrameFileName(scene.frames - 1, kDemoFormat));

  const bool showProgress = isatty(fileno(stderr)) != 0;
  const auto renderStart = std::chrono::steady_clock::now();
  try {
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    WriteDemoScene(scene, dir, threads, [&](int done, int total) {
      if (!showProgress) return;
      std::fprintf(stderr, "\rrendering frame %d of %d", done, total);
      if (done == total) std::fputc('\n', stderr);
      std::fflush(stderr);
    });
  } catch (const KelError& e) {
    if (showProgress) std::fputc('\n', stderr);
    return Failure("kelmorph-batch: cannot write the demo into " + directory + ": " + e.what());
  }
  const double renderSeconds = SecondsSince(renderStart);

  BatchPlatform platform;
  Context ctx(platform);
  double scanSeconds = 0, saveSeconds = 0;
  ModelFileStats stats;
  std::string dxfPath, vrmlPath;
  try {
    const auto scanStart = std::chrono::steady_clock::now();
    // The same steps as a user's in the windows; a failed Ref_read's
    // message has gone to standard error already.
    if (!ScanSceneFolder(ctx, platform, scene, directory, kDemoFormat)) return 2;
    scanSeconds = SecondsSince(scanStart);

    // SAVE twice: Output mode DXF, then VRML 2.0.
    const auto saveStart = std::chrono::steady_clock::now();
    for (const int outputMode : {kOutputDxf, kOutputVrml2}) {
      ctx.settings.RadioGroup1.index = outputMode;
      const std::string extension = OutputExtension(outputMode);
      ctx.workspace.sequenceName.extension = extension;
      const std::string path = (dir / (ctx.workspace.sequenceName.displayName + extension)).string();
      stats = WriteModelFile(ctx, path);
      (outputMode == kOutputDxf ? dxfPath : vrmlPath) = path;
    }
    saveSeconds = SecondsSince(saveStart);
  } catch (const std::exception& e) {
    return Failure(e.what());
  }

  const ScanAccuracy accuracy = MeasureScanAccuracy(scene, *ctx.store, ctx.workspace.frameCounter);
  const CalibrationBlock& c = ctx.calib;
  // The geometry the last scanned frame was rendered with (in Scan mode the
  // light sheet turns from frame to frame).
  const LightSectionCalibration truth =
      scene.Frame(std::clamp(ctx.workspace.frameCounter, 0, scene.frames - 1)).calib;
  const double pixelSize = PixelSizeAtDepth(truth, truth.Z0);
  const double rowShare = accuracy.stripeRows > 0
                              ? 100.0 * static_cast<double>(accuracy.rowsWithPoints) / accuracy.stripeRows
                              : 0;

  std::printf("Kel-Morph demo: a %s, %s mode, %d frames of %dx%d in %s\n", ObjectKindName(options.object),
              ModeName(options.mode), scene.frames, scene.Width(), scene.Height(), directory.c_str());
  // In Scan mode every frame recalibrates from its own view of the staircase.
  std::printf("calibration from %s: XL %s h %s Z0 %s f %s (rendered with XL %s h %s Z0 %s f %s)\n",
              options.mode == SynthMode::Scan ? "the last frame" : "Ref.jpg", FixedText(c.XL, 3).c_str(),
              FixedText(c.h, 3).c_str(), FixedText(c.Z0, 3).c_str(), FixedText(c.f, 3).c_str(),
              FixedText(truth.XL, 3).c_str(), FixedText(truth.h, 3).c_str(), FixedText(truth.Z0, 3).c_str(),
              FixedText(truth.f, 3).c_str());
  std::printf("frames: %d points: %lld vertices: %lld faces: %lld\n", ctx.workspace.frameCounter + 1,
              StoredPoints(ctx), stats.vertices, stats.faces);
  std::printf("model: %s %s\n", dxfPath.c_str(), vrmlPath.c_str());
  std::printf("seconds: render %s scan %s save %s\n", FixedText(renderSeconds, 2).c_str(),
              FixedText(scanSeconds, 2).c_str(), FixedText(saveSeconds, 2).c_str());
  std::printf("distance from the true surface (mm): median %s 95th percentile %s largest %s\n",
              Distance(accuracy.median).c_str(), Distance(accuracy.percentile95).c_str(),
              Distance(accuracy.largest).c_str());
  if (accuracy.bridgingPoints > 0)
    std::printf("%lld points bridge rows where the %s hides the stripe: filled in, up to %s mm off\n",
                accuracy.bridgingPoints, ObjectKindName(options.object),
                Distance(accuracy.bridgingLargest).c_str());
  std::printf("pixel size at the turntable axis (mm): %s\n", Distance(pixelSize).c_str());
  std::printf("stripe kept in %s%% of the %lld rows and %d of the %d frames where it falls on the %s\n",
              FixedText(rowShare, 1).c_str(), accuracy.stripeRows, accuracy.framesWithPoints,
              accuracy.framesWithStripe, ObjectKindName(options.object));
  std::fflush(stdout);
  return 0;
}

}  // namespace km::batch
