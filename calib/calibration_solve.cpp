#include "calib/calibration_solve.h"

#include <array>

#include "common/numbers.h"

namespace km {
namespace {

constexpr int kPoints = 5;         // reference points 1 to 5
constexpr float kNoWinner = 9999;  // start of every search; a sum this large never wins

// Edit numbers of the screen X of rows 1-5 and the rotation centre; the
// screen Y is the next edit.
constexpr std::array<int, 6> kScreenXEdit = {5, 7, 9, 11, 13, 15};
// Real Y of rows 1-5; the real Z is the next edit.
constexpr std::array<int, kPoints> kRealYEdit = {17, 19, 21, 23, 25};

Ext Decimal(const SettingsState& s, int edit) { return ParseDecimal(s.Edit(edit).text); }

// XL~ from the pair (q, p): the abscissa where the two real-Y relations meet.
// The operations are spelled out one by one so that the first zero divisor
// in reading order is the one that raises.
float PairXL(Ext yq, Ext xq, Ext sq, Ext yp, Ext xp, Ext sp) {
  const Ext left = Div(Mul(yq, xq), sq);
  const Ext right = Div(Mul(yp, xp), sp);
  const Ext numerator = Sub(left, right);
  const Ext slopeQ = Div(yq, sq);
  const Ext slopeP = Div(yp, sp);
  return ToSingle(Div(numerator, Sub(slopeQ, slopeP)));
}

// The scan's centred X transform; the result is stored, hence single.
float CentreX(float x, float halfWidth) { return ToSingle(Mul(Mul(Sub(x, halfWidth), 3), 0.25L)); }

}  // namespace

void SolveCalibration(Context& ctx) {
  SettingsState& s = ctx.settings;
  CalibrationBlock& c = ctx.calib;
  try {
    ApplyModeColours(s);
    if (s.RadioGroup2.index == kModeScan) s.CheckBox1 = true;

    for (int i = 0; i < 6; ++i) {
      c.refScreenX[i] = ToSingle(Decimal(s, kScreenXEdit[i]));
      c.refScreenY[i] = ToSingle(Decimal(s, kScreenXEdit[i] + 1));
    }
    // Real coordinates are inputs, not stored values: they stay extended.
    std::array<Ext, kPoints> realY{}, realZ{};
    for (int i = 0; i < kPoints; ++i) {
      realY[i] = Decimal(s, kRealYEdit[i]);
      realZ[i] = Decimal(s, kRealYEdit[i] + 1);
    }
    Decimal(s, 27);  // the rotation centre's real Y: must convert, used by nothing

    for (int i = 0; i < 6; ++i) {
      c.refScreenX[i] = CentreX(c.refScreenX[i], c.halfWidth);
      c.refScreenY[i] = ToSingle(Sub(c.halfHeight, c.refScreenY[i]));
    }
    const auto& sx = c.refScreenX;
    const auto& sy = c.refScreenY;

    // The loop counters live in the block's working cells 18 to 21.
    int32_t& q = c.counters[0];
    int32_t& p = c.counters[1];
    int32_t& k = c.counters[2];
    int32_t& b = c.counters[3];
    float& sum = c.cell10;

    // First search: XL and h from the real-Y relation. The candidates are
    // held in XL and h themselves while the search runs.
    float best = kNoWinner, bestXL = kNoWinner, bestH = kNoWinner;
    for (q = 0; q <= 3; ++q) {
      for (p = q + 1; p <= 4; ++p) {
        c.XL = PairXL(realY[q], sx[q], sy[q], realY[p], sx[p], sy[p]);
        for (k = 0; k < kPoints; ++k) {
          c.h = ToSingle(Div(Mul(Sub(c.XL, sx[k]), realY[k]), sy[k]));
          sum = 0;
          for (b = 0; b < kPoints; ++b) {
            if (sx[b] == c.XL) continue;  // exact: the only way this divisor vanishes
            const Ext r = Sub(realY[b], Div(Mul(sy[b], c.h), Sub(c.XL, sx[b])));
            sum = ToSingle(Add(Mul(r, r), sum));
          }
          // Strict: among equal sums the first visited wins.
          if (sum < best) best = sum, bestXL = c.XL, bestH = c.h;
        }
      }
    }
    c.XL = bestXL;
    c.h = bestH;

    // Second search: Z0 and f from the real-Z relation with XL and h fixed.
    // A pair in one screen column keeps the Z0~ of the pair before it (for
    // the first pair, the Z0 the block held when the solve began).
    best = kNoWinner;
    float bestZ0 = kNoWinner, bestF = kNoWinner;
    for (q = 0; q <= 3; ++q) {
      for (p = q + 1; p <= 4; ++p) {
        if (sx[q] != sx[p]) {
          const Ext nearQ = Mul(Sub(c.XL, sx[q]), realZ[q]);
          const Ext nearP = Mul(Sub(c.XL, sx[p]), realZ[p]);
          c.Z0 = ToSingle(Div(Sub(nearQ, nearP), Sub(sx[q], sx[p])));
        }
        for (k = 0; k < kPoints; ++k) {
          c.f = ToSingle(Div(Mul(Add(c.Z0, realZ[k]), Sub(c.XL, sx[k])), c.h));
          sum = 0;
          for (b = 0; b < kPoints; ++b) {
            if (sx[b] == c.XL) continue;
            const Ext r = Sub(Add(c.Z0, realZ[b]), Div(Mul(c.f, c.h), Sub(c.XL, sx[b])));
            sum = ToSingle(Add(Mul(r, r), sum));
          }
          if (sum < best) best = sum, bestZ0 = c.Z0, bestF = c.f;
        }
      }
    }
    c.Z0 = bestZ0;
    c.f = bestF;

    // centerX is computed before the result edits are written so that a
    // zero divisor here, too, leaves the edits with their previous texts.
    const float centerX = ToSingle(Sub(Div(Mul(c.XL, c.h), Sub(c.XL, sx[5])), c.h));
    s.Edit(29).text = GeneralNumberText(c.XL);
    s.Edit(30).text = GeneralNumberText(c.h);
    s.Edit(31).text = GeneralNumberText(c.Z0);
    s.Edit(32).text = GeneralNumberText(c.f);
    c.centerX = centerX;
  } catch (...) {
    ctx.platform.SettingsChanged();  // colours and the tick have changed already
    throw;
  }
  ctx.platform.SettingsChanged();
}

void OptionButton1Click(Context& ctx) { SolveCalibration(ctx); }

void SetModeIndex(Context& ctx, int index) {
  if (SetRadioIndex(ctx.settings.RadioGroup2, index)) OptionButton1Click(ctx);
}

}  // namespace km
