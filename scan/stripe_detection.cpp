#include "scan/stripe_detection.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace km {
namespace {

constexpr float kNoStripe = -1.0f;

}  // namespace

int32_t NormaliseIntensity(int32_t value, const ExactDivisor& byMax) {
  return static_cast<int32_t>(byMax.Divide(static_cast<uint32_t>(value) * 255u));
}

namespace {

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

// Column offset of the stripe in one row (-1: none); W >= 4.
int DetectRow(const uint8_t* pixels, int W, const StripeSettings& s, StripeRowBuffers& buf) {
  int32_t* in = buf.intensity.data();
  int32_t* diff = buf.diff.data();

  const auto [rawSum, max] = SumRow(pixels, W, in);
  const float mean0 = SingleMean(rawSum, W + 1);
  if (max > 270 && static_cast<Ext>(max) > static_cast<Ext>(mean0) + 90) {
    const ExactDivisor byMax(static_cast<uint32_t>(max));
    for (int i = 0; i <= W; ++i) in[i] = static_cast<int32_t>(byMax.Divide(static_cast<uint32_t>(in[i]) * 255u));
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
  for (int y = r.y1; y <= r.y2; ++y) {
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
