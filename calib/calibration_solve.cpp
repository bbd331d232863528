#include "calib/calibration_solve.h"

namespace km {

void SolveCalibration(Context&) {}
void OptionButton1Click(Context& ctx) { SolveCalibration(ctx); }
void SetModeIndex(Context& ctx, int index) {
  if (SetRadioIndex(ctx.settings.RadioGroup2, index)) OptionButton1Click(ctx);
}

}  // namespace km
