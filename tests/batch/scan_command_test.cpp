// kelmorph-batch scan, run as a user runs it, against the same steps taken
// through the core as the windows take them.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "app/frame_loading.h"
#include "calib/settings_file.h"
#include "common/headless_platform.h"
#include "common/image_writers.h"
#include "export/save_command.h"
#include "scan/reference_detection.h"
#include "scan/scan_run.h"
#include "synth/scene_files.h"
#include "synth/synthetic_scene.h"
#include "tests/batch/batch_runner.h"
#include "tests/scan/frame_fixtures.h"

namespace km {
namespace {

using test::BatchRun;
using test::ReadAll;

// Runs kelmorph-batch in folder `cwd` with the arguments (no spaces in them).
BatchRun Batch(const test::TempDir& dir, const std::string& args) {
  return test::RunBatch(dir.path(), args, dir.File("stderr.txt"));
}

// 640 x 300 frames: a reference body on the left, the object's line on the
// right, moving one column per frame.
Raster Frame(int k, bool withBody = true) {
  Raster frame = test::DarkFrame(640, 300);
  if (withBody) test::DrawStaircase(frame, 10, 100, 5);
  test::DrawLine(frame, 20, 280, [k](int y) { return 480 + k + y / 16; });
  return frame;
}

struct ScanCommandTest : ::testing::Test {
  void WriteSequence(int frames, const std::string& extension) {
    for (int k = 0; k < frames; ++k) {
      const std::string path = dir.File("Obj000" + std::to_string(k + 1) + extension);
      if (extension == ".jpg")
        WriteJpegFile(path, Frame(k), 90);
      else
        WriteBmpFile(path, Frame(k));
    }
  }
  test::TempDir dir;
};

const std::regex kSummary(R"(frames: (\d+) points: (\d+) vertices: (\d+) faces: (\d+) seconds: \d+\.\d\d\n)");

TEST_F(ScanCommandTest, SequenceToCsvWithTheDefaultName) {
  WriteSequence(3, ".bmp");
  const BatchRun run = Batch(dir, "scan Obj0001.bmp --scan-rect 600,290,400,8 --format csv");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "") << "no progress when standard error is not a terminal";
  std::smatch m;
  ASSERT_TRUE(std::regex_match(run.out, m, kSummary)) << run.out;
  EXPECT_EQ(m[1], "3");
  EXPECT_EQ(m[2], "783") << "261 rows in each of three frames";
  EXPECT_EQ(m[3], "783");
  EXPECT_EQ(m[4], "0");
  const std::string csv = ReadAll(dir.File("Obj0001.csv"));
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 783);
  EXPECT_EQ(csv.substr(csv.size() - 10), ", 260, 2\r\n");
}

// The same steps a user takes in the windows: LOAD, drags, Ref_read, SCAN,
// Output mode and SAVE with its dialog.
std::string WindowSteps(const test::TempDir& dir, const std::string& first, int outputMode, bool refRead) {
  HeadlessPlatform platform;
  Context ctx(platform);
  platform.openAnswers.push_back(dir.File(first));
  LoadFrameCommand(ctx);
  ctx.workspace.scanRect = PixelRect{400, 8, 600, 290};
  ctx.workspace.referenceRect = PixelRect{330, 295, 80, 5};
  if (refRead) DetectReference(ctx);
  RunScan(ctx);
  ctx.settings.RadioGroup1.index = outputMode;
  const std::string path = dir.File("window.out");
  platform.saveAnswers.push_back(path);
  SaveModelCommand(ctx);
  return ReadAll(path);
}

TEST_F(ScanCommandTest, ByteIdenticalToTheWindowSteps) {
  WriteSequence(4, ".jpg");
  struct Case {
    const char* format;
    int outputMode;
    bool refRead;
  } cases[] = {{"csv", kOutputCsv, false}, {"dxf", kOutputDxf, true}, {"vrml2", kOutputVrml2, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    const std::string window = WindowSteps(dir, "Obj0001.jpg", c.outputMode, c.refRead);
    ASSERT_FALSE(window.empty());
    const BatchRun run =
        Batch(dir, std::string("scan Obj0001.jpg --scan-rect 400,8,600,290 --ref-rect 330,295,80,5") +
                       (c.refRead ? " --ref-read" : "") + " --format " + c.format + " -o batch.out");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(ReadAll(dir.File("batch.out")) == window) << "files differ";
  }
}

TEST_F(ScanCommandTest, FailuresExitWithTwoAndTheMessage) {
  WriteSequence(1, ".bmp");
  WriteBmpFile(dir.File("Flat0001.bmp"), Frame(0, false));
  struct Case {
    std::string args;
    int status;
    const char* message;
  } cases[] = {
      {"scan Absent0001.bmp --scan-rect 400,8,600,290", 2, "Absent0001.bmp"},
      {"scan Obj0001.bmp --scan-rect 400,8,600,290 --settings absent.cfg", 2, "absent.cfg"},
      {"scan Flat0001.bmp --scan-rect 400,8,600,290 --ref-rect 80,5,330,295 --ref-read", 2,
       "基準体検出に失敗しました"},
      {"scan Obj0001.bmp --scan-rect 400,8,600,290 --error-threshold x", 2,
       "'x' は浮動小数点数ではありません"},
      {"scan Obj0001.bmp --scan-rect 400,8,600,290 -o no/folder/out.csv --format csv", 2, "out.csv"},
      {"scan Obj0001.bmp", 1, "--scan-rect is required"},
      {"scan Obj0001.bmp --scan-rect 400,8,400,290", 1, "--scan-rect is empty"},
      {"scan Obj0001.bmp --scan-rect 400,8,600,290 --format obj", 1, "--format"},
      // The reference frame is loaded and read instead of the first frame,
      // whose body would be found.
      {"scan Obj0001.bmp --scan-rect 400,8,600,290 --ref-rect 80,5,330,295 --ref-frame Flat0001.bmp", 2,
       "基準体検出に失敗しました"},
      {"scan Obj0001.bmp --scan-rect 400,8,600,290 --ref-rect 80,5,330,295 --ref-frame Absent0001.bmp", 2,
       "Absent0001.bmp"},
      {"scan Obj0001.bmp --scan-rect 400,8,600,290 --ref-frame Obj0001.bmp", 1,
       "--ref-frame needs a non-empty --ref-rect"},
      {"scan Obj0001.bmp --scan-rect 400,8,600,290 --ref-rect 80,5,330,295 --ref-frame Obj0001.bmp "
       "--ref-read",
       1, "--ref-read and --ref-frame"},
      {"scan Obj0001.bmp --scan-rect 400,8,600,290 --jobs 0", 1, "--jobs"},
      {"scan Obj0001.bmp --scan-rect 400,8,600,290 --jobs 2x", 1, "--jobs"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const BatchRun run = Batch(dir, c.args);
    EXPECT_EQ(run.status, c.status);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
}

// A small rendered turntable scene as a user's scan lies on disk: the
// frames, the reference frame and the settings file.
struct ScanCommandSceneTest : ::testing::Test {
  synth::SyntheticScene WriteScene(synth::FrameFormat format) {
    synth::SceneOptions options;
    options.object = synth::SynthObjectKind::Vase;
    options.frames = 8;
    options.width = 640;
    options.height = 480;
    synth::SyntheticScene scene = synth::MakeSyntheticScene(options);
    synth::WriteSyntheticScene(scene, dir.path(), format);
    return scene;
  }
  static std::string RectArg(const PixelRect& r) {
    return std::to_string(r.x1) + "," + std::to_string(r.y1) + "," + std::to_string(r.x2) + "," +
           std::to_string(r.y2);
  }
  // Cuts a frame file to half its length: the sequence ends before it.
  void Damage(const std::string& name) {
    std::filesystem::resize_file(dir.File(name), std::filesystem::file_size(dir.File(name)) / 2);
  }
  test::TempDir dir;
};

// The summary without its time, which differs from run to run.
std::string WithoutSeconds(const std::string& out) {
  return std::regex_replace(out, std::regex(R"(seconds: \d+\.\d\d)"), "seconds: -");
}

// Decoding ahead on one, two or three threads gives the same model, the
// same summary and the same messages, also when the sequence ends on a
// damaged frame with intact frames after it, and when the first frame's
// number is no number (the error comes after profile 0, as in the window).
TEST_F(ScanCommandSceneTest, AnyNumberOfJobsGivesTheSameModel) {
  const synth::SyntheticScene jpegScene = WriteScene(synth::FrameFormat::Jpeg);
  std::filesystem::copy_file(dir.File("Obj0001.jpg"), dir.File("ObjX001.jpg"));
  for (const char* name : {"Cut0001.jpg", "Cut0002.jpg", "Cut0003.jpg", "Cut0004.jpg", "Cut0005.jpg"})
    std::filesystem::copy_file(dir.File(std::string("Obj") + (name + 3)), dir.File(name));
  Damage("Cut0004.jpg");
  WriteScene(synth::FrameFormat::Bmp);
  Damage("Obj0003.bmp");
  const std::string rects =
      " --scan-rect " + RectArg(jpegScene.scanRect) + " --ref-rect " + RectArg(jpegScene.referenceRect);

  struct Case {
    const char* first;
    int status;
    const char* framesOrMessage;
  } cases[] = {
      {"Obj0001.jpg", 0, "frames: 8 "},
      {"Cut0001.jpg", 0, "frames: 3 "},
      {"Obj0001.bmp", 0, "frames: 2 "},
      {"ObjX001.jpg", 2, "'X001' は整数ではありません"},
  };
  for (const Case& c : cases) {
    for (const char* format : {"csv", "dxf"}) {
      SCOPED_TRACE(std::string(c.first) + " " + format);
      std::string single;
      BatchRun singleRun;
      for (int jobs = 1; jobs <= 3; ++jobs) {
        SCOPED_TRACE("--jobs " + std::to_string(jobs));
        const std::string out = "out" + std::to_string(jobs);
        const BatchRun run = Batch(dir, "scan " + std::string(c.first) + rects +
                                            " --settings kelmorph.cfg --ref-frame Ref.jpg --format " +
                                            format + " --jobs " + std::to_string(jobs) + " -o " + out);
        ASSERT_EQ(run.status, c.status) << run.err;
        EXPECT_NE((run.status == 0 ? run.out : run.err).find(c.framesOrMessage), std::string::npos)
            << run.out << run.err;
        const std::string model = ReadAll(dir.File(out));
        if (jobs == 1) {
          single = model;
          singleRun = run;
          continue;
        }
        EXPECT_TRUE(model == single) << "models differ";
        EXPECT_EQ(WithoutSeconds(run.out), WithoutSeconds(singleRun.out));
        EXPECT_EQ(run.err, singleRun.err);
      }
      if (c.status == 0) {
        EXPECT_GT(single.size(), 1000u);
      }
    }
  }
}

// --ref-frame takes the steps a user takes in the windows: settings LOAD,
// LOAD of the reference frame, the reference drag, Ref_read, LOAD of the
// first frame, the scan drag, SCAN, SAVE.
TEST_F(ScanCommandSceneTest, RefFrameIsRefReadOnThatFrameThenTheScan) {
  const synth::SyntheticScene scene = WriteScene(synth::FrameFormat::Jpeg);
  HeadlessPlatform platform;
  Context ctx(platform);
  ReadSettingsFile(ctx, dir.File(synth::kSceneSettingsFileName));
  platform.openAnswers.push_back(dir.File("Ref.jpg"));
  LoadFrameCommand(ctx);
  ctx.workspace.referenceRect = scene.referenceRect;
  DetectReference(ctx);
  ASSERT_TRUE(platform.messages.empty()) << platform.messages.front();
  platform.openAnswers.push_back(dir.File("Obj0001.jpg"));
  LoadFrameCommand(ctx);
  ctx.workspace.scanRect = scene.scanRect;
  RunScan(ctx);
  ASSERT_EQ(ctx.workspace.frameCounter, 7);
  ctx.settings.RadioGroup1.index = kOutputDxf;
  platform.saveAnswers.push_back(dir.File("window.dxf"));
  SaveModelCommand(ctx);
  const std::string window = ReadAll(dir.File("window.dxf"));
  ASSERT_FALSE(window.empty());

  const BatchRun run = Batch(dir, "scan Obj0001.jpg --settings kelmorph.cfg --ref-frame Ref.jpg --ref-rect " +
                                      RectArg(scene.referenceRect) + " --scan-rect " +
                                      RectArg(scene.scanRect) + " --format dxf -o batch.dxf");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(ReadAll(dir.File("batch.dxf")) == window) << "files differ";
}

}  // namespace
}  // namespace km
