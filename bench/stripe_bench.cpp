// Throughput of the per-row stripe detector on a camera-sized frame.

#include <benchmark/benchmark.h>

#include <random>

#include "scan/stripe_detection.h"

namespace km {
namespace {

// 2048 x 1536 frame, textured background, one slanted slit line.
Raster CameraFrame() {
  Raster frame;
  frame.Resize(2048, 1536);
  std::mt19937 rng(42);
  std::uniform_int_distribution<int> noise(20, 60);
  for (auto& p : frame.pixels) p = static_cast<uint8_t>(noise(rng));
  for (int y = 0; y < frame.height; ++y) {
    const int x0 = 900 + y / 8;
    for (int x = x0; x < x0 + 4; ++x) {
      uint8_t* p = frame.Row(y) + 3 * x;
      p[0] = p[1] = p[2] = 250;
    }
  }
  return frame;
}

void BM_DetectStripeRows(benchmark::State& state) {
  const Raster frame = CameraFrame();
  const PixelRect area = ClipDetectionRect(PixelRect{424, 168, 1623, 1367}, frame);
  const StripeSettings settings{state.range(0) != 0, 20, 1024};
  StripeTable table;
  StripeRowBuffers buffers;
  for (auto _ : state) {
    DetectStripeRows(frame, area, table, settings, buffers);
    benchmark::DoNotOptimize(table.column.data());
  }
  const double pixels = 1200.0 * 1200.0;
  state.counters["MP/s"] = benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
  state.SetLabel(state.range(0) ? "Step" : "Slit");
}
BENCHMARK(BM_DetectStripeRows)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace km

BENCHMARK_MAIN();
