#include "calib/calibration_solve.h"

#include <gtest/gtest.h>

#include <string>

#include "common/errors.h"
#include "common/headless_platform.h"
#include "common/numbers.h"

namespace km {
namespace {

// A fresh context with the default settings and a 2048 by 1536 frame loaded.
struct SolveTest : ::testing::Test {
  HeadlessPlatform platform;
  Context ctx{platform};

  SolveTest() {
    ctx.calib.halfWidth = 1024;
    ctx.calib.halfHeight = 768;
  }

  std::array<std::string, 4> ResultTexts() const {
    return {ctx.settings.Edit(29).text, ctx.settings.Edit(30).text, ctx.settings.Edit(31).text,
            ctx.settings.Edit(32).text};
  }

  std::string SolveError() {
    try {
      SolveCalibration(ctx);
    } catch (const KelError& e) {
      return e.what();
    }
    return "(no error)";
  }
};

TEST_F(SolveTest, DefaultsOnA2048By1536FrameGiveTheKnownFit) {
  SolveCalibration(ctx);
  const CalibrationBlock& c = ctx.calib;
  const float x[] = {54, 48.75f, -67.5f, -74.25f, -213.75f, 42};
  const float y[] = {-28, -227, -245, -468, -522, -598};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(c.refScreenX[i], x[i]) << i;
    EXPECT_EQ(c.refScreenY[i], y[i]) << i;
  }
  EXPECT_NEAR(c.XL, 924.477, 0.001);
  EXPECT_NEAR(c.h, 50.1518, 0.0001);
  EXPECT_NEAR(c.Z0, 85.0216, 0.0001);
  EXPECT_NEAR(c.f, 1483.89, 0.01);
  EXPECT_NEAR(c.centerX, 2.38689, 0.00001);
  // The edits show the single-precision results, widened exactly.
  EXPECT_EQ(ResultTexts(), (std::array<std::string, 4>{GeneralNumberText(c.XL), GeneralNumberText(c.h),
                                                       GeneralNumberText(c.Z0), GeneralNumberText(c.f)}));
  EXPECT_EQ(ctx.settings.Edit(29).text.substr(0, 6), "924.47");
  EXPECT_GT(ctx.settings.Edit(29).text.size(), 10u);  // a float shown with 15 digits
}

TEST_F(SolveTest, TheWinningCandidatesComeFromTheExpectedPairs) {
  // First search: pair (2, 5) with h taken at point 2; second: pair (1, 5)
  // with f taken at point 3 (points numbered from 1).
  SolveCalibration(ctx);
  using L = long double;
  const auto& x = ctx.calib.refScreenX;
  const auto& y = ctx.calib.refScreenY;
  const L Y2 = -13, Y5 = -23;
  const float xl = static_cast<float>(((Y2 * x[1]) / y[1] - (Y5 * x[4]) / y[4]) / (Y2 / y[1] - Y5 / y[4]));
  const float h = static_cast<float>(((L{xl} - x[1]) * Y2) / y[1]);
  EXPECT_EQ(ctx.calib.XL, xl);
  EXPECT_EQ(ctx.calib.h, h);
  const L Z1 = 0, Z3 = -10, Z5 = -20;
  const float z0 = static_cast<float>(((L{xl} - x[0]) * Z1 - (L{xl} - x[4]) * Z5) / (L{x[0]} - x[4]));
  const float f = static_cast<float>(((z0 + Z3) * (L{xl} - x[2])) / h);
  EXPECT_EQ(ctx.calib.Z0, z0);
  EXPECT_EQ(ctx.calib.f, f);
}

TEST_F(SolveTest, ScanModeTicksLightTiltAndNothingUnticksIt) {
  ctx.settings.RadioGroup2.index = kModeRotation;
  SolveCalibration(ctx);
  EXPECT_FALSE(ctx.settings.CheckBox1);
  SetModeIndex(ctx, kModeScan);  // a Mode click runs the solve
  EXPECT_TRUE(ctx.settings.CheckBox1);
  EXPECT_EQ(ctx.settings.Edit(1).colour, EditColour::Border);
  EXPECT_EQ(ctx.settings.Edit(15).colour, EditColour::Border);
  SetModeIndex(ctx, kModeSlide);
  EXPECT_TRUE(ctx.settings.CheckBox1);
  EXPECT_EQ(ctx.settings.Edit(2).colour, EditColour::Window);
  EXPECT_EQ(ctx.settings.Edit(27).colour, EditColour::Border);
}

TEST_F(SolveTest, ModeIndexIsClampedAndOnlyAChangeSolves) {
  SetModeIndex(ctx, 0);  // unchanged: no solve
  EXPECT_EQ(ctx.settings.Edit(29).text, "");
  SetModeIndex(ctx, 7);
  EXPECT_EQ(ctx.settings.RadioGroup2.index, kModeScan);
  EXPECT_NE(ctx.settings.Edit(29).text, "");
  SetModeIndex(ctx, -5);
  EXPECT_EQ(ctx.settings.RadioGroup2.index, -1);
}

TEST_F(SolveTest, PointOnTheCentreRowStopsWithZeroDivisionAndKeepsResults) {
  SolveCalibration(ctx);
  const auto before = ResultTexts();
  const float centerX = ctx.calib.centerX;
  ctx.settings.Edit(8).text = "768";  // point 2 on the centre row: y' = 0
  EXPECT_EQ(SolveError(), kZeroDivideMessage);
  EXPECT_EQ(ResultTexts(), before);
  EXPECT_EQ(ctx.calib.centerX, centerX);
  // With a real Y of 0 the first division is 0 / 0.
  ctx.settings.Edit(19).text = "0";
  EXPECT_EQ(SolveError(), kInvalidOpMessage);
  EXPECT_EQ(ResultTexts(), before);
}

TEST_F(SolveTest, RotationCentreInTheFittedColumnStopsBeforeTheEditsChange) {
  SolveCalibration(ctx);
  const auto before = ResultTexts();
  // Put the rotation centre exactly at XL: the last divisor vanishes.
  const float xl = ctx.calib.XL;
  const float screenX = xl / 0.75f + 1024;
  ASSERT_EQ(static_cast<float>((screenX - 1024.0L) * 3 * 0.25L), xl);
  ctx.settings.Edit(15).text = GeneralNumberText(screenX);
  EXPECT_EQ(SolveError(), kZeroDivideMessage);
  EXPECT_EQ(ResultTexts(), before);
}

TEST_F(SolveTest, TextThatIsNotANumberStopsAfterColouringAndKeepsEverything) {
  SolveCalibration(ctx);
  const auto before = ResultTexts();
  const CalibrationBlock kept = ctx.calib;
  ctx.settings.RadioGroup2.index = kModeScan;
  for (int edit : {5, 16, 26, 27}) {
    SCOPED_TRACE(edit);
    const std::string saved = ctx.settings.Edit(edit).text;
    ctx.settings.Edit(edit).text = "1,5";
    EXPECT_EQ(SolveError(), "'1,5' は浮動小数点数ではありません");
    EXPECT_TRUE(ctx.settings.CheckBox1);
    EXPECT_EQ(ctx.settings.Edit(1).colour, EditColour::Border);
    EXPECT_EQ(ResultTexts(), before);
    EXPECT_EQ(ctx.calib.XL, kept.XL);
    EXPECT_EQ(ctx.calib.Z0, kept.Z0);
    EXPECT_EQ(ctx.calib.centerX, kept.centerX);
    ctx.settings.Edit(edit).text = saved;
  }
  ctx.settings.Edit(6).text = "1e999";  // converts, but does not fit a float
  EXPECT_EQ(SolveError(), kOverflowMessage);
}

TEST_F(SolveTest, RotationCentreRowOtherThanItsScreenXChangesNothing) {
  SolveCalibration(ctx);
  const auto before = ResultTexts();
  const float centerX = ctx.calib.centerX;
  ctx.settings.Edit(16).text = "5";
  ctx.settings.Edit(27).text = "1234.5";
  SolveCalibration(ctx);
  EXPECT_EQ(ResultTexts(), before);
  EXPECT_EQ(ctx.calib.centerX, centerX);
}

TEST_F(SolveTest, PairInOneScreenColumnIsNotDividedBy) {
  ctx.settings.Edit(7).text = "1096";  // points 1 and 2 share a column
  SolveCalibration(ctx);
  EXPECT_NE(ctx.calib.Z0, 9999);
  EXPECT_NE(ctx.settings.Edit(31).text, "");
}

TEST_F(SolveTest, HugeRealUnitsLeaveNoWinnerAndTheSecondSearchRunsOnIt) {
  // Real coordinates in micrometres: every sum of the first search is far
  // above 9999, so XL and h stay at 9999.
  for (int edit = 17; edit <= 26; ++edit) {
    const std::string t = ctx.settings.Edit(edit).text;
    if (t != "0") ctx.settings.Edit(edit).text = t + "000";
  }
  SolveCalibration(ctx);
  EXPECT_EQ(ctx.calib.XL, 9999);
  EXPECT_EQ(ctx.calib.h, 9999);
  EXPECT_EQ(ctx.settings.Edit(29).text, "9999");
  EXPECT_EQ(ctx.settings.Edit(30).text, "9999");
  // centerX follows from the 9999s.
  const auto& x5 = ctx.calib.refScreenX[5];
  EXPECT_EQ(ctx.calib.centerX, static_cast<float>((9999.0L * 9999) / (9999 - x5) - 9999));
}

TEST_F(SolveTest, BeforeAnyFrameTheCentreIsPixelZero) {
  ctx.calib.halfWidth = 0;
  ctx.calib.halfHeight = 0;
  SolveCalibration(ctx);
  EXPECT_EQ(ctx.calib.refScreenX[0], 1096 * 0.75f);
  EXPECT_EQ(ctx.calib.refScreenY[0], -796);
}

TEST(ModeColours, FollowTheModeAndLeaveThemWhenNoneIsSelected) {
  SettingsState s;
  const EditColour W = EditColour::Window, B = EditColour::Border;
  struct Row {
    int mode;
    EditColour deg, mm, centre;
  } rows[] = {{1, B, W, B}, {0, W, B, W}, {2, B, B, B}, {-1, B, B, B}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.mode);
    s.RadioGroup2.index = r.mode;
    ApplyModeColours(s);
    EXPECT_EQ(s.Edit(1).colour, r.deg);
    EXPECT_EQ(s.Edit(2).colour, r.mm);
    for (int e : {15, 16, 27}) EXPECT_EQ(s.Edit(e).colour, r.centre);
  }
}

}  // namespace
}  // namespace km
