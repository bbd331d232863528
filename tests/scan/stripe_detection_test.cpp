#include "scan/stripe_detection.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/scan/frame_fixtures.h"

namespace km {
namespace {

using test::RecordingCanvas;
using test::RowsRaster;

std::vector<int> Band(int n, int background, int from, int to, int value) {
  std::vector<int> row(n, background);
  for (int i = from; i < to; ++i) row[i] = value;
  return row;
}

std::vector<int> Edge(int n, int background, int at, int value) { return Band(n, background, at, n, value); }

struct RowCase {
  const char* name;
  std::vector<int> row;
  bool step;
  int64_t minDiff;
  float cx;
  float expected;  // stripe column, -1: none
};

class DetectRow : public ::testing::TestWithParam<RowCase> {};

TEST_P(DetectRow, FindsTheExpectedColumn) {
  const RowCase& c = GetParam();
  // Three rows with the row of interest in the middle, rect shifted by one
  // column so that the offset x1 shows in the result.
  std::vector<int> padded = c.row;
  padded.insert(padded.begin(), 765);
  const int n = static_cast<int>(padded.size());
  const Raster raster = RowsRaster({std::vector<int>(n, 765), padded, std::vector<int>(n, 0)});
  StripeTable table;
  table.column.fill(7);
  DetectStripeRows(raster, PixelRect{1, 1, n - 1, 1}, table, StripeSettings{c.step, c.minDiff, c.cx});
  EXPECT_EQ(table.column[1], c.expected < 0 ? -1.0f : c.expected + 1);
  EXPECT_EQ(table.column[0], 7) << "rows outside the rectangle are not written";
  EXPECT_EQ(table.column[2], 7);
}

INSTANTIATE_TEST_SUITE_P(
    StripeDetection, DetectRow,
    ::testing::Values(
        RowCase{"FlatRowSlit", std::vector<int>(32, 300), false, 0, 1024, -1},
        RowCase{"FlatRowStep", std::vector<int>(32, 300), true, 0, 1024, -1},
        RowCase{"SlitLine", Band(32, 30, 12, 20, 600), false, 20, 1024, 12},
        // Step: the first of the largest rises among columns above the bound.
        RowCase{"StepEdge", Edge(32, 30, 12, 600), true, 20, 1024, 15},
        RowCase{"StepEqualRisesTakeFirst",
                [] {
                  auto r = Band(40, 30, 8, 14, 600);
                  for (int i = 26; i < 40; ++i) r[i] = 600;
                  return r;
                }(),
                true, 20, 1024, 10},
        // A maximum of 270 is not normalised, so the rise stays 142; at 271
        // the row is scaled to 255 and the rise shrinks to 134.
        RowCase{"MaxOf270NotNormalised", Band(32, 0, 12, 20, 270), false, 141, 1024, 12},
        RowCase{"RiseEqualToMinDiffFails", Band(32, 0, 12, 20, 270), false, 142, 1024, -1},
        RowCase{"MaxOf271Normalised", Band(32, 0, 12, 20, 271), false, 140, 1024, -1},
        // Background 180, band 300: max = mean0 + 90 exactly, not normalised.
        RowCase{"MaxAtMeanPlus90NotNormalised", Band(32, 180, 12, 20, 300), false, 60, 1024, 12},
        RowCase{"MaxAboveMeanPlus90Normalised", Band(32, 180, 12, 20, 301), false, 60, 1024, -1},
        // Slit width: the band's fall lies 8 columns after its rise.
        RowCase{"SlitWidthEqualToBoundFails", Band(32, 30, 12, 20, 600), false, 20, 256, -1},
        RowCase{"SlitWidthBelowBoundPasses", Band(32, 30, 12, 20, 600), false, 20, 257, 12},
        RowCase{"SlitFallLeftOfRisePasses",
                [] {
                  auto r = Edge(32, 300, 20, 765);
                  for (int i = 4; i < 9; ++i) r[i] = 0;
                  return r;
                }(),
                false, 20, 0, 20},
        // Smoothed plateau 236 equals the Step bound (mean 179): strict fails.
        RowCase{"StepValueEqualToBoundFails", Edge(16, 66, 6, 236), true, 0, 1024, -1},
        RowCase{"StepValueAboveBoundPasses", Edge(16, 66, 6, 237), true, 0, 1024, 14},
        RowCase{"FiveColumnsDetect", {0, 0, 765, 765, 765}, true, 0, 1024, 3},
        RowCase{"FourColumnsNeverDetect", {0, 0, 765, 765}, true, 0, 1024, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StripeDetection, NormalisationMatchesIntegerDivisionForEveryMaximum) {
  for (int32_t max = 271; max <= 765; ++max) {
    const NormaliseFactor factor(static_cast<uint32_t>(max));
    for (uint32_t v = 0; v <= static_cast<uint32_t>(max); ++v)
      ASSERT_EQ(factor.Apply(v), v * 255 / static_cast<uint32_t>(max)) << v << "/" << max;
  }
  const NormaliseFactor identity(255);
  for (uint32_t v = 0; v <= 765; ++v) ASSERT_EQ(identity.Apply(v), v);
}

TEST(StripeDetection, RowsTakenTogetherMatchRowsTakenOneByOne) {
  // Eight rows and more go through the block detector; a rectangle of one
  // row through the single-row one. Seeded rows of lines, edges and noise.
  std::mt19937 rng(5);
  std::vector<std::vector<int>> rows;
  for (int y = 0; y < 45; ++y) {
    std::vector<int> row(120);
    const int base = static_cast<int>(rng() % 200), at = static_cast<int>(rng() % 100), width = 1 + y % 9;
    for (int x = 0; x < 120; ++x) {
      int v = base + static_cast<int>(rng() % 30);
      if (y % 3 == 0 && x >= at && x < at + width) v += 400;
      if (y % 3 == 1 && x >= at) v += 300;
      if (y % 5 == 4) v = static_cast<int>(rng() % 766);
      row[x] = std::min(v, 765);
    }
    rows.push_back(row);
  }
  const Raster raster = RowsRaster(rows);
  for (const StripeSettings& settings :
       {StripeSettings{false, 20, 1024}, StripeSettings{true, 20, 1024}, StripeSettings{true, -100000, 1024},
        StripeSettings{false, 0, 100}, StripeSettings{true, 100000, 1024}}) {
    StripeTable together, single;
    DetectStripeRows(raster, PixelRect{3, 0, 117, 44}, together, settings);
    int found = 0;
    for (int y = 0; y < 45; ++y) {
      DetectStripeRows(raster, PixelRect{3, y, 117, y}, single, settings);
      EXPECT_EQ(together.column[y], single.column[y]) << "row " << y << " step " << settings.stepLighting;
      found += single.column[y] >= 0;
    }
    if (settings.minDiff < 1000) {
      EXPECT_GT(found, 0) << "some rows have a stripe";
    }
  }
}

TEST(StripeDetection, ClipKeepsRowsInTableAndColumnsInBuffers) {
  Raster big;
  big.width = 5000;
  big.height = 3100;
  EXPECT_EQ(ClipDetectionRect(PixelRect{-5, -3, 4900, 3050}, big), (PixelRect{0, 0, 3999, 2999}));
  Raster small;
  small.width = 64;
  small.height = 48;
  EXPECT_EQ(ClipDetectionRect(PixelRect{10, 10, 100, 100}, small), (PixelRect{10, 10, 63, 47}));
  const PixelRect outside = ClipDetectionRect(PixelRect{70, 50, 80, 60}, small);
  EXPECT_GT(outside.x1, outside.x2);
  EXPECT_GT(outside.y1, outside.y2);
  EXPECT_EQ(OrderedRect(PixelRect{9, 8, 1, 2}), (PixelRect{1, 2, 9, 8}));
}

TEST(StripeDetection, SpanLooksOnlyInsideTheRectangle) {
  StripeTable t;
  t.column.fill(-1);
  t.column[2] = 5;
  t.column[10] = 7;
  t.column[14] = 8;
  t.column[30] = 9;
  const auto span = FindStripeSpan(t, PixelRect{0, 5, 20, 20});
  ASSERT_TRUE(span);
  EXPECT_EQ(span->first, 10);
  EXPECT_EQ(span->last, 14);
  EXPECT_FALSE(FindStripeSpan(t, PixelRect{0, 15, 20, 29}));
}

struct TraceCase {
  const char* name;
  int first, last;
  std::vector<float> columns;  // rows first .. last
  std::vector<float> filled;
  std::vector<std::string> ops;
};

class Trace : public ::testing::TestWithParam<TraceCase> {};

TEST_P(Trace, FillsGapsAndDraws) {
  const TraceCase& c = GetParam();
  StripeTable t;
  t.column.fill(-1);
  for (size_t i = 0; i < c.columns.size(); ++i) t.column[c.first + i] = c.columns[i];
  RecordingCanvas canvas;
  TraceStripe(t, c.first, c.last, canvas);
  for (size_t i = 0; i < c.filled.size(); ++i)
    EXPECT_FLOAT_EQ(t.column[c.first + i], c.filled[i]) << "row " << i;
  EXPECT_EQ(canvas.ops, c.ops);
}

INSTANTIATE_TEST_SUITE_P(
    StripeDetection, Trace,
    ::testing::Values(TraceCase{"GapOfOneRow",
                                10,
                                13,
                                {100, -1, 104, 106},
                                {100, 102, 104, 106},
                                {"mode copy", "move 100,10", "colour 255,255,0", "line 102,11",
                                 "colour 128,128,255", "line 104,12"}},
                      TraceCase{"GapAfterFirst",
                                0,
                                4,
                                {10, -1, -1, 20, 21},
                                {10, 10 + 10.0f / 3, 10 + 20.0f / 3, 20, 21},
                                {"mode copy", "move 10,0", "colour 255,255,0", "line 16,2",
                                 "colour 128,128,255", "line 20,3"}},
                      TraceCase{"GapEndingAtLast",
                                5,
                                8,
                                {10, -1, -1, 13},
                                {10, 11, 12, 13},
                                {"mode copy", "move 10,5", "colour 255,255,0", "line 12,7"}},
                      TraceCase{"SingleRow", 3, 3, {42.5f}, {42.5f}, {"mode copy", "move 42,3"}},
                      TraceCase{"TwoRows", 3, 4, {42, -1}, {42, -1}, {"mode copy", "move 42,3"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StripeDetection, FilterLeavesStraightTraceAndAveragesInPlace) {
  StripeTable t;
  for (int r = 0; r < 50; ++r) t.column[r] = 100 + 0.5f * r;
  FilterStripe(t, 0, 49);
  for (int r = 0; r < 50; ++r) EXPECT_NEAR(t.column[r], 100 + 0.5f * r, 1e-4) << r;

  // 0 3 0 3 0: row 1 is (0+3+0)/3 = 1, row 2 sees the filtered row 1.
  const float zigzag[] = {0, 3, 0, 3, 0};
  for (int r = 0; r < 5; ++r) t.column[r] = zigzag[r];
  FilterStripe(t, 0, 4);
  EXPECT_FLOAT_EQ(t.column[0], 0);
  EXPECT_FLOAT_EQ(t.column[1], 1);
  EXPECT_FLOAT_EQ(t.column[2], 4.0f / 3);
  EXPECT_FLOAT_EQ(t.column[3], (4.0f / 3 + 3) / 3);
  EXPECT_FLOAT_EQ(t.column[4], 0);
}

TEST(StripeDetection, StraightLineThroughDetectTraceAndFilter) {
  // A slightly slanted line over 40 rows with two rows missing.
  Raster frame = test::DarkFrame(200, 40);
  test::DrawLine(frame, 0, 39, [](int y) { return 50 + y / 2; });
  for (int x = 0; x < 200; ++x) test::SetIntensity(frame, x, 20, 60), test::SetIntensity(frame, x, 21, 60);
  StripeTable t;
  const PixelRect area = ClipDetectionRect(PixelRect{10, 0, 190, 39}, frame);
  DetectStripeRows(frame, area, t, StripeSettings{false, 20, 1024});
  EXPECT_EQ(t.column[20], -1);
  EXPECT_EQ(t.column[21], -1);
  const auto span = FindStripeSpan(t, area);
  ASSERT_TRUE(span);
  EXPECT_EQ(span->first, 0);
  EXPECT_EQ(span->last, 39);
  RecordingCanvas canvas;
  TraceStripe(t, span->first, span->last, canvas);
  FilterStripe(t, span->first, span->last);
  // The detected column is a fixed offset from the line's left edge.
  const float offset = t.column[0] - 50;
  for (int y = 1; y < 39; ++y) EXPECT_NEAR(t.column[y], 50 + y / 2 + offset, 1.0) << y;
}

}  // namespace
}  // namespace km
