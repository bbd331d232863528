#pragma once
#include "common/context.h"

namespace km {

// The settings window's Ref_read: finds the reference body's five points in
// the reference rectangle, writes them into the settings and solves.
void DetectReference(Context& ctx);

}  // namespace km
