#include "scan/scan_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "app/frame_loading.h"
#include "calib/calibration_solve.h"
#include "common/errors.h"
#include "common/headless_platform.h"
#include "common/image_writers.h"
#include "scan/reference_detection.h"
#include "tests/scan/frame_fixtures.h"

namespace km {
namespace {

using test::DarkFrame;
using test::DrawLine;

struct Point {
  float x, y, z;
  bool operator==(const Point&) const = default;
};

std::vector<Point> Profile(const Context& ctx, int k) {
  std::vector<Point> points;
  for (int p = 0; p <= ctx.store->lastIndex[k]; ++p)
    points.push_back({ctx.store->X(p, k), ctx.store->Y(p, k), ctx.store->Z(p, k)});
  return points;
}

// A 640 x 64 frame (cx 320) with a vertical line at column 500 on rows
// 8 .. 55, or dark.
Raster LineFrame(bool withLine = true) {
  Raster frame = DarkFrame(640, 64);
  if (withLine) DrawLine(frame, 8, 55, [](int) { return 500; });
  return frame;
}

// Writes the frames as Obj0001.bmp, Obj0002.bmp, ... and LOADs the first.
struct Sequence {
  explicit Sequence(const std::vector<Raster>& frames) : ctx(platform) {
    for (size_t i = 0; i < frames.size(); ++i) WriteBmpFile(Path(static_cast<int>(i)), frames[i]);
    LoadFramePath(ctx, Path(0));
    ctx.workspace.scanRect = PixelRect{300, 4, 600, 60};
    ctx.settings.CheckBox4 = false;
  }
  std::string Path(int k) const {
    const std::string number = std::to_string(1 + k);
    return dir.File("Obj" + std::string(4 - number.size(), '0') + number + ".bmp");
  }
  test::TempDir dir;
  HeadlessPlatform platform;
  Context ctx;
};

TEST(ScanRun, SequenceEndsSilentlyAfterItsLastFile) {
  Sequence seq({LineFrame(), LineFrame(false), LineFrame()});
  Context& ctx = seq.ctx;
  ctx.store->lastIndex[3] = 77;
  RunScan(ctx);
  EXPECT_EQ(ctx.workspace.frameCounter, 2);
  EXPECT_EQ(seq.platform.cursor_, CursorShape::Arrow);
  EXPECT_TRUE(seq.platform.messages.empty());
  EXPECT_EQ(seq.platform.captions, (std::vector<std::string>{"", seq.Path(1), seq.Path(2)}));
  EXPECT_EQ(seq.platform.repaints, 3);
  EXPECT_EQ(ctx.workspace.workingRect, (PixelRect{300, 4, 600, 60}));
  EXPECT_EQ(ctx.store->lastIndex[0], 47) << "rows 8 .. 55";
  EXPECT_EQ(ctx.store->lastIndex[1], -1) << "a frame without stripe";
  EXPECT_EQ(ctx.store->lastIndex[2], 47);
  EXPECT_EQ(ctx.store->lastIndex[3], 77) << "profiles after the run are left alone";

  // Rotation mode: profile 2 is profile 0 turned by 2 x 1.8 degrees about
  // the vertical axis; Y is unchanged.
  const auto p0 = Profile(ctx, 0), p2 = Profile(ctx, 2);
  const double theta = 3.6 * 3.14159265359 / 180;
  for (size_t i = 0; i < p0.size(); ++i) {
    const double r = std::hypot(p0[i].x, p0[i].z);
    EXPECT_NEAR(p2[i].x, p0[i].x * std::cos(theta) - p0[i].z * std::sin(theta), 1e-5 * r);
    EXPECT_NEAR(p2[i].z, p0[i].x * std::sin(theta) + p0[i].z * std::cos(theta), 1e-5 * r);
    EXPECT_EQ(p2[i].y, p0[i].y);
  }
  // Y grows upwards: row 8 lies above row 55.
  EXPECT_GT(p0.front().y, p0.back().y);
}

TEST(ScanRun, FaceFrontTurnsProfileZeroTowardsTheViewer) {
  Sequence off({LineFrame()});
  RunScan(off.ctx);
  Sequence on({LineFrame()});
  on.ctx.settings.CheckBox4 = true;
  RunScan(on.ctx);
  const auto a = Profile(off.ctx, 0), b = Profile(on.ctx, 0);
  ASSERT_EQ(a.size(), b.size());
  // The offset is the angle between -Z and the first point as seen from
  // the rotation centre.
  const double B = off.ctx.calib.centerX - a[0].x, D = a[0].z;
  const double offset = std::acos(-D / std::sqrt(B * B + D * D));
  ASSERT_GT(std::abs(offset), 0.01);
  for (size_t i = 0; i < a.size(); i += 7) {
    const double r = std::hypot(a[i].x, a[i].z);
    EXPECT_NEAR(b[i].x, a[i].x * std::cos(offset) - a[i].z * std::sin(offset), 1e-5 * r);
    EXPECT_NEAR(b[i].z, a[i].x * std::sin(offset) + a[i].z * std::cos(offset), 1e-5 * r);
  }
}

TEST(ScanRun, FaceFrontWithoutStripeInFrameZeroKeepsOffsetZero) {
  Sequence off({LineFrame(false), LineFrame()});
  RunScan(off.ctx);
  Sequence on({LineFrame(false), LineFrame()});
  on.ctx.settings.CheckBox4 = true;
  RunScan(on.ctx);
  EXPECT_EQ(on.ctx.store->lastIndex[0], -1);
  EXPECT_EQ(Profile(on.ctx, 1), Profile(off.ctx, 1));
}

TEST(ScanRun, SlideShiftsProfileKByKSteps) {
  Sequence seq({LineFrame(), LineFrame(), LineFrame()});
  seq.ctx.settings.RadioGroup2.index = kModeSlide;
  seq.ctx.settings.Edit(2).text = "0.25";
  RunScan(seq.ctx);
  const auto p0 = Profile(seq.ctx, 0);
  for (int k = 1; k <= 2; ++k) {
    const auto pk = Profile(seq.ctx, k);
    ASSERT_EQ(pk.size(), p0.size());
    for (size_t i = 0; i < p0.size(); ++i) {
      EXPECT_EQ(pk[i].x, static_cast<float>(static_cast<long double>(p0[i].x) + 0.25f * k));
      EXPECT_EQ(pk[i].y, p0[i].y);
      EXPECT_EQ(pk[i].z, p0[i].z);
    }
  }
}

TEST(ScanRun, ReverseDraggedRectangleGivesTheSameProfile) {
  Sequence a({LineFrame()});
  RunScan(a.ctx);
  Sequence b({LineFrame()});
  b.ctx.workspace.scanRect = PixelRect{600, 60, 300, 4};
  RunScan(b.ctx);
  EXPECT_EQ(Profile(a.ctx, 0), Profile(b.ctx, 0));
  EXPECT_EQ(b.ctx.workspace.workingRect, (PixelRect{300, 4, 600, 60}));
}

// Frames 640 x 300 with the reference body on the left and the object's
// line on the right.
Raster ScanModeFrame(bool withBody) {
  Raster frame = DarkFrame(640, 300);
  if (withBody) test::DrawStaircase(frame, 10, 100, 5);
  DrawLine(frame, 20, 280, [](int) { return 500; });
  return frame;
}

TEST(ScanRun, ScanModeCalibratesEveryFrameFromItsReferenceBody) {
  Sequence seq({ScanModeFrame(true), ScanModeFrame(true)});
  Context& ctx = seq.ctx;
  ctx.workspace.scanRect = PixelRect{400, 8, 600, 290};
  ctx.workspace.referenceRect = PixelRect{80, 5, 330, 295};
  ctx.settings.RadioGroup2.index = kModeScan;
  ctx.settings.CheckBox4 = true;  // face front applies to Rotation only
  RunScan(ctx);
  EXPECT_TRUE(seq.platform.messages.empty());
  EXPECT_EQ(ctx.workspace.frameCounter, 1);
  EXPECT_TRUE(ctx.settings.CheckBox1);
  EXPECT_EQ(ctx.settings.Edit(6).text, "219") << "lowest corner of the body";
  EXPECT_EQ(ctx.workspace.workingRect, (PixelRect{80, 5, 330, 295})) << "left by the reference detection";
  EXPECT_EQ(seq.platform.repaints, 2 + 2) << "one per frame and one per reference detection";
  const auto scanned = Profile(ctx, 1);
  ASSERT_EQ(scanned.size(), 261u);

  // The same frame in Rotation mode at angle 0 with the calibration the
  // reference body gave stores the same, untransformed points.
  ctx.settings.RadioGroup2.index = kModeRotation;
  ctx.settings.Edit(1).text = "0";
  ctx.settings.CheckBox4 = false;
  LoadFramePath(ctx, seq.Path(0));
  RunScan(ctx);
  EXPECT_EQ(Profile(ctx, 1), scanned);
}

TEST(ScanRun, ScanModeGoesOnWhenTheReferenceBodyIsNotFound) {
  Sequence seq({ScanModeFrame(false), ScanModeFrame(false), ScanModeFrame(false)});
  Context& ctx = seq.ctx;
  ctx.workspace.scanRect = PixelRect{400, 8, 600, 290};
  ctx.workspace.referenceRect = PixelRect{80, 5, 330, 295};
  ctx.settings.RadioGroup2.index = kModeScan;
  const float XL = (SolveCalibration(ctx), ctx.calib.XL);
  RunScan(ctx);
  EXPECT_EQ(seq.platform.messages, std::vector<std::string>(3, kReferenceFailedMessage));
  EXPECT_EQ(ctx.workspace.frameCounter, 2);
  EXPECT_EQ(ctx.calib.XL, XL);
  EXPECT_EQ(ctx.store->lastIndex[2], 260);
}

TEST(ScanRun, EmptyRectangleDoesNothing) {
  Sequence seq({LineFrame()});
  Context& ctx = seq.ctx;
  ctx.workspace.scanRect = PixelRect{300, 4, 600, 4};
  ctx.workspace.frameCounter = 5;
  seq.platform.cursor_ = CursorShape::Hourglass;
  RunScan(ctx);
  EXPECT_EQ(ctx.workspace.frameCounter, 5);
  EXPECT_EQ(ctx.store->lastIndex[0], 0);
  EXPECT_EQ(seq.platform.cursor_, CursorShape::Hourglass);
  EXPECT_TRUE(seq.platform.captions.empty());
  EXPECT_EQ(ctx.workspace.workingRect, (PixelRect{300, 4, 600, 4}));
}

TEST(ScanRun, RunStopsAfter719FramesWithTheMessage) {
  // Tiny frames with a Step edge: 720 files, so that the 720th frame loads.
  std::vector<int> edge(24, 30);
  for (int i = 12; i < 24; ++i) edge[i] = 600;
  const Raster frame = test::RowsRaster({edge, edge, edge, edge});
  Sequence seq(std::vector<Raster>(720, frame));
  Context& ctx = seq.ctx;
  ctx.workspace.scanRect = PixelRect{0, 0, 23, 3};
  ctx.settings.RadioGroup3.index = kLightingStep;
  RunScan(ctx);
  EXPECT_EQ(seq.platform.messages, std::vector<std::string>{kScanFinishedMessage});
  EXPECT_EQ(ctx.workspace.frameCounter, 718) << "the last profile, so that SAVE writes them all";
  EXPECT_EQ(seq.platform.captions.size(), 719u);
  EXPECT_EQ(ctx.store->lastIndex[718], 3);
  EXPECT_EQ(ctx.store->lastIndex[719], 0) << "profile 719 is never written";
  EXPECT_EQ(seq.platform.cursor_, CursorShape::Arrow);

  // With 719 files the load after the last frame fails: a silent end.
  std::filesystem::remove(seq.Path(719));
  seq.platform.messages.clear();
  LoadFramePath(ctx, seq.Path(0));
  RunScan(ctx);
  EXPECT_TRUE(seq.platform.messages.empty());
  EXPECT_EQ(ctx.workspace.frameCounter, 718);
}

TEST(ScanRun, ErrorsEndTheRunAtTheFrameInWork) {
  {  // number text that is not an integer: profile 0 is stored first
    Sequence seq({LineFrame()});
    seq.ctx.workspace.sequenceName.numberText = "mage";
    EXPECT_THROW(RunScan(seq.ctx), ConversionError);
    EXPECT_EQ(seq.ctx.workspace.frameCounter, 0);
    EXPECT_EQ(seq.ctx.store->lastIndex[0], 47);
    EXPECT_EQ(seq.platform.cursor_, CursorShape::Arrow);
  }
  {  // a step angle that is not a number stops Slide mode too, at frame 0
    Sequence seq({LineFrame(), LineFrame()});
    seq.ctx.settings.RadioGroup2.index = kModeSlide;
    seq.ctx.settings.Edit(1).text = "1,8";
    seq.ctx.store->lastIndex[0] = 99;
    try {
      RunScan(seq.ctx);
      ADD_FAILURE() << "no error";
    } catch (const ConversionError& e) {
      EXPECT_STREQ(e.what(), "'1,8' は浮動小数点数ではありません");
    }
    EXPECT_EQ(seq.ctx.workspace.frameCounter, 0);
    EXPECT_EQ(seq.ctx.store->lastIndex[0], 99);
    EXPECT_EQ(seq.platform.cursor_, CursorShape::Arrow);
  }
}

TEST(ScanRun, StripeColumnAtXLDividesByZero) {
  // Real Y values far off every fit leave XL = h = 9999; an image centre of
  // 15 - 13332 then puts the edge found in column 15 at u = 9999 = XL.
  HeadlessPlatform platform;
  Context ctx(platform);
  for (int n : {17, 19, 21, 23, 25}) ctx.settings.Edit(n).text += "0000";
  std::vector<int> edge(32, 30);
  for (int i = 12; i < 32; ++i) edge[i] = 600;
  ctx.workspace.workingRaster = test::RowsRaster({edge, edge});
  ctx.calib.halfWidth = 15 - 13332;
  ctx.calib.halfHeight = 1;
  ctx.settings.RadioGroup3.index = kLightingStep;
  SolveCalibration(ctx);
  ASSERT_EQ(ctx.calib.XL, 9999);
  ctx.workspace.sequenceName = SequenceName{"/nonexistent/", "Obj", "0001", ".bmp", "Obj0001"};
  ctx.workspace.scanRect = PixelRect{0, 0, 31, 1};
  ctx.store->lastIndex[0] = 99;
  for (bool faceFront : {false, true}) {
    ctx.settings.CheckBox4 = faceFront;
    try {
      RunScan(ctx);
      ADD_FAILURE() << "no error";
    } catch (const FloatError& e) {
      EXPECT_STREQ(e.what(), kZeroDivideMessage);
    }
    EXPECT_EQ(ctx.store->lastIndex[0], 99);
    EXPECT_EQ(platform.cursor_, CursorShape::Arrow);
  }
}

TEST(ScanRun, RectangleAndLaterFramesAreClippedToTheirRasters) {
  {  // a later, smaller frame: only its own pixels are read
    Raster small = DarkFrame(320, 32);
    DrawLine(small, 0, 31, [](int) { return 310; });
    Sequence seq({LineFrame(), small});
    RunScan(seq.ctx);
    EXPECT_EQ(seq.ctx.workspace.frameCounter, 1);
    EXPECT_EQ(seq.ctx.store->lastIndex[1], 27) << "rows 4 .. 31";
  }
  {  // rows beyond the table are left out: at most 3000 points
    HeadlessPlatform platform;
    Context ctx(platform);
    Raster tall = DarkFrame(48, 3100);
    DrawLine(tall, 0, 3099, [](int) { return 30; });
    ctx.workspace.workingRaster = tall;
    ctx.calib.halfWidth = 1024;  // wide enough for the Slit width test
    ctx.calib.halfHeight = 1550;
    ctx.workspace.sequenceName = SequenceName{"/nonexistent/", "Obj", "0001", ".bmp", "Obj0001"};
    ctx.workspace.scanRect = PixelRect{0, 0, 47, 3099};
    RunScan(ctx);
    EXPECT_EQ(ctx.store->lastIndex[0], 2999);
  }
}

}  // namespace
}  // namespace km
