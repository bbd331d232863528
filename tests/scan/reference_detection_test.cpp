#include "scan/reference_detection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/errors.h"
#include "common/headless_platform.h"
#include "common/numbers.h"
#include "tests/scan/frame_fixtures.h"

namespace km {
namespace {

constexpr int kLeft = 100;  // left column of the top stretch's line

// A context showing a 320 x 300 frame (cx 160: two-pixel smoothing) with a
// reference body of the given number of stretches, reference rectangle
// dragged from bottom right to top left.
struct ReferenceScene {
  explicit ReferenceScene(int stretches) : ctx(platform) {
    Raster frame = test::DarkFrame(320, 300);
    if (stretches > 0) lowestRows = test::DrawStaircase(frame, 10, kLeft, stretches);
    ctx.workspace.workingRaster = frame;
    ctx.calib.halfWidth = 160;
    ctx.calib.halfHeight = 150;
    platform.ShowPicture(frame);
    ctx.workspace.referenceRect = PixelRect{310, 295, 80, 5};
  }
  // Column of the line's left edge in the stretch whose lowest row is given.
  int StretchColumn(size_t fromBottom) const {
    return kLeft + 30 * static_cast<int>(lowestRows.size() - 1 - fromBottom);
  }
  HeadlessPlatform platform;
  Context ctx;
  std::vector<int> lowestRows;
};

TEST(ReferenceDetection, FiveStepsGiveFivePointsLowestFirstAndSolve) {
  ReferenceScene scene(5);
  Context& ctx = scene.ctx;
  ctx.settings.Edit(29).text = "old";
  DetectReference(ctx);
  ASSERT_TRUE(scene.platform.messages.empty()) << scene.platform.messages[0];
  EXPECT_EQ(ctx.workspace.workingRect, (PixelRect{80, 5, 310, 295}));
  for (int j = 0; j < 5; ++j) {
    SCOPED_TRACE(j);
    EXPECT_EQ(ctx.settings.Edit(6 + 2 * j).text, WholeNumberText(scene.lowestRows[j]));
    // The detector finds the line one column in; the filter moves the
    // corner rows 2/3 of a column towards the diagonal below them, which
    // the whole number text drops.
    EXPECT_EQ(ctx.settings.Edit(5 + 2 * j).text, WholeNumberText(scene.StretchColumn(j) + 1));
  }
  EXPECT_NE(ctx.settings.Edit(29).text, "old") << "the solve writes the result edits";
  EXPECT_EQ(scene.platform.repaints, 1);

  // Slope graph in lime, 64 columns left of the rectangle, and a circle
  // around the lowest corner.
  const auto pixel = [&](int x, int y) {
    const uint8_t* p = scene.platform.picture_.Row(y) + 3 * x;
    return Rgb{p[2], p[1], p[0]};
  };
  EXPECT_EQ(pixel(80 - 64, 20), (Rgb{0, 255, 0}));
  const int bottom = scene.lowestRows[0], column = scene.StretchColumn(0) + 1;
  EXPECT_EQ(pixel(column, bottom - 5), (Rgb{0, 255, 0}));
}

TEST(ReferenceDetection, MoreThanFiveStepsWriteTheFiveLowest) {
  ReferenceScene scene(6);
  DetectReference(scene.ctx);
  ASSERT_TRUE(scene.platform.messages.empty());
  for (int j = 0; j < 5; ++j)
    EXPECT_EQ(scene.ctx.settings.Edit(6 + 2 * j).text, WholeNumberText(scene.lowestRows[j]));
}

TEST(ReferenceDetection, ThreeStepsWriteThreePointsAndKeepTheOthers) {
  ReferenceScene scene(3);
  const SettingsState before = scene.ctx.settings;
  DetectReference(scene.ctx);
  ASSERT_TRUE(scene.platform.messages.empty());
  for (int j = 0; j < 3; ++j)
    EXPECT_EQ(scene.ctx.settings.Edit(6 + 2 * j).text, WholeNumberText(scene.lowestRows[j]));
  for (int n = 11; n <= 14; ++n)
    EXPECT_EQ(scene.ctx.settings.Edit(n).text, before.Edit(n).text) << "Edit" << n;
}

TEST(ReferenceDetection, FailuresShowTheMessageAndChangeNoEdit) {
  for (int stretches : {1, 2, 0}) {  // a straight stripe, two corners, no stripe at all
    SCOPED_TRACE(stretches);
    ReferenceScene scene(stretches);
    const SettingsState before = scene.ctx.settings;
    const float XL = scene.ctx.calib.XL;
    DetectReference(scene.ctx);
    EXPECT_EQ(scene.platform.messages, std::vector<std::string>{"基準体検出に失敗しました"});
    for (int n = 5; n <= 32; ++n)
      EXPECT_EQ(scene.ctx.settings.Edit(n).text, before.Edit(n).text) << "Edit" << n;
    EXPECT_EQ(scene.ctx.calib.XL, XL);
    EXPECT_EQ(scene.platform.repaints, 0);
  }
}

TEST(ReferenceDetection, EmptyRectangleDoesNothing) {
  ReferenceScene scene(5);
  scene.ctx.workspace.referenceRect = PixelRect{10, 5, 10, 200};
  scene.ctx.settings.Edit(33).text = "not a number";
  DetectReference(scene.ctx);
  EXPECT_TRUE(scene.platform.messages.empty());
  EXPECT_EQ(scene.ctx.workspace.workingRect, (PixelRect{10, 5, 10, 200}));
}

TEST(ReferenceDetection, MinimumDifferenceThatIsNotANumberRaises) {
  ReferenceScene scene(5);
  scene.ctx.settings.Edit(33).text = "abc";
  EXPECT_THROW(DetectReference(scene.ctx), ConversionError);
}

struct SmoothingCase {
  float cx;
  int expected;  // column offset found in a Slit row
};

TEST(ReferenceDetection, SmoothingWidthFollowsTheImageCentre) {
  // A three-pixel line at columns 10..12 on intensity 60: the first
  // position of the largest rise depends on how far the smoothing reaches.
  std::vector<int> row(40, 60);
  for (int i = 10; i < 13; ++i) row[i] = 765;
  const Raster raster = test::RowsRaster({row});
  StripeRowBuffers buffers;
  for (const auto& [cx, expected] :
       {SmoothingCase{400, 11}, SmoothingCase{401, 10}, SmoothingCase{800, 10}, SmoothingCase{801, 10}}) {
    StripeTable t;
    DetectReferenceRows(raster, PixelRect{0, 0, 39, 0}, t, StripeSettings{false, 20, cx}, buffers);
    EXPECT_EQ(t.column[0], expected) << "cx " << cx;
  }
  // Step: the first column above the mean after two dark ones wins (8),
  // where Slit takes the largest rise (28).
  std::vector<int> steps(40, 60);
  for (int i = 8; i < 14; ++i) steps[i] = 500;
  for (int i = 28; i < 40; ++i) steps[i] = 765;
  const Raster stepRaster = test::RowsRaster({steps});
  StripeTable t;
  DetectReferenceRows(stepRaster, PixelRect{0, 0, 39, 0}, t, StripeSettings{true, 20, 1024}, buffers);
  EXPECT_EQ(t.column[0], 8);
  DetectReferenceRows(stepRaster, PixelRect{0, 0, 39, 0}, t, StripeSettings{false, 20, 1024}, buffers);
  EXPECT_EQ(t.column[0], 28);
}

}  // namespace
}  // namespace km
