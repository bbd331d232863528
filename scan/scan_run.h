#pragma once
#include <functional>

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

// Loads frame k of the sequence into the working raster and the view as
// LoadSequenceFrame(ctx, k) does, with its result.
using SequenceFrameLoader = std::function<bool(Context& ctx, int k)>;

// RunScan with the frames after the loaded one taken from loadFrame instead
// of LoadSequenceFrame (the batch tool's decoding ahead). The run composes
// each frame's path for its caption before it asks for the frame, as above.
void RunScan(Context& ctx, const SequenceFrameLoader& loadFrame);

inline constexpr const char* kScanFinishedMessage = "Scan終了しました";

}  // namespace km
