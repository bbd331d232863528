#pragma once
#include <string>

#include "common/context.h"

namespace km {

// Splits a frame file's full path into its five name parts.
SequenceName SplitFramePath(const std::string& path);

// Path of the frame k numbers above the one chosen with LOAD. Raises
// ConversionError when numberText is not an integer.
std::string ComposeFramePath(const Context& ctx, int k);

// Decodes the file into the working raster and shows it in the image view;
// the extension (".jpg" / ".bmp") picks the decoder. On failure the raster
// and the view keep the previous frame and false is returned.
bool DecodeFrameFile(Context& ctx, const std::string& path, const std::string& extension);

// ComposeFramePath(k) then DecodeFrameFile; false at the end of a sequence.
bool LoadSequenceFrame(Context& ctx, int k);

// The main window's LOAD: dialog, then LoadFramePath.
void LoadFrameCommand(Context& ctx);

// LOAD's steps after the dialog, for a chosen path (also used by the batch
// tool): name parts, scroll to 0,0, decode, frame size into the calibration.
void LoadFramePath(Context& ctx, const std::string& path);

}  // namespace km
