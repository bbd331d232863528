#pragma once
// Shared by the frame decoder fuzz targets.

#include <QtGlobal>
#include <cstdint>
#include <cstdlib>

#include "common/raster.h"

namespace km::fuzz {

// Lower than the product's limit so that each input runs quickly; the size
// check itself is the same code.
inline constexpr int64_t kFuzzMaxPixels = int64_t{1} << 22;

// Qt's reader warns on stderr about some damaged files; at millions of runs
// that is only noise.
inline void SilenceQt() {
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
}

// A decoder that reports success must deliver a whole raster.
inline void CheckDecoded(bool ok, const Raster& out) {
  if (!ok) return;
  const auto expected = static_cast<size_t>(out.width) * static_cast<size_t>(out.height) * 3;
  if (out.width <= 0 || out.height <= 0 || out.pixels.size() != expected ||
      int64_t{out.width} * out.height > kFuzzMaxPixels) {
    std::abort();
  }
}

}  // namespace km::fuzz
