// A whole scan run over 120 JPEG frames of 2048 x 1536, against decoding
// the same files alone with libjpeg (the least any scan of them costs).

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

#include "app/frame_loading.h"
#include "bench/bare_jpeg_decode.h"
#include "common/headless_platform.h"
#include "common/image_writers.h"
#include "scan/scan_run.h"

namespace km {
namespace {

constexpr int kFrames = 120;

// The sequence, written once per process into a temporary folder.
class Sequence {
 public:
  static const Sequence& Get() {
    static Sequence s;
    return s;
  }
  std::string Path(int k) const {
    char name[32];
    std::snprintf(name, sizeof name, "/Obj%04d.jpg", k + 1);
    return dir_ + name;
  }
  ~Sequence() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

 private:
  Sequence() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kelmorph-scanbench-XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data()) ? pattern : std::string(".");
    // A textured background (camera noise on a dim scene) and an object
    // lit by a slit whose column drifts from frame to frame.
    Raster frame;
    frame.Resize(2048, 1536);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> noise(0, 24);
    std::vector<uint8_t> background(frame.pixels.size());
    for (int y = 0; y < frame.height; ++y)
      for (int x = 0; x < frame.width * 3; ++x)
        background[static_cast<size_t>(y) * frame.width * 3 + x] =
            static_cast<uint8_t>(30 + (x / 3 + y) % 64 / 4 + noise(rng));
    for (int k = 0; k < kFrames; ++k) {
      frame.pixels = background;
      for (int y = 200; y < 1336; ++y) {
        const int x0 = 980 + (k % 40) + (y - 768) * (y - 768) / 4000;
        for (int x = x0; x < x0 + 5; ++x) {
          uint8_t* p = frame.Row(y) + 3 * x;
          p[0] = 200, p[1] = 210, p[2] = 255;
        }
      }
      WriteJpegFile(Path(k), frame, 90);
    }
  }
  std::string dir_;
};

using bench::DecodeStream;

void DecodeAll(const Sequence& seq, std::vector<uint8_t>& buffer) {
  for (int k = 0; k < kFrames; ++k) {
    FILE* file = std::fopen(seq.Path(k).c_str(), "rb");
    if (!file) std::abort();
    DecodeStream(file, buffer);
    std::fclose(file);
  }
}

void BM_DecodeOnly(benchmark::State& state) {
  const Sequence& seq = Sequence::Get();
  std::vector<uint8_t> buffer;
  for (auto _ : state) {
    DecodeAll(seq, buffer);
    benchmark::DoNotOptimize(buffer.data());
  }
  state.counters["frames/s"] = benchmark::Counter(kFrames, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_DecodeOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5);

// The application's own frame loading alone (LOAD, then each following
// frame into the working raster and the view's picture): what a scan costs
// beyond bare decoding before any stripe is looked for.
void BM_LoadFramesOnly(benchmark::State& state) {
  const Sequence& seq = Sequence::Get();
  HeadlessPlatform platform;
  Context ctx(platform);
  for (auto _ : state) {
    LoadFramePath(ctx, seq.Path(0));
    for (int k = 1; k < kFrames; ++k)
      if (!LoadSequenceFrame(ctx, k)) state.SkipWithError("frame missing");
  }
  state.counters["frames/s"] = benchmark::Counter(kFrames, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LoadFramesOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5);

// The headless platform keeps every caption for the tests to read; the
// window only shows the latest one.
class WindowLikePlatform : public HeadlessPlatform {
 public:
  void SetCaption(const std::string&) override {}
};

// LOAD of the first frame, then SCAN over the 1200 x 1200 scan rectangle
// until the sequence ends.
void BM_ScanSequence(benchmark::State& state) {
  const Sequence& seq = Sequence::Get();
  WindowLikePlatform platform;
  Context ctx(platform);
  ctx.workspace.scanRect = PixelRect{424, 168, 1623, 1367};
  for (auto _ : state) {
    LoadFramePath(ctx, seq.Path(0));
    RunScan(ctx);
    if (ctx.workspace.frameCounter != kFrames - 1) state.SkipWithError("run ended early");
  }
  state.counters["frames/s"] = benchmark::Counter(kFrames, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ScanSequence)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5);

}  // namespace
}  // namespace km

BENCHMARK_MAIN();
