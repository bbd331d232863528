// kelmorph-batch scan: LOAD, the two drags, Ref_read, SCAN and SAVE without
// the windows.

#include <unistd.h>

#include <QCommandLineParser>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <thread>

#include "app/frame_loading.h"
#include "calib/settings_file.h"
#include "common/context.h"
#include "common/errors.h"
#include "common/numbers.h"
#include "export/save_command.h"
#include "scan/frame_prefetch.h"
#include "scan/reference_detection.h"
#include "scan/scan_run.h"
#include "tools/batch/batch_support.h"
#include "tools/batch/commands.h"

namespace km::batch {
namespace {

const char* kScanUsage =
    "usage: kelmorph-batch scan FIRST_FRAME --scan-rect X1,Y1,X2,Y2 [--ref-rect X1,Y1,X2,Y2]\n"
    "                           [--ref-read | --ref-frame FILE] [--settings FILE.cfg]\n"
    "                           [--format vrml1|vrml2|dxf|mqo|csv] [--max-polygon N]\n"
    "                           [--error-threshold T] [--jobs N] [-o OUT]\n"
    "Loads the settings file when given, loads FIRST_FRAME, marks the rectangles\n"
    "(corners as dragged), finds the reference points when --ref-read is given,\n"
    "scans FIRST_FRAME and the frames numbered after it, and saves the model in\n"
    "the given format (default: the settings' Output mode) to OUT (default: the\n"
    "first frame's name without its extension plus the format's extension, in\n"
    "the current folder, as SAVE proposes it).\n"
    "--ref-frame loads FILE first and finds the reference points on it in the\n"
    "--ref-rect, then loads FIRST_FRAME.\n"
    "--max-polygon and --error-threshold replace the settings' texts.\n"
    "--jobs sets how many threads decode frames (default: one per processor; 1 to\n"
    "64); the model is the same for any number.\n"
    "Message boxes go to standard error; a failure exits with status 2.\n";

constexpr int kMaxJobs = 64;

const std::map<QString, int> kFormats = {
    {"vrml1", kOutputVrml1}, {"vrml2", kOutputVrml2}, {"dxf", kOutputDxf},
    {"mqo", kOutputMqo},     {"csv", kOutputCsv},
};

// The batch platform of a scan. The window shows only the latest caption,
// so none is kept here; on a terminal each frame's caption (set when the
// frame starts) becomes the progress line on standard error. There is no
// view either: a frame shown is not copied into a picture (the stripe's
// trace then draws nothing), only the view's canvas is reset as for a new
// picture.
class ScanPlatform : public BatchPlatform {
 public:
  explicit ScanPlatform(bool progress) : progress_(progress) {}

  void ShowPicture(const Raster&) override {
    canvas_.SetTarget(&picture_);
    canvas_.SetPenColour(Rgb{0, 0, 0});
    canvas_.SetPenMode(PenMode::Copy);
  }

  void SetCaption(const std::string&) override {
    if (!progress_) return;
    if (started_ == 0) start_ = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const int done = started_++;
    std::fprintf(stderr, "\rframe %d  %.1f frames/s ", started_, seconds > 0 ? done / seconds : 0.0);
    std::fflush(stderr);
    lineOpen_ = true;
  }
  void ShowMessage(const std::string& text) override {
    EndProgressLine();
    BatchPlatform::ShowMessage(text);
  }
  void EndProgressLine() {
    if (lineOpen_) std::fputs("\n", stderr);
    lineOpen_ = false;
  }

 private:
  bool progress_;
  bool lineOpen_ = false;
  int started_ = 0;
  std::chrono::steady_clock::time_point start_;
};

// LOAD of a chosen file; false when nothing could be decoded.
bool LoadChosenFrame(Context& ctx, const std::string& path) {
  ctx.workspace.workingRaster = Raster{};
  LoadFramePath(ctx, path);
  return !ctx.workspace.workingRaster.Empty();
}

long long StoredPoints(const Context& ctx) {
  long long points = 0;
  for (int k = 0; k <= ctx.workspace.frameCounter && k < PointCloudStore::MaxProfiles; ++k)
    points += ctx.store->lastIndex[k] + 1;
  return points;
}

}  // namespace

int ScanCommand(const QStringList& args) {
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption scanRectOption("scan-rect", "Scan rectangle, corners as dragged.", "X1,Y1,X2,Y2");
  const QCommandLineOption refRectOption("ref-rect", "Reference rectangle, corners as dragged.",
                                         "X1,Y1,X2,Y2");
  const QCommandLineOption refReadOption("ref-read", "Find the reference points first (Ref_read).");
  const QCommandLineOption refFrameOption("ref-frame", "Frame to find the reference points on first.",
                                          "FILE");
  const QCommandLineOption jobsOption("jobs", "Threads that decode frames.", "N");
  const QCommandLineOption settingsOption("settings", "Settings file to load first.", "FILE.cfg");
  const QCommandLineOption formatOption("format", "Output format.", "FORMAT");
  const QCommandLineOption maxPolygonOption("max-polygon", "Max polygon length (Edit4).", "N");
  const QCommandLineOption thresholdOption("error-threshold", "Error threshold (Edit3).", "T");
  const QCommandLineOption outputOption({"o", "output"}, "Model file to write.", "OUT");
  const QCommandLineOption helpOption({"h", "help"}, "Show this help.");
  parser.addOptions({scanRectOption, refRectOption, refReadOption, refFrameOption, settingsOption,
                     formatOption, maxPolygonOption, thresholdOption, jobsOption, outputOption, helpOption});
  const QString usage = QString::fromUtf8(kScanUsage);

  if (!parser.parse(args)) return UsageError(usage, parser.errorText().toStdString());
  if (parser.isSet(helpOption)) {
    std::fputs(kScanUsage, stdout);
    return 0;
  }
  const QStringList positional = parser.positionalArguments();
  if (positional.size() != 1)
    return UsageError(usage, positional.isEmpty() ? "FIRST_FRAME is required" : "one FIRST_FRAME only");
  for (const auto* option : {&scanRectOption, &refRectOption, &refFrameOption, &settingsOption, &formatOption,
                             &maxPolygonOption, &thresholdOption, &jobsOption, &outputOption}) {
    if (parser.values(*option).size() > 1)
      return UsageError(usage, "--" + option->names().last().toStdString() + " given more than once");
  }
  if (!parser.isSet(scanRectOption)) return UsageError(usage, "--scan-rect is required");
  const auto scanRect = ParseRectArg(parser.value(scanRectOption));
  if (!scanRect) return UsageError(usage, "--scan-rect needs X1,Y1,X2,Y2");
  if (scanRect->Empty()) return UsageError(usage, "--scan-rect is empty");
  std::optional<PixelRect> refRect;
  if (parser.isSet(refRectOption)) {
    refRect = ParseRectArg(parser.value(refRectOption));
    if (!refRect) return UsageError(usage, "--ref-rect needs X1,Y1,X2,Y2");
  }
  if (parser.isSet(refReadOption) && parser.isSet(refFrameOption))
    return UsageError(usage, "--ref-read and --ref-frame: give one of them");
  if (parser.isSet(refReadOption) && (!refRect || refRect->Empty()))
    return UsageError(usage, "--ref-read needs a non-empty --ref-rect");
  if (parser.isSet(refFrameOption) && (!refRect || refRect->Empty()))
    return UsageError(usage, "--ref-frame needs a non-empty --ref-rect");
  int jobs = std::max(1, static_cast<int>(std::min<unsigned>(std::thread::hardware_concurrency(), kMaxJobs)));
  if (parser.isSet(jobsOption)) {
    bool ok = false;
    jobs = parser.value(jobsOption).toInt(&ok);
    if (!ok || jobs < 1 || jobs > kMaxJobs)
      return UsageError(usage, "--jobs must be a whole number from 1 to " + std::to_string(kMaxJobs));
  }
  std::optional<int> format;
  if (parser.isSet(formatOption)) {
    const auto it = kFormats.find(parser.value(formatOption).toLower());
    if (it == kFormats.end()) return UsageError(usage, "--format must be vrml1, vrml2, dxf, mqo or csv");
    format = it->second;
  }

  ScanPlatform platform(isatty(fileno(stderr)) != 0);
  Context ctx(platform);
  const auto start = std::chrono::steady_clock::now();
  try {
    if (parser.isSet(settingsOption)) ReadSettingsFile(ctx, PathArg(parser.value(settingsOption)));
    if (refRect) ctx.workspace.referenceRect = *refRect;
    // Ref_read, as a user runs it: on the reference frame when one is given
    // (loaded first), otherwise on the first frame of the sequence.
    const auto readReference = [&] {
      const size_t messagesBefore = platform.messages.size();
      DetectReference(ctx);
      // The failure message has gone to standard error already.
      return platform.messages.size() == messagesBefore;
    };
    if (parser.isSet(refFrameOption)) {
      const std::string refFrame = PathArg(parser.value(refFrameOption));
      if (!LoadChosenFrame(ctx, refFrame))
        return Failure(refFrame + ": not a JPEG or BMP frame that can be read");
      if (!readReference()) return 2;
    }
    const std::string firstFrame = PathArg(positional.first());
    if (!LoadChosenFrame(ctx, firstFrame))
      return Failure(firstFrame + ": not a JPEG or BMP frame that can be read");
    ctx.workspace.scanRect = *scanRect;
    if (parser.isSet(refReadOption) && !readReference()) return 2;

    if (jobs > 1) {
      FramePrefetcher prefetcher(ctx, jobs);
      RunScan(ctx, [&prefetcher](Context& c, int k) { return prefetcher.LoadFrame(c, k); });
    } else {
      RunScan(ctx);
    }
    platform.EndProgressLine();

    // SAVE: the Output mode, the two thinning texts, the extension.
    if (format) ctx.settings.RadioGroup1.index = *format;
    if (parser.isSet(maxPolygonOption))
      ctx.settings.Edit(4).text = parser.value(maxPolygonOption).toStdString();
    if (parser.isSet(thresholdOption))
      ctx.settings.Edit(3).text = parser.value(thresholdOption).toStdString();
    const std::string extension = OutputExtension(ctx.settings.RadioGroup1.index);
    if (extension.empty()) throw KelError(kNoOutputModeMessage);
    ctx.workspace.sequenceName.extension = extension;
    const std::string output = parser.isSet(outputOption)
                                   ? PathArg(parser.value(outputOption))
                                   : ctx.workspace.sequenceName.displayName + extension;
    const ModelFileStats stats = WriteModelFile(ctx, output);

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("frames: %d points: %lld vertices: %lld faces: %lld seconds: %s\n",
                ctx.workspace.frameCounter + 1, StoredPoints(ctx), stats.vertices, stats.faces,
                FixedText(seconds, 2).c_str());
    std::fflush(stdout);
  } catch (const std::exception& e) {
    platform.EndProgressLine();
    return Failure(e.what());
  }
  return 0;
}

}  // namespace km::batch
