#include "app/area_selection.h"

#include <gtest/gtest.h>

#include <random>

#include "app/frame_loading.h"
#include "common/headless_platform.h"

namespace km {
namespace {

Raster NoiseRaster(int w, int h) {
  Raster r;
  r.Resize(w, h);
  std::mt19937 rng(11);
  for (auto& p : r.pixels) p = static_cast<uint8_t>(rng());
  return r;
}

// A frame of 300 x 200 on show, as LOAD leaves it. The view's outer size is
// large enough that drags inside the frame's first 150 x 150 pixels away
// from the top-left margins do not scroll.
class AreaSelection : public testing::Test {
 protected:
  AreaSelection() {
    ctx_.workspace.workingRaster = frame_;
    platform_.ShowPicture(frame_);
    ctx_.calib.imageWidth = frame_.width;
    ctx_.calib.imageHeight = frame_.height;
    ctx_.calib.viewWidth = 200;
    ctx_.calib.viewHeight = 200;
    platform_.visibleWidth = 176;
    platform_.visibleHeight = 176;
  }
  void Drag(PixelPoint from, PixelPoint to) {
    Image1MouseDown(ctx_, from.x, from.y);
    Image1MouseMove(ctx_, to.x, to.y);
    Timer1Timer(ctx_);
    Image1MouseUp(ctx_, to.x, to.y);
  }

  HeadlessPlatform platform_;
  Context ctx_{platform_};
  const Raster frame_ = NoiseRaster(300, 200);
};

TEST_F(AreaSelection, BandOutlinesTheDraggedPixelsAndLeavesNothingBehind) {
  Image1MouseDown(ctx_, 70, 60);
  EXPECT_TRUE(platform_.timerRunning_);
  EXPECT_EQ(ctx_.workspace.dragging, 1);
  Image1MouseMove(ctx_, 20, 30);
  Timer1Timer(ctx_);  // a tick redraws the same band

  // Exactly the outline of columns 20..70 and rows 30..60, inverted by the
  // black pen; nothing else touched.
  for (int y = 0; y < frame_.height; ++y) {
    for (int x = 0; x < frame_.width; ++x) {
      const bool inside = x >= 20 && x <= 70 && y >= 30 && y <= 60;
      const bool outline = inside && (x == 20 || x == 70 || y == 30 || y == 60);
      const uint8_t* want = frame_.Row(y) + 3 * x;
      const uint8_t* got = platform_.picture_.Row(y) + 3 * x;
      for (int c = 0; c < 3; ++c) {
        ASSERT_EQ(got[c], outline ? static_cast<uint8_t>(~want[c]) : want[c]) << x << "," << y;
      }
    }
  }
  EXPECT_EQ(platform_.canvas_.Mode(), PenMode::Copy);

  Image1MouseUp(ctx_, 20, 30);
  EXPECT_EQ(ctx_.workspace.scanRect, (PixelRect{70, 60, 20, 30}));  // as dragged, not ordered
  EXPECT_EQ(ctx_.workspace.dragging, 0);
  EXPECT_FALSE(platform_.timerRunning_);
  EXPECT_EQ(platform_.picture_, frame_);
}

TEST_F(AreaSelection, BandInTheColourLeftOnTheCanvasIsRemovedExactly) {
  platform_.canvas_.SetPenColour(Rgb{12, 200, 7});
  Image1MouseDown(ctx_, 30, 40);
  for (PixelPoint p : {PixelPoint{90, 100}, PixelPoint{35, 41}, PixelPoint{140, 20}, PixelPoint{29, 150}}) {
    Image1MouseMove(ctx_, p.x, p.y);
    Timer1Timer(ctx_);
    EXPECT_NE(platform_.picture_, frame_);
  }
  // A band with no width is no rectangle and shows nothing.
  Image1MouseMove(ctx_, 30, 90);
  EXPECT_EQ(platform_.picture_, frame_);
  Image1MouseMove(ctx_, 60, 90);
  Image1MouseUp(ctx_, 60, 90);
  EXPECT_EQ(platform_.picture_, frame_);
}

TEST_F(AreaSelection, AreaChoiceDecidesWhichRectangleTheReleaseSets) {
  platform_.areaChoice_ = 0;
  Drag({20, 20}, {50, 60});
  platform_.areaChoice_ = 1;
  Drag({100, 110}, {40, 30});
  EXPECT_EQ(ctx_.workspace.scanRect, (PixelRect{20, 20, 50, 60}));
  EXPECT_EQ(ctx_.workspace.referenceRect, (PixelRect{100, 110, 40, 30}));

  // A click replaces the rectangle with an empty one.
  Drag({33, 44}, {33, 44});
  EXPECT_EQ(ctx_.workspace.referenceRect, (PixelRect{33, 44, 33, 44}));
  EXPECT_TRUE(ctx_.workspace.referenceRect.Empty());
  EXPECT_EQ(ctx_.workspace.scanRect, (PixelRect{20, 20, 50, 60}));
  EXPECT_EQ(platform_.picture_, frame_);
}

TEST_F(AreaSelection, ReleaseOutsideTheFrameStoresTheClampedCorner) {
  Image1MouseDown(ctx_, 50, 40);
  Image1MouseMove(ctx_, 450, -20);
  Timer1Timer(ctx_);
  EXPECT_EQ(ctx_.workspace.drawnCorner, (PixelPoint{299, 0}));
  Image1MouseUp(ctx_, 450, -20);
  EXPECT_EQ(ctx_.workspace.scanRect, (PixelRect{50, 40, 299, 0}));
  EXPECT_EQ(platform_.picture_, frame_);
}

TEST_F(AreaSelection, ReleaseWithoutPressStoresTheRectangleAsItStands) {
  platform_.openAnswers.push_back(std::nullopt);
  ctx_.workspace.workingRect = {5, 6, 7, 8};
  ctx_.workspace.dragging = 1;
  LoadFrameCommand(ctx_);  // cancelled: the drag is over, the rectangle zero
  ctx_.workspace.scanRect = {1, 2, 3, 4};
  Timer1Timer(ctx_);  // the timer still runs but does nothing now
  Image1MouseUp(ctx_, 80, 90);
  EXPECT_EQ(ctx_.workspace.scanRect, PixelRect{});
  EXPECT_EQ(platform_.picture_, frame_);
}

TEST_F(AreaSelection, PointerMovesShowTheRawPositionInTheCaption) {
  Image1MouseMove(ctx_, 120, 45);
  EXPECT_EQ(platform_.Caption(), "X:120 Y:45");
  Image1MouseMove(ctx_, -3, 4000);
  EXPECT_EQ(platform_.Caption(), "X:-3 Y:4000");
  EXPECT_EQ(ctx_.workspace.pointerPos, (PixelPoint{-3, 4000}));
  EXPECT_FALSE(platform_.timerRunning_);
  EXPECT_EQ(platform_.picture_, frame_);
}

TEST(AreaSelectionWithoutFrame, EveryCornerBecomesMinusOne) {
  HeadlessPlatform platform;
  Context ctx(platform);
  EXPECT_EQ(ClampToImage(ctx, 10, -10), (PixelPoint{-1, -1}));
  Image1MouseDown(ctx, 30, 20);
  Image1MouseMove(ctx, 60, 70);
  Image1MouseUp(ctx, 60, 70);
  EXPECT_EQ(ctx.workspace.scanRect, (PixelRect{-1, -1, -1, -1}));
  EXPECT_TRUE(ctx.workspace.scanRect.Empty());
}

TEST_F(AreaSelection, ClampKeepsPositionsOnTheFrame) {
  EXPECT_EQ(ClampToImage(ctx_, -5, -1), (PixelPoint{0, 0}));
  EXPECT_EQ(ClampToImage(ctx_, 300, 200), (PixelPoint{299, 199}));
  EXPECT_EQ(ClampToImage(ctx_, 299, 0), (PixelPoint{299, 0}));
  EXPECT_EQ(ClampToImage(ctx_, 17, 250), (PixelPoint{17, 199}));
}

// ---------------------------------------------------------- auto-scroll ---

struct ScrollCase {
  const char* name;
  int viewWidth;
  PixelPoint pointer;
  PixelPoint scrollAfter;
  PixelPoint cornerAfter;   // drawnCorner: the pointer clamped into the frame
  PixelPoint pointerAfter;  // moved on by the scroll step
};

void PrintTo(const ScrollCase& c, std::ostream* os) { *os << c.name; }

class AutoScroll : public AreaSelection, public testing::WithParamInterface<ScrollCase> {};

// The view shows columns 64.. and rows 32..; its outer size is W x 100.
TEST_P(AutoScroll, OneTick) {
  const ScrollCase& c = GetParam();
  ctx_.calib.viewWidth = c.viewWidth;
  ctx_.calib.viewHeight = 100;
  platform_.visibleWidth = 100;
  platform_.visibleHeight = 80;
  platform_.SetScrollX(64);
  platform_.SetScrollY(32);
  Image1MouseDown(ctx_, 100, 60);
  ctx_.workspace.pointerPos = c.pointer;
  Timer1Timer(ctx_);
  EXPECT_EQ(platform_.ScrollX(), c.scrollAfter.x);
  EXPECT_EQ(platform_.ScrollY(), c.scrollAfter.y);
  EXPECT_EQ(ctx_.workspace.drawnCorner, c.cornerAfter);
  EXPECT_EQ(ctx_.workspace.pointerPos, c.pointerAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Margins, AutoScroll,
    testing::Values(ScrollCase{"left", 120, {70, 60}, {48, 32}, {70, 60}, {54, 60}},
                    ScrollCase{"up", 120, {100, 40}, {64, 16}, {100, 40}, {100, 24}},
                    ScrollCase{"right", 120, {161, 60}, {80, 32}, {161, 60}, {177, 60}},
                    ScrollCase{"down", 120, {100, 109}, {64, 48}, {100, 109}, {100, 125}},
                    ScrollCase{"on_the_margins", 120, {80, 108}, {64, 32}, {80, 108}, {80, 108}},
                    ScrollCase{"left_of_the_frame", 120, {-40, 60}, {48, 32}, {0, 60}, {-16, 60}},
                    // Both horizontal checks apply; the second one stands.
                    ScrollCase{"narrow_view", 30, {70, 60}, {64, 32}, {70, 60}, {86, 60}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AreaSelection, HoldingLeftOfTheViewScrollsEveryTickUntilColumnZero) {
  ctx_.calib.viewWidth = 120;
  ctx_.calib.viewHeight = 100;
  platform_.visibleWidth = 100;
  platform_.visibleHeight = 80;
  platform_.SetScrollX(64);
  platform_.SetScrollY(32);
  Image1MouseDown(ctx_, 100, 90);
  Image1MouseMove(ctx_, 50, 60);  // left of the view's left edge; a first step
  std::vector<int> scrolls = {platform_.ScrollX()}, corners = {ctx_.workspace.drawnCorner.x};
  for (int tick = 0; tick < 5; ++tick) {
    Timer1Timer(ctx_);
    scrolls.push_back(platform_.ScrollX());
    corners.push_back(ctx_.workspace.drawnCorner.x);
  }
  EXPECT_EQ(scrolls, (std::vector<int>{48, 32, 16, 0, 0, 0}));
  EXPECT_EQ(corners, (std::vector<int>{50, 34, 18, 2, 0, 0}));
  Image1MouseUp(ctx_, -30, 60);
  EXPECT_EQ(ctx_.workspace.scanRect, (PixelRect{100, 90, 0, 60}));
  EXPECT_EQ(platform_.picture_, frame_);
}

}  // namespace
}  // namespace km
