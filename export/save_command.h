#pragma once
#include <string>

#include "common/context.h"

namespace km {

// Filter of the save dialog; the Output mode table gives the index.
inline constexpr const char* kModelFileFilter =
    "VRML File|*.wrl|DXF File|*.dxf|メタセコイアFile|*.mqo|CSV File|*.csv|全てのファイル|*.*";

// Shown (SAVE) or thrown (WriteModelFile) when no Output mode item is selected.
inline constexpr const char* kNoOutputModeMessage = "出力形式が選択されていません";

// The main window's SAVE: converts Max polygon length (Edit4, whole) and
// Error threshold (Edit3, decimal) — a bad text throws ConversionError before
// anything else happens —, stores the Output mode's extension in
// workspace.sequenceName, proposes displayName + extension in the save
// dialog and writes the model to the chosen path (WriteModelFile). Cancel
// writes nothing; with no Output mode selected a message box says so and
// nothing is written. A failed write throws FileError; the target is then
// left as it was.
void SaveModelCommand(Context& ctx);

// File extension of an Output mode index (".wrl", ".dxf", ".mqo", ".csv");
// empty for an index that selects no format.
std::string OutputExtension(int outputMode);

// 1-based filter index of the save dialog for an Output mode index (0 for
// an index that selects no format).
int OutputFilterIndex(int outputMode);

struct ModelFileStats {
  long long vertices = 0;  // vertices of the thinned model; points written for RAW CSV
  long long faces = 0;     // triangles (0 for RAW CSV)
};

// SAVE's work after the dialog, for a chosen path: converts Max polygon
// length and Error threshold from the settings, thins and writes the model
// in the current Output mode to path (the batch tool and SAVE share it).
// Throws ConversionError for a bad text, KelError(kNoOutputModeMessage)
// when no Output mode is selected, and FileError "path: reason" when the
// file cannot be written (an existing file then stays as it was).
ModelFileStats WriteModelFile(Context& ctx, const std::string& path);

}  // namespace km
