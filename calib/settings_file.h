#pragma once
#include <string>

#include "common/context.h"

namespace km {

// The settings window's SAVE: converts every stored field, asks for a file
// name through the platform's save dialog and writes the ten-line file.
void SaveSettingsFile(Context& ctx);

// The settings window's LOAD: asks for a file through the open dialog and
// reads it into the settings; cancelling does nothing.
void LoadSettingsFile(Context& ctx);

// The same without dialogs, for the batch tool: write to / read from path.
void WriteSettingsFile(Context& ctx, const std::string& path);
void ReadSettingsFile(Context& ctx, const std::string& path);

}  // namespace km
