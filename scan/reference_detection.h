#pragma once
#include "common/context.h"
#include "scan/stripe_detection.h"

namespace km {

// The settings window's Ref_read: finds the stripe on the reference body in
// the reference rectangle, takes the lowest row of each nearly vertical
// stretch of it as a corner (lowest first), writes the first five corners
// into the screen edits of reference points 1 to 5 (whole number texts, the
// column truncated toward zero) and solves. Fewer than
// three corners: the message "基準体検出に失敗しました", nothing written.
// With three or four corners only those points are written; the edits of
// the others keep their texts. Raises ConversionError for a minimum
// difference that is not a number, and whatever the solve raises.
void DetectReference(Context& ctx);

// The reference body's variant of the per-row detector, writing table[y]
// for every row of area (from ClipDetectionRect): no normalisation,
// smoothing width by cx, Step lighting takes the first column that rises
// clearly out of the dark, Slit lighting the largest rise without a width
// test.
void DetectReferenceRows(const Raster& raster, const PixelRect& area, StripeTable& table,
                         const StripeSettings& settings, StripeRowBuffers& buffers);

inline constexpr const char* kReferenceFailedMessage = "基準体検出に失敗しました";
inline constexpr int kMaxCornerRows = 128;

}  // namespace km
