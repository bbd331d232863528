// Model export on a full store: 719 profiles of 3000 points of a smooth
// turntable surface, thinned with Max polygon length 30 and Error
// threshold 0.5, then written as DXF, MQO and VRML.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <ostream>
#include <streambuf>

#include "export/dxf_writer.h"
#include "export/mqo_writer.h"
#include "export/thinning.h"
#include "export/vrml_writer.h"
#include "scan/point_cloud_store.h"

namespace {

using km::PointCloudStore;
using km::ThinnedProfiles;

constexpr int kFrameCounter = PointCloudStore::MaxFrames - 1;

// A vase on the turntable: radius varying smoothly with the height and a
// little with the angle, profile k turned by k times 0.5 degrees.
const PointCloudStore& FullStore() {
  static const std::unique_ptr<PointCloudStore> store = [] {
    auto s = std::make_unique<PointCloudStore>();
    for (int p = 0; p <= kFrameCounter; ++p) {
      const double angle = p * 0.5 * 3.14159265358979 / 180;
      for (int k = 0; k < PointCloudStore::MaxPoints; ++k) {
        const double y = 0.05 * k;
        const double radius = 40 + 8 * std::sin(y / 12 + angle) + 3 * std::cos(y / 5);
        s->X(k, p) = static_cast<float>(radius * std::cos(angle));
        s->Y(k, p) = static_cast<float>(y - 75);
        s->Z(k, p) = static_cast<float>(radius * std::sin(angle));
      }
      s->lastIndex[p] = PointCloudStore::MaxPoints - 1;
    }
    return s;
  }();
  return *store;
}

const ThinnedProfiles& FullModel() {
  static const ThinnedProfiles model = km::ThinProfiles(FullStore(), kFrameCounter, 30, 0.5f);
  return model;
}

// Counts the bytes and drops them, so that the figures show the writer's
// own work.
class CountingBuf : public std::streambuf {
 public:
  long long bytes = 0;

 protected:
  std::streamsize xsputn(const char*, std::streamsize n) override {
    bytes += n;
    return n;
  }
  int_type overflow(int_type ch) override {
    ++bytes;
    return traits_type::not_eof(ch);
  }
};

void BM_ThinProfiles(benchmark::State& state) {
  const PointCloudStore& store = FullStore();
  long long vertices = 0;
  for (auto _ : state) {
    ThinnedProfiles model = km::ThinProfiles(store, kFrameCounter, 30, 0.5f);
    vertices = model.vertexCount;
    benchmark::DoNotOptimize(model);
  }
  state.counters["vertices"] = static_cast<double>(vertices);
  state.counters["faces"] = static_cast<double>(km::CountFaces(FullModel()));
  state.SetItemsProcessed(state.iterations() * (kFrameCounter + 1) * PointCloudStore::MaxPoints);
}
BENCHMARK(BM_ThinProfiles)->Unit(benchmark::kMillisecond)->MinTime(2);

template <class Write>
void RunWriter(benchmark::State& state, Write write) {
  const ThinnedProfiles& model = FullModel();
  long long bytes = 0;
  for (auto _ : state) {
    CountingBuf buf;
    std::ostream out(&buf);
    write(out, model);
    bytes = buf.bytes;
  }
  state.counters["MB"] = static_cast<double>(bytes) / 1e6;
  state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_WriteDxf(benchmark::State& state) {
  RunWriter(state, [](std::ostream& out, const ThinnedProfiles& m) { km::WriteDxf(out, m); });
}
BENCHMARK(BM_WriteDxf)->Unit(benchmark::kMillisecond)->MinTime(2);

void BM_WriteMqo(benchmark::State& state) {
  RunWriter(state, [](std::ostream& out, const ThinnedProfiles& m) { km::WriteMqo(out, m); });
}
BENCHMARK(BM_WriteMqo)->Unit(benchmark::kMillisecond)->MinTime(2);

void BM_WriteVrml2(benchmark::State& state) {
  RunWriter(state, [](std::ostream& out, const ThinnedProfiles& m) { km::WriteVrml(out, m, 2); });
}
BENCHMARK(BM_WriteVrml2)->Unit(benchmark::kMillisecond)->MinTime(2);

// The whole path a save takes for DXF after the thinning: temporary file,
// flush to disk, rename.
void BM_SaveDxfFile(benchmark::State& state) {
  const ThinnedProfiles& model = FullModel();
  char pattern[] = "/tmp/kelmorph-bench-XXXXXX";
  const std::string dir = ::mkdtemp(pattern);
  const std::string path = dir + "/model.dxf";
  for (auto _ : state) km::WriteDxf(path, model);
  std::FILE* f = std::fopen(path.c_str(), "rb");
  std::fseek(f, 0, SEEK_END);
  const long bytes = std::ftell(f);
  std::fclose(f);
  std::remove(path.c_str());
  std::remove(dir.c_str());
  state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_SaveDxfFile)->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace

BENCHMARK_MAIN();
