// Rendered scenes as the scan's detectors see them, and the scene files.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <tuple>

#include "calib/settings_file.h"
#include "common/headless_platform.h"
#include "common/numbers.h"
#include "scan/reference_detection.h"
#include "synth/scene_files.h"
#include "synth/synthetic_scene.h"
#include "tests/synth/synth_fixtures.h"

namespace km {
namespace {

using namespace synth;

class RenderedScene : public testing::TestWithParam<std::tuple<SynthObjectKind, SynthMode>> {};

// Through the JPEG codec and the scan's Slit detector over the scene's scan
// rectangle: a stripe in nearly every row where the scene puts one, never a
// wrong one, on the stripe's rising edge (left of its centre).
TEST_P(RenderedScene, SlitDetectorFindsTheStripeInNearlyEveryRow) {
  SceneOptions options;
  std::tie(options.object, options.mode) = GetParam();
  options.frames = 9;
  options.width = 640;
  options.height = 480;
  const SyntheticScene scene = MakeSyntheticScene(options);
  test::DetectionTally total;
  double offsetSum = 0;
  for (int k = 0; k < scene.frames; k += 2) {
    const FrameScene frame = scene.Frame(k);
    const Raster decoded = test::ThroughJpeg(RenderFrame(frame));
    ASSERT_EQ(decoded.width, 640);
    const test::DetectionTally t = test::TallyDetection(frame, decoded, scene.scanRect, 0);
    total.truthRows += t.truthRows, total.found += t.found, total.missed += t.missed, total.wrong += t.wrong;
    offsetSum += t.meanOffset * t.found;
  }
  EXPECT_GT(total.truthRows, 300);
  EXPECT_EQ(total.wrong, 0);
  EXPECT_GE(total.found, 0.96 * total.truthRows) << total.missed << " rows missed";
  const double meanOffset = offsetSum / total.found;
  EXPECT_GT(meanOffset, -2.5);
  EXPECT_LT(meanOffset, -0.5);
}

INSTANTIATE_TEST_SUITE_P(AllObjectsAndModes, RenderedScene,
                         testing::Combine(testing::Values(SynthObjectKind::Cylinder, SynthObjectKind::Sphere,
                                                          SynthObjectKind::Vase, SynthObjectKind::Box),
                                          testing::Values(SynthMode::Rotation, SynthMode::Slide,
                                                          SynthMode::Scan)),
                         [](const auto& info) {
                           return std::string(ObjectKindName(std::get<0>(info.param))) + "_" +
                                  ModeName(std::get<1>(info.param));
                         });

// Ref_read on the reference frame (through JPEG) finds the staircase's five
// corners where the scene says they are, and the solve that follows comes
// close to the calibration the scene was rendered with.
TEST(RenderedReference, ReferenceDetectionFindsTheFiveCornersAndSolvesNearTheTruth) {
  for (const auto& [width, height, mode] :
       {std::tuple{2048, 1536, SynthMode::Rotation}, std::tuple{1024, 768, SynthMode::Slide},
        std::tuple{640, 480, SynthMode::Scan}}) {
    SCOPED_TRACE(testing::Message() << width << "x" << height << " " << ModeName(mode));
    SceneOptions options;
    options.mode = mode;
    options.frames = 2;
    options.width = width;
    options.height = height;
    const SyntheticScene scene = MakeSyntheticScene(options);
    HeadlessPlatform platform;
    Context ctx(platform);
    FillSceneSettings(scene, ctx.settings);
    for (int n = 5; n <= 14; ++n) ctx.settings.Edit(n).text = "0";
    ctx.workspace.workingRaster = test::ThroughJpeg(RenderFrame(scene.ReferenceFrame()));
    platform.ShowPicture(ctx.workspace.workingRaster);
    ctx.calib.imageWidth = width;
    ctx.calib.imageHeight = height;
    ctx.calib.halfWidth = static_cast<float>(width / 2);
    ctx.calib.halfHeight = static_cast<float>(height / 2);
    ctx.workspace.referenceRect = scene.referenceRect;
    DetectReference(ctx);
    ASSERT_TRUE(platform.messages.empty()) << platform.messages.front();
    for (int j = 0; j < 5; ++j) {
      SCOPED_TRACE(j + 1);
      const ReferenceCorner& corner = scene.referenceCorners[static_cast<size_t>(j)];
      const double column = static_cast<double>(ParseDecimal(ctx.settings.Edit(5 + 2 * j).text));
      const double row = static_cast<double>(ParseDecimal(ctx.settings.Edit(6 + 2 * j).text));
      EXPECT_NEAR(row, corner.row, 2.5);
      EXPECT_GT(column - corner.column, -3.5);
      EXPECT_LT(column - corner.column, 0.5);
    }
    // The solved geometry puts the corners' true screen positions near their
    // real Y and Z: the detector reports the stripe's rising edge about 1.5
    // columns left of its centre and the filtered trace lifts a corner by
    // about a row, so within a few pixels' size at the staircase's depth.
    const LightSectionCalibration solved{ctx.calib.XL, ctx.calib.h, ctx.calib.Z0, ctx.calib.f};
    const double pixelSize = 0.75 * scene.calibration.Z0 / scene.calibration.f;
    for (const ReferenceCorner& corner : scene.referenceCorners) {
      const Vec3 p =
          TriangulateStripe(solved, UFromColumn(corner.column, width / 2), VFromRow(corner.row, height / 2));
      EXPECT_NEAR(p.y, corner.realY, 5 * pixelSize);
      EXPECT_NEAR(p.z, corner.realZ, 6 * pixelSize);
    }
  }
}

TEST(SyntheticSceneOptions, ImpossibleScenesAreRefusedWithTheReason) {
  struct Case {
    const char* name;
    SceneOptions options;
    const char* reason;
  };
  const auto with = [](auto change) {
    SceneOptions o;
    o.frames = 2;
    change(o);
    return o;
  };
  const Case cases[] = {
      {"too many rows", with([](SceneOptions& o) { o.width = 2048, o.height = 3001; }), "too large"},
      {"too many columns", with([](SceneOptions& o) { o.width = 4001, o.height = 3000; }), "too large"},
      {"too small", with([](SceneOptions& o) { o.width = 320, o.height = 240; }), "too small"},
      {"no frames", with([](SceneOptions& o) { o.frames = -1; }), "frame count"},
      {"too many frames", with([](SceneOptions& o) { o.frames = 720; }), "frame count"},
      {"negative step", with([](SceneOptions& o) { o.step = -1; }), "step"},
      {"negative calibration", with([](SceneOptions& o) {
         o.calibration = LightSectionCalibration{924, -50, 85, 1484};
       }),
       "positive"},
      {"camera too close", with([](SceneOptions& o) {
         o.calibration = LightSectionCalibration{924, 50, 30, 1484};
       }),
       "does not fit in the camera's view"},
      // The object fits the shortened frame, the staircase below it does not.
      {"staircase out of view", with([](SceneOptions& o) {
         o.object = SynthObjectKind::Sphere, o.width = 2048, o.height = 960;
         o.calibration = DefaultCalibration(2048, 1536);
       }),
       "reference staircase does not fit"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      MakeSyntheticScene(c.options);
      ADD_FAILURE() << "accepted";
    } catch (const SceneError& e) {
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
  }
}

// The folder holds the numbered frames, the reference frame, a settings file
// the settings window loads back to the scene's values, and scene.json.
TEST(SyntheticSceneFiles, FolderHoldsFramesReferenceSettingsAndDescription) {
  SceneOptions options;
  options.object = SynthObjectKind::Vase;
  options.mode = SynthMode::Slide;
  options.frames = 3;
  options.width = 640;
  options.height = 480;
  const SyntheticScene scene = MakeSyntheticScene(options);
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("synth_files_" + std::to_string(::getpid())) / "scene";
  WriteSyntheticScene(scene, dir.string(), FrameFormat::Bmp);
  for (const char* name :
       {"Obj0001.bmp", "Obj0002.bmp", "Obj0003.bmp", "Ref.bmp", "kelmorph.cfg", "scene.json"})
    EXPECT_TRUE(std::filesystem::exists(dir / name)) << name;
  EXPECT_FALSE(std::filesystem::exists(dir / "Obj0004.bmp"));
  Raster frame;
  ASSERT_TRUE(DecodeBmpFile((dir / "Obj0002.bmp").string(), frame));
  EXPECT_EQ(frame, RenderFrame(scene.Frame(1)));

  HeadlessPlatform platform;
  Context ctx(platform);
  ReadSettingsFile(ctx, (dir / "kelmorph.cfg").string());
  EXPECT_EQ(ctx.settings.RadioGroup2.index, kModeSlide);
  EXPECT_DOUBLE_EQ(static_cast<double>(ParseDecimal(ctx.settings.Edit(2).text)), scene.slideStep);
  EXPECT_FALSE(ctx.settings.CheckBox4);
  for (int j = 0; j < 5; ++j) {
    const ReferenceCorner& corner = scene.referenceCorners[static_cast<size_t>(j)];
    EXPECT_EQ(ctx.settings.Edit(5 + 2 * j).text, WholeNumberText(std::lround(corner.column)));
    EXPECT_EQ(ctx.settings.Edit(6 + 2 * j).text, WholeNumberText(std::lround(corner.row)));
    EXPECT_EQ(ParseDecimal(ctx.settings.Edit(17 + 2 * j).text), static_cast<Ext>(corner.realY));
    EXPECT_EQ(ParseDecimal(ctx.settings.Edit(18 + 2 * j).text), static_cast<Ext>(corner.realZ));
  }

  QFile json(QString::fromStdString((dir / "scene.json").string()));
  ASSERT_TRUE(json.open(QIODevice::ReadOnly));
  const QJsonObject root = QJsonDocument::fromJson(json.readAll()).object();
  EXPECT_EQ(root["mode"].toString(), "slide");
  EXPECT_EQ(root["frames"].toInt(), 3);
  EXPECT_EQ(root["firstFrame"].toString(), "Obj0001.bmp");
  EXPECT_EQ(root["object"]["kind"].toString(), "vase");
  EXPECT_EQ(root["scanRect"]["x1"].toInt(), scene.scanRect.x1);
  EXPECT_EQ(root["referenceRect"]["y2"].toInt(), scene.referenceRect.y2);
  EXPECT_DOUBLE_EQ(root["calibration"]["f"].toDouble(), scene.calibration.f);
  std::filesystem::remove_all(dir.parent_path());
}

}  // namespace
}  // namespace km
