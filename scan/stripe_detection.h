#pragma once
// Finding the light stripe in the rows of a rectangle of a frame: one stripe
// column per image row, gap filling and drawing of the trace, and a
// three-row moving average along the trace.
//
// A caller runs them in this order: DetectStripeRows, FindStripeSpan, then,
// when a span exists, TraceStripe and FilterStripe.

#include <array>
#include <cstdint>
#include <optional>

#include "app/workspace_state.h"
#include "calib/calibration_block.h"
#include "calib/settings_state.h"
#include "common/numbers.h"
#include "common/platform.h"
#include "common/raster.h"
#include "scan/point_cloud_store.h"

namespace km {

// Widest rectangle the row buffers take, in pixels.
inline constexpr int kMaxRectColumns = 4000;

// The settings a detection pass reads. They cannot change while a pass runs,
// so they are read once per pass.
struct StripeSettings {
  bool stepLighting = false;  // Lighting "Step"; anything else is Slit
  int64_t minDiff = 20;       // minimum difference, truncated toward zero
  float centreX = 0;          // cx: halfWidth of the frame chosen with LOAD
};

// Reads Lighting (RadioGroup3), the minimum difference (Edit33, decimal,
// truncated toward zero) and halfWidth. Throws ConversionError when Edit33
// is not a number, FloatError when it does not fit an integer.
StripeSettings ReadStripeSettings(const SettingsState& settings, const CalibrationBlock& calib);

// The rectangle with its corners ordered (x1 <= x2, y1 <= y2).
PixelRect OrderedRect(PixelRect rect);

// The part of an ordered rectangle that a pass over raster may touch: rows
// within the raster and within the stripe table (0 .. 2999), columns within
// the raster and at most kMaxRectColumns from the left edge. The result may
// have y1 > y2 (no row) or x1 > x2 (no column).
PixelRect ClipDetectionRect(PixelRect ordered, const Raster& raster);

// Rows the detector takes at once where the processor has vector
// instructions (one row per lane).
inline constexpr int kBlockRows = 8;

// Fixed row work buffers, indexed by column - x1; reused for every row.
// block holds kBlockRows rows interleaved: entry (column - x1) * kBlockRows
// + lane.
struct StripeRowBuffers {
  std::array<int32_t, kMaxRectColumns> intensity;
  std::array<int32_t, kMaxRectColumns> diff;
  alignas(16) std::array<uint16_t, kBlockRows * kMaxRectColumns> block;
};

// Writes table[y] for every row y1 .. y2 of area (which must come from
// ClipDetectionRect): the stripe column as a whole number, or -1 for a row
// without stripe. Rows of fewer than five columns never have a stripe.
void DetectStripeRows(const Raster& raster, const PixelRect& area, StripeTable& table,
                      const StripeSettings& settings);
// The same with caller-owned buffers.
void DetectStripeRows(const Raster& raster, const PixelRect& area, StripeTable& table,
                      const StripeSettings& settings, StripeRowBuffers& buffers);

// First and last rows of y1 .. y2 (clamped to the table) with a stripe.
struct StripeSpan {
  int first = 0;
  int last = 0;
};
std::optional<StripeSpan> FindStripeSpan(const StripeTable& table, const PixelRect& area);

// Fills the rows without stripe between first and last by linear
// interpolation and draws the trace: light blue segments to stripe rows,
// one yellow segment over each filled gap. The segment from last - 1 to
// last is not drawn. Sets the canvas to pen mode copy.
void TraceStripe(StripeTable& table, int first, int last, Canvas& canvas);

// Three-row moving average of rows first + 1 .. last - 1, in place (each
// row sees its upper neighbour already averaged).
void FilterStripe(StripeTable& table, int first, int last);

// Normalisation's value * 255 / max (integer division) for
// 0 <= value <= max <= 765, as one multiplication and a shift: with
// m = ceil(255 * 2^20 / max), (value * m) >> 20 exceeds value * 255 / max by
// less than 765 / 2^20 < 1 / max, which never reaches the next integer.
// The product stays below 2^30. A factor for max 255 leaves values as
// they are.
struct NormaliseFactor {
  explicit NormaliseFactor(uint32_t max) : multiplier(((255u << 20) + max - 1) / max) {}
  uint32_t Apply(uint32_t value) const { return (value * multiplier) >> 20; }
  uint32_t multiplier;
};

// Mean of count integer samples as the detectors take it: the sum
// accumulated in single precision and the quotient rounded to single.
// Every sum of a row stays below 2^24, so an integer sum has the same value
// as the single-precision accumulation.
inline float SingleMean(int64_t sum, int count) {
  return static_cast<float>(static_cast<Ext>(static_cast<float>(sum)) / static_cast<Ext>(count));
}

// Colours of the trace.
inline constexpr Rgb kTraceColour{128, 128, 255};  // light blue
inline constexpr Rgb kGapColour{255, 255, 0};      // yellow

}  // namespace km
