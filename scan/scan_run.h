#pragma once
#include "common/context.h"

namespace km {

// The SCAN button: processes the loaded frame and the frames after it (at
// most PointCloudStore::MaxFrames) into profiles 0, 1, ... of the point
// cloud store. Does nothing for an empty scan rectangle. Ends silently when
// the next frame cannot be loaded (frameCounter: the last profile), with
// the message "Scan終了しました" after MaxFrames frames (frameCounter:
// MaxFrames - 1). A conversion or floating-point error ends the run with
// frameCounter at the frame in work and propagates; the cursor is the arrow
// again at every end but the empty rectangle.
void RunScan(Context& ctx);

inline constexpr const char* kScanFinishedMessage = "Scan終了しました";

}  // namespace km
