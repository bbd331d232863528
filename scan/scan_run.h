#pragma once
#include "common/context.h"

namespace km {

// The SCAN button: processes the loaded frame and the frames after it into
// the point cloud store.
void RunScan(Context& ctx);

}  // namespace km
