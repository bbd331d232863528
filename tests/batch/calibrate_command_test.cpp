// kelmorph-batch calibrate, run as a user runs it.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "calib/settings_file.h"
#include "common/headless_platform.h"
#include "common/image_writers.h"
#include "common/numbers.h"
#include "tests/batch/batch_runner.h"
#include "tests/scan/frame_fixtures.h"

namespace km {
namespace {

using CalibrateRun = test::BatchRun;

CalibrateRun Calibrate(const test::TempDir& dir, const std::string& args) {
  return test::RunBatch(dir.path(), "calibrate " + args, dir.File("stderr.txt"));
}

TEST(CalibrateCommand, PrintsTheFivePointsAndTheFitAndSavesThem) {
  test::TempDir dir;
  Raster frame = test::DarkFrame(640, 300);
  const std::vector<int> lowest = test::DrawStaircase(frame, 10, 100, 5);
  WriteBmpFile(dir.File("Ref0001.bmp"), frame);
  const CalibrateRun run = Calibrate(dir, "Ref0001.bmp --ref-rect 80,5,330,295 --save-settings new.cfg");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");

  std::istringstream lines(run.out);
  std::string line;
  for (int j = 1; j <= 5; ++j) {
    ASSERT_TRUE(std::getline(lines, line));
    const std::string head = "point " + std::to_string(j) + ": ";
    ASSERT_EQ(line.rfind(head, 0), 0u) << line;
    EXPECT_EQ(line.substr(line.rfind(' ') + 1), WholeNumberText(lowest[j - 1])) << line;
  }
  for (const char* name : {"XL: ", "h: ", "Z0: ", "f: ", "centerX: "}) {
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line.rfind(name, 0), 0u) << line;
  }
  EXPECT_FALSE(std::getline(lines, line));

  // A later scan that loads the saved file sees the new points.
  HeadlessPlatform platform;
  Context ctx(platform);
  ReadSettingsFile(ctx, dir.File("new.cfg"));
  EXPECT_EQ(ctx.settings.Edit(6).text, WholeNumberText(lowest[0]));
  EXPECT_EQ(ctx.settings.Edit(14).text, WholeNumberText(lowest[4]));
}

TEST(CalibrateCommand, StraightStripeFailsWithTheMessage) {
  test::TempDir dir;
  Raster frame = test::DarkFrame(640, 300);
  test::DrawLine(frame, 10, 200, [](int) { return 150; });
  WriteBmpFile(dir.File("Ref0001.bmp"), frame);
  const CalibrateRun run = Calibrate(dir, "Ref0001.bmp --ref-rect 80,5,330,295 --save-settings new.cfg");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "基準体検出に失敗しました\n");
  EXPECT_EQ(run.out, "");
  EXPECT_FALSE(std::ifstream(dir.File("new.cfg")).good()) << "nothing saved";

  EXPECT_EQ(Calibrate(dir, "Ref0001.bmp").status, 1);
  EXPECT_EQ(Calibrate(dir, "Ref0001.bmp --ref-rect 80,5,80,295").status, 1);
}

}  // namespace
}  // namespace km
