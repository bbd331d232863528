#include "scan/stripe_detection.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <utility>

namespace km {
namespace {

constexpr float kNoStripe = -1.0f;

// Intensity (red + green + blue) of columns 0 .. W of a row; returns the sum
// and the largest value.
std::pair<int64_t, int32_t> SumRow(const uint8_t* pixels, int W, int32_t* intensity) {
  int64_t sum = 0;
  int32_t max = 0;
  for (int i = 0; i <= W; ++i) {
    const int32_t v = pixels[3 * i] + pixels[3 * i + 1] + pixels[3 * i + 2];
    intensity[i] = v;
    sum += v;
    max = std::max(max, v);
  }
  return {sum, max};
}

// Column offset of the stripe in one row (-1: none); W >= 4. Rows that do
// not fill a block of kBlockRows, and every row without vector
// instructions, take this path.
int DetectRow(const uint8_t* pixels, int W, const StripeSettings& s, StripeRowBuffers& buf) {
  int32_t* in = buf.intensity.data();
  int32_t* diff = buf.diff.data();

  const auto [rawSum, max] = SumRow(pixels, W, in);
  const float mean0 = SingleMean(rawSum, W + 1);
  if (max > 270 && static_cast<Ext>(max) > static_cast<Ext>(mean0) + 90) {
    const NormaliseFactor byMax(static_cast<uint32_t>(max));
    for (int i = 0; i <= W; ++i) in[i] = static_cast<int32_t>(byMax.Apply(static_cast<uint32_t>(in[i])));
  }

  // Five-pixel average in place: the two left neighbours are already
  // smoothed when position i is computed. The difference signal and its
  // extremes are taken in the same pass: the average's dependency on its
  // left neighbour bounds the speed, and the rest runs alongside it.
  int64_t smoothSum = 0;
  int risePos = 0, fallPos = 0;
  int32_t runMax = 0, runMin = 0;
  auto track = [&](int i, int32_t d) {
    diff[i] = d;
    if (d > runMax) risePos = i, runMax = d;
    if (d < runMin) fallPos = i, runMin = d;
  };
  diff[0] = diff[1] = 0;
  {
    // Intensities are never negative, so unsigned division (a multiply
    // and a shift) gives the same quotient.
    uint32_t a = in[0], b = in[1], c = in[2], d = in[3];
    for (int i = 2; i <= W - 2; ++i) {
      const uint32_t e = in[i + 2];
      const uint32_t v = (a + c + d + e + b) / 5u;
      in[i] = static_cast<int32_t>(v);
      smoothSum += v;
      track(i, static_cast<int32_t>(v) - static_cast<int32_t>(a));
      a = b, b = v, c = d, d = e;
    }
  }
  for (int i = W - 1; i <= W; ++i) track(i, in[i] - in[i - 2]);
  const float mean = SingleMean(smoothSum, W - 3);

  const Ext meanExt = mean;
  if (s.stepLighting) {
    // For an integer v and a real bound b, v > b exactly when v > floor(b).
    const Ext bound = meanExt + (255 - meanExt) * 0.75L;
    const int64_t floorBound = static_cast<int64_t>(std::floor(bound));
    int64_t minDiff = s.minDiff;
    int found = -1;
    for (int i = 2; i <= W; ++i) {
      // Strict: a later column replaces an earlier one only with a larger rise.
      if (in[i] > floorBound && diff[i] > minDiff) found = i, minDiff = diff[i];
    }
    return found;
  }
  const bool narrow = static_cast<Ext>(fallPos - risePos) < static_cast<Ext>(s.centreX) * 0.03125L;
  const Ext bright = meanExt + (255 - meanExt) * static_cast<Ext>(0.6);
  if (narrow && diff[risePos] > s.minDiff && static_cast<Ext>(in[risePos]) > bright) return risePos;
  return -1;
}

#if defined(__SSE2__)

// DetectRow for rows y .. y + kBlockRows - 1 at once, one row per 16-bit
// lane, with the same integer arithmetic: intensities stay at most 765 and
// five of them at most 3825, so every value and difference fits a lane.
// The in-place average depends on its left neighbour, which bounds the
// speed of a single row; eight rows run that chain side by side.
void DetectBlock(const Raster& raster, const PixelRect& r, int y, const StripeSettings& s,
                 StripeRowBuffers& buf, StripeTable& table) {
  constexpr int L = kBlockRows;
  const int W = r.x2 - r.x1;
  uint16_t* blk = buf.block.data();

  const __m128i zero = _mm_setzero_si128();
  // psadbw adds up the bytes of each 64-bit half; a 16-byte load from pixel
  // i keeps pixel i in bytes 0-2 and pixel i + 3 in bytes 9-11.
  const __m128i pixelBytes = _mm_set_epi64x(0x00000000FFFFFF00, 0x0000000000FFFFFF);
  auto tripleSums = [&](const uint8_t* from) {
    return _mm_sad_epu8(_mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from)), pixelBytes),
                        zero);
  };
  for (int l = 0; l < L; ++l) {
    const uint8_t* pixels = raster.Row(y + l) + static_cast<size_t>(r.x1) * 3;
    uint16_t* out = blk + l;
    // The same row of the next block is fetched meanwhile: each row is a
    // short stream of its own, which the hardware would start fetching late.
    const uint8_t* ahead = y + l + L <= r.y2 ? raster.Row(y + l + L) + static_cast<size_t>(r.x1) * 3 : pixels;
    int i = 0;
    // Six pixels a step; the loads end at byte 3i + 21, within the row's
    // 3(W + 1) bytes.
    for (; i + 7 <= W; i += 6) {
      _mm_prefetch(reinterpret_cast<const char*>(ahead + 3 * i), _MM_HINT_T0);
      const __m128i s0 = tripleSums(pixels + 3 * i), s1 = tripleSums(pixels + 3 * i + 3),
                    s2 = tripleSums(pixels + 3 * i + 6);
      out[i * L] = static_cast<uint16_t>(_mm_cvtsi128_si32(s0));
      out[(i + 1) * L] = static_cast<uint16_t>(_mm_cvtsi128_si32(s1));
      out[(i + 2) * L] = static_cast<uint16_t>(_mm_cvtsi128_si32(s2));
      out[(i + 3) * L] = static_cast<uint16_t>(_mm_extract_epi16(s0, 4));
      out[(i + 4) * L] = static_cast<uint16_t>(_mm_extract_epi16(s1, 4));
      out[(i + 5) * L] = static_cast<uint16_t>(_mm_extract_epi16(s2, 4));
    }
    for (; i <= W; ++i)
      out[i * L] = static_cast<uint16_t>(pixels[3 * i] + pixels[3 * i + 1] + pixels[3 * i + 2]);
  }

  auto at = [blk](int i) { return _mm_load_si128(reinterpret_cast<const __m128i*>(blk + i * L)); };
  auto put = [blk](int i, __m128i v) { _mm_store_si128(reinterpret_cast<__m128i*>(blk + i * L), v); };

  // Normalisation, decided row by row from the row's maximum and mean.
  {
    __m128i maxV = zero, sumLo = zero, sumHi = zero;
    for (int i = 0; i <= W; ++i) {
      const __m128i v = at(i);
      maxV = _mm_max_epi16(maxV, v);
      sumLo = _mm_add_epi32(sumLo, _mm_unpacklo_epi16(v, zero));
      sumHi = _mm_add_epi32(sumHi, _mm_unpackhi_epi16(v, zero));
    }
    alignas(16) int16_t maxima[L];
    alignas(16) int32_t sums[L];
    _mm_store_si128(reinterpret_cast<__m128i*>(maxima), maxV);
    _mm_store_si128(reinterpret_cast<__m128i*>(sums), sumLo);
    _mm_store_si128(reinterpret_cast<__m128i*>(sums + 4), sumHi);
    // The factor's multiplier m < 2^20 split in 16-bit halves: for v < 2^10,
    // (v * m) >> 20 = ((v * mHigh) + high 16 bits of v * mLow) >> 4.
    alignas(16) uint16_t low[L], high[L];
    bool any = false;
    for (int l = 0; l < L; ++l) {
      const int32_t max = maxima[l];
      const float mean0 = SingleMean(sums[l], W + 1);
      const bool normalise = max > 270 && static_cast<Ext>(max) > static_cast<Ext>(mean0) + 90;
      const uint32_t m = NormaliseFactor(normalise ? static_cast<uint32_t>(max) : 255u).multiplier;
      low[l] = static_cast<uint16_t>(m & 0xFFFF);
      high[l] = static_cast<uint16_t>(m >> 16);
      any |= normalise;
    }
    if (any) {
      const __m128i mLow = _mm_load_si128(reinterpret_cast<const __m128i*>(low));
      const __m128i mHigh = _mm_load_si128(reinterpret_cast<const __m128i*>(high));
      for (int i = 0; i <= W; ++i) {
        const __m128i v = at(i);
        put(i, _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(v, mHigh), _mm_mulhi_epu16(v, mLow)), 4));
      }
    }
  }

  // x / 5 = (x * 52429) >> 18 for every x below 2^16.
  const __m128i fifth = _mm_set1_epi16(static_cast<short>(52429));
  __m128i a = at(0), b = at(1), c = at(2), d = at(3);
  __m128i sumLo = zero, sumHi = zero;
  __m128i runMax = zero, runMin = zero, risePos = zero, fallPos = zero;
  auto track = [&](int i, __m128i diff) {
    const __m128i index = _mm_set1_epi16(static_cast<short>(i));
    const __m128i rises = _mm_cmpgt_epi16(diff, runMax);
    runMax = _mm_max_epi16(runMax, diff);
    risePos = _mm_or_si128(_mm_and_si128(rises, index), _mm_andnot_si128(rises, risePos));
    const __m128i falls = _mm_cmpgt_epi16(runMin, diff);
    runMin = _mm_min_epi16(runMin, diff);
    fallPos = _mm_or_si128(_mm_and_si128(falls, index), _mm_andnot_si128(falls, fallPos));
  };
  // The sums run in 16-bit lanes for up to 64 columns (64 * 765 < 2^16)
  // and are widened once per stretch.
  for (int start = 2; start <= W - 2; start += 64) {
    const int end = std::min(W - 2, start + 63);
    __m128i partial = zero;
    for (int i = start; i <= end; ++i) {
      const __m128i e = at(i + 2);
      const __m128i others = _mm_add_epi16(_mm_add_epi16(a, c), _mm_add_epi16(d, e));
      const __m128i v = _mm_srli_epi16(_mm_mulhi_epu16(_mm_add_epi16(others, b), fifth), 2);
      put(i, v);
      partial = _mm_add_epi16(partial, v);
      track(i, _mm_sub_epi16(v, a));
      a = b, b = v, c = d, d = e;
    }
    sumLo = _mm_add_epi32(sumLo, _mm_unpacklo_epi16(partial, zero));
    sumHi = _mm_add_epi32(sumHi, _mm_unpackhi_epi16(partial, zero));
  }
  for (int i = W - 1; i <= W; ++i) track(i, _mm_sub_epi16(at(i), at(i - 2)));

  alignas(16) int32_t sums[L];
  alignas(16) int16_t rise[L], fall[L], riseDiff[L];
  _mm_store_si128(reinterpret_cast<__m128i*>(sums), sumLo);
  _mm_store_si128(reinterpret_cast<__m128i*>(sums + 4), sumHi);
  _mm_store_si128(reinterpret_cast<__m128i*>(rise), risePos);
  _mm_store_si128(reinterpret_cast<__m128i*>(fall), fallPos);
  _mm_store_si128(reinterpret_cast<__m128i*>(riseDiff), runMax);  // diff[risePos], 0 when risePos is 0

  alignas(16) int16_t found[L];
  if (s.stepLighting) {
    // As DetectRow: v > bound exactly when v > floor(bound). A minimum
    // difference outside the lane's range behaves as its nearest end,
    // since differences lie within -765 .. 765.
    alignas(16) int16_t floorBound[L];
    const int16_t minDiff = static_cast<int16_t>(std::clamp<int64_t>(s.minDiff, -32768, 32767));
    for (int l = 0; l < L; ++l) {
      const Ext mean = SingleMean(sums[l], W - 3);
      floorBound[l] = static_cast<int16_t>(std::floor(mean + (255 - mean) * 0.75L));
    }
    const __m128i bound = _mm_load_si128(reinterpret_cast<const __m128i*>(floorBound));
    __m128i runMinDiff = _mm_set1_epi16(minDiff), column = _mm_set1_epi16(-1);
    for (int i = 2; i <= W; ++i) {
      const __m128i v = at(i);
      const __m128i diff = _mm_sub_epi16(v, at(i - 2));
      const __m128i takes = _mm_and_si128(_mm_cmpgt_epi16(v, bound), _mm_cmpgt_epi16(diff, runMinDiff));
      runMinDiff = _mm_or_si128(_mm_and_si128(takes, diff), _mm_andnot_si128(takes, runMinDiff));
      column = _mm_or_si128(_mm_and_si128(takes, _mm_set1_epi16(static_cast<short>(i))),
                            _mm_andnot_si128(takes, column));
    }
    _mm_store_si128(reinterpret_cast<__m128i*>(found), column);
  } else {
    for (int l = 0; l < L; ++l) {
      const Ext mean = SingleMean(sums[l], W - 3);
      const bool narrow = static_cast<Ext>(fall[l] - rise[l]) < static_cast<Ext>(s.centreX) * 0.03125L;
      const Ext bright = mean + (255 - mean) * static_cast<Ext>(0.6);
      const bool passes =
          narrow && riseDiff[l] > s.minDiff && static_cast<Ext>(blk[rise[l] * L + l]) > bright;
      found[l] = static_cast<int16_t>(passes ? rise[l] : -1);
    }
  }
  for (int l = 0; l < L; ++l)
    table.column[y + l] = found[l] < 0 ? kNoStripe : static_cast<float>(r.x1 + found[l]);
}

#endif

}  // namespace

StripeSettings ReadStripeSettings(const SettingsState& settings, const CalibrationBlock& calib) {
  StripeSettings s;
  s.stepLighting = settings.RadioGroup3.index == kLightingStep;
  s.minDiff = Trunc(ParseDecimal(settings.Edit(33).text));
  s.centreX = calib.halfWidth;
  return s;
}

PixelRect OrderedRect(PixelRect r) {
  if (r.x1 > r.x2) std::swap(r.x1, r.x2);
  if (r.y1 > r.y2) std::swap(r.y1, r.y2);
  return r;
}

PixelRect ClipDetectionRect(PixelRect r, const Raster& raster) {
  r.x1 = std::max(r.x1, 0);
  r.y1 = std::max(r.y1, 0);
  const int64_t widest = int64_t{r.x1} + (kMaxRectColumns - 1);
  r.x2 = static_cast<int32_t>(std::min<int64_t>({r.x2, raster.width - 1, widest}));
  r.y2 = std::min({r.y2, raster.height - 1, StripeTable::Rows - 1});
  return r;
}

void DetectStripeRows(const Raster& raster, const PixelRect& area, StripeTable& table,
                      const StripeSettings& settings) {
  StripeRowBuffers buffers;
  DetectStripeRows(raster, area, table, settings, buffers);
}

void DetectStripeRows(const Raster& raster, const PixelRect& area, StripeTable& table,
                      const StripeSettings& settings, StripeRowBuffers& buffers) {
  const PixelRect r = ClipDetectionRect(area, raster);
  const int W = r.x2 - r.x1;
  int y = r.y1;
#if defined(__SSE2__)
  if (W >= 4)
    for (; y + kBlockRows - 1 <= r.y2; y += kBlockRows) DetectBlock(raster, r, y, settings, buffers, table);
#endif
  for (; y <= r.y2; ++y) {
    table.column[y] = kNoStripe;
    // Fewer than five columns leave the smoothing without samples.
    if (W < 4) continue;
    const int i = DetectRow(raster.Row(y) + static_cast<size_t>(r.x1) * 3, W, settings, buffers);
    if (i >= 0) table.column[y] = static_cast<float>(r.x1 + i);
  }
}

std::optional<StripeSpan> FindStripeSpan(const StripeTable& table, const PixelRect& area) {
  const int y1 = std::max(area.y1, 0), y2 = std::min(area.y2, StripeTable::Rows - 1);
  int first = y1;
  while (first <= y2 && table.column[first] == kNoStripe) ++first;
  if (first > y2) return std::nullopt;
  int last = y2;
  while (table.column[last] == kNoStripe) --last;
  return StripeSpan{first, last};
}

void TraceStripe(StripeTable& table, int first, int last, Canvas& canvas) {
  auto& col = table.column;
  canvas.SetPenMode(PenMode::Copy);
  canvas.MoveTo(static_cast<int>(col[first]), first);
  int r = first + 1;
  while (r <= last - 1) {
    if (col[r] != kNoStripe) {
      canvas.SetPenColour(kTraceColour);
      canvas.LineTo(static_cast<int>(col[r]), r);
      ++r;
      continue;
    }
    int a = r + 1;
    while (col[a] == kNoStripe) ++a;  // col[last] holds a stripe
    const Ext before = col[r - 1], after = col[a];
    const Ext rows = a - r + 1;
    for (int j = r; j < a; ++j) col[j] = static_cast<float>(before + (j - r + 1) * (after - before) / rows);
    canvas.SetPenColour(kGapColour);
    canvas.LineTo(static_cast<int>(col[a - 1]), a - 1);
    r = a;
  }
}

void FilterStripe(StripeTable& table, int first, int last) {
  auto& col = table.column;
  const Ext third = 1.0 / 3.0;  // one third rounded to double, then widened
  for (int r = first + 1; r <= last - 1; ++r)
    col[r] = static_cast<float>((static_cast<Ext>(col[r - 1]) + col[r] + col[r + 1]) * third);
}

}  // namespace km
