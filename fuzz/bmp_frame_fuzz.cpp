// libFuzzer target: BMP frame decoding from arbitrary bytes.

#include <cstddef>
#include <cstdint>

#include "app/frame_decoders.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  km::fuzz::SilenceQt();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  km::Raster out;
  km::fuzz::CheckDecoded(km::DecodeBmpBytes(data, size, out, km::fuzz::kFuzzMaxPixels), out);
  return 0;
}
