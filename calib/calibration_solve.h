#pragma once
#include "common/context.h"

namespace km {

// Fits XL, h, Z0 and f to the five reference points of the settings and
// derives centerX; writes the result edits. Raises ConversionError for a
// field that is not a number and FloatError for a zero divisor.
void SolveCalibration(Context& ctx);

// The settings window's "更新" button and clicks on the Mode group.
void OptionButton1Click(Context& ctx);

// Sets the Mode group's index as a program does: clamped, and when it
// changes the group's click handler (OptionButton1Click) runs.
void SetModeIndex(Context& ctx, int index);

}  // namespace km
