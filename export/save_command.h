#pragma once
#include <string>

#include "common/context.h"

namespace km {

// The main window's SAVE: conversions, save dialog, thinning and the writer
// of the Output mode.
void SaveModelCommand(Context& ctx);

}  // namespace km
