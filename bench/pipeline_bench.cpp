// The batch scan with the following frames decoded ahead, against the same
// scan on one thread and against decoding the frames alone with libjpeg on
// one core, over 120 rendered JPEG frames of 2048 x 1536 (a cylinder on the
// turntable, quality 90). After the runs the ratios of the wall-clock times
// are printed; the aim is a pipelined scan within 0.65 of the bare decode.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

#include "app/frame_loading.h"
#include "bench/bare_jpeg_decode.h"
#include "common/headless_platform.h"
#include "common/image_writers.h"
#include "scan/frame_prefetch.h"
#include "scan/scan_run.h"
#include "synth/scene_files.h"
#include "synth/synthetic_scene.h"

namespace km {
namespace {

constexpr int kFrames = 120;

int DefaultJobs() { return std::max(1u, std::thread::hardware_concurrency()); }

// The scene, rendered once per process into a temporary folder (on every
// core: each frame depends on its number only).
class Sequence {
 public:
  static const Sequence& Get() {
    static Sequence s;
    return s;
  }
  std::string Path(int k) const { return dir_ + "/" + synth::FrameFileName(k, synth::FrameFormat::Jpeg); }
  const synth::SyntheticScene& Scene() const { return scene_; }
  ~Sequence() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

 private:
  Sequence() : scene_(MakeScene()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "kelmorph-pipebench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    dir_ = pattern;
    std::atomic<int> next{0};
    const auto render = [&] {
      for (int k; (k = next++) < kFrames;) WriteJpegFile(Path(k), synth::RenderFrame(scene_.Frame(k)), 90);
    };
    std::vector<std::thread> pool;
    for (int i = 1; i < DefaultJobs(); ++i) pool.emplace_back(render);
    render();
    for (std::thread& t : pool) t.join();
  }
  static synth::SyntheticScene MakeScene() {
    synth::SceneOptions options;
    options.object = synth::SynthObjectKind::Cylinder;
    options.frames = kFrames;
    return synth::MakeSyntheticScene(options);
  }
  synth::SyntheticScene scene_;
  std::string dir_;
};

using bench::DecodeStream;

// (a) libjpeg alone, the files one after the other on one core.
void BM_DecodeOneCore(benchmark::State& state) {
  const Sequence& seq = Sequence::Get();
  std::vector<uint8_t> buffer;
  for (auto _ : state) {
    for (int k = 0; k < kFrames; ++k) {
      FILE* file = std::fopen(seq.Path(k).c_str(), "rb");
      if (!file) std::abort();
      DecodeStream(file, buffer);
      std::fclose(file);
    }
    benchmark::DoNotOptimize(buffer.data());
  }
  state.counters["frames/s"] = benchmark::Counter(kFrames, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_DecodeOneCore)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5);

// What kelmorph-batch scan runs on: no caption kept, and no view, so a
// frame shown is not copied into a picture.
class BatchLikePlatform : public HeadlessPlatform {
 public:
  void SetCaption(const std::string&) override {}
  void ShowPicture(const Raster&) override {
    canvas_.SetTarget(&picture_);
    canvas_.SetPenColour(Rgb{0, 0, 0});
    canvas_.SetPenMode(PenMode::Copy);
  }
};

// LOAD of the first frame with the scene's settings and scan rectangle, then
// SCAN to the end of the sequence: with jobs 1 the window's own run, with
// more the frames decoded ahead as kelmorph-batch scan --jobs does.
void BM_BatchScan(benchmark::State& state) {
  const Sequence& seq = Sequence::Get();
  const int jobs = static_cast<int>(state.range(0));
  BatchLikePlatform platform;
  Context ctx(platform);
  synth::FillSceneSettings(seq.Scene(), ctx.settings);
  ctx.workspace.scanRect = seq.Scene().scanRect;
  long long points = 0;
  for (auto _ : state) {
    LoadFramePath(ctx, seq.Path(0));
    if (jobs > 1) {
      FramePrefetcher prefetcher(ctx, jobs);
      RunScan(ctx, [&prefetcher](Context& c, int k) { return prefetcher.LoadFrame(c, k); });
    } else {
      RunScan(ctx);
    }
    if (ctx.workspace.frameCounter != kFrames - 1) state.SkipWithError("run ended early");
    points = 0;
    for (int k = 0; k < kFrames; ++k) points += ctx.store->lastIndex[k] + 1;
  }
  state.counters["frames/s"] = benchmark::Counter(kFrames, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["jobs"] = jobs;
  state.counters["points"] = static_cast<double>(points);
}
// (b) single-threaded, (c) the default number of jobs.
BENCHMARK(BM_BatchScan)
    ->Name("BM_BatchScan/single")
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(5);
BENCHMARK(BM_BatchScan)
    ->Name("BM_BatchScan/pipelined")
    ->Arg(DefaultJobs())
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(5);

// Console output as usual, and each run's wall-clock time per iteration kept
// for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs)
      if (!run.error_occurred && run.run_type == Run::RT_Iteration)
        seconds[run.run_name.function_name] = run.GetAdjustedRealTime();
  }
  std::map<std::string, double> seconds;
};

}  // namespace
}  // namespace km

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  km::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  const auto& t = reporter.seconds;
  const auto decode = t.find("BM_DecodeOneCore");
  if (decode == t.end()) return 0;
  std::printf("processors: %u, default jobs: %d\n", std::thread::hardware_concurrency(), km::DefaultJobs());
  for (const char* name : {"BM_BatchScan/single", "BM_BatchScan/pipelined"}) {
    const auto it = t.find(name);
    if (it != t.end()) std::printf("%s / BM_DecodeOneCore = %.3f\n", name, it->second / decode->second);
  }
  return 0;
}
