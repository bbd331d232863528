#pragma once
#include <string>

#include "common/context.h"

namespace km {

// The main window's SAVE: conversions, save dialog, thinning and the writer
// of the Output mode.
void SaveModelCommand(Context& ctx);

// File extension of an Output mode index (".wrl", ".dxf", ".mqo", ".csv");
// empty for an index that selects no format.
std::string OutputExtension(int outputMode);

struct ModelFileStats {
  long long vertices = 0;
  long long faces = 0;
};

// SAVE's work after the dialog, for a chosen path: converts Max polygon
// length and Error threshold from the settings, thins and writes the model
// in the current Output mode to path (the batch tool and SAVE share it).
ModelFileStats WriteModelFile(Context& ctx, const std::string& path);

}  // namespace km
