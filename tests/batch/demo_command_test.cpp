// kelmorph-batch demo, run as a user runs it (with a small scene).

#include <gtest/gtest.h>
#include <unistd.h>

#include <QProcess>
#include <QStringList>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace {

struct RunResult {
  int exitCode = -1;
  std::string out, err;
};

RunResult RunBatch(const QStringList& args, const std::filesystem::path& workingDir = {}) {
  QProcess process;
  if (!workingDir.empty()) process.setWorkingDirectory(QString::fromStdString(workingDir.string()));
  process.start(QStringLiteral(KELMORPH_BATCH_EXE), args);
  process.waitForFinished(300000);
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          process.readAllStandardOutput().toStdString(), process.readAllStandardError().toStdString()};
}

std::filesystem::path ScratchDir(const char* name) {
  return std::filesystem::temp_directory_path() / ("demo_cmd_" + std::to_string(::getpid())) / name;
}

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The number after `label` in the demo's report, or -1.
double Figure(const std::string& out, const std::string& label) {
  std::smatch m;
  if (!std::regex_search(out, m, std::regex(label + " ([0-9.]+)"))) return -1;
  return std::stod(m[1]);
}

class DemoCommand : public testing::Test {
 protected:
  void TearDown() override { std::filesystem::remove_all(ScratchDir("x").parent_path()); }
};

// With no folder it works in ./kelmorph-demo: renders the scene, scans it as
// the windows would, writes both models and reports figures that make
// sense for the scene it rendered.
TEST_F(DemoCommand, ScansTheRenderedSceneAndReportsTheModelAndItsAccuracy) {
  const std::filesystem::path cwd = ScratchDir("cwd");
  std::filesystem::create_directories(cwd);
  const RunResult r = RunBatch({"demo", "--frames", "6", "--size", "640x480", "--object", "box"}, cwd);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::filesystem::path dir = cwd / "kelmorph-demo";
  for (const char* name :
       {"Obj0001.jpg", "Obj0006.jpg", "Ref.jpg", "kelmorph.cfg", "scene.json", "Obj0001.dxf", "Obj0001.wrl"})
    EXPECT_TRUE(std::filesystem::exists(dir / name)) << name;
  EXPECT_FALSE(std::filesystem::exists(dir / "Obj0007.jpg"));
  EXPECT_EQ(ReadText(dir / "Obj0001.wrl").rfind("#VRML V2.0 utf8", 0), 0u);
  EXPECT_NE(ReadText(dir / "Obj0001.dxf").find("3DFACE"), std::string::npos);
  // Six frames a full turn apart from the first to the last.
  EXPECT_NE(ReadText(dir / "scene.json").find("\"stepAngle\": 72"), std::string::npos);

  EXPECT_NE(r.out.find("a box, rotation mode, 6 frames of 640x480 in kelmorph-demo"), std::string::npos)
      << r.out;
  EXPECT_EQ(Figure(r.out, "frames:"), 6) << r.out;
  EXPECT_GT(Figure(r.out, "points:"), 6 * 100);
  EXPECT_GT(Figure(r.out, "faces:"), 0);
  for (const char* stage : {"render", "scan", "save"}) EXPECT_GE(Figure(r.out, stage), 0) << stage;
  // A box at 640x480: about 0.14 mm per pixel at the axis; the scan's
  // points lie within a few pixels of the true faces.
  const double pixel = Figure(r.out, "pixel size at the turntable axis \\(mm\\):");
  EXPECT_NEAR(pixel, 0.75 * 85.0216 / (1483.89 * 640 / 2048), 0.001);
  const double median = Figure(r.out, "median"), largest = Figure(r.out, "largest");
  EXPECT_GE(median, 0);
  EXPECT_LE(median, Figure(r.out, "95th percentile"));
  EXPECT_LE(Figure(r.out, "95th percentile"), largest);
  EXPECT_LT(largest, 6 * pixel);
  EXPECT_GT(Figure(r.out, "stripe kept in"), 90) << r.out;
}

// The demo renders its frames on several threads; its folder holds the same
// bytes as the one kelmorph-batch synth writes for that scene.
TEST_F(DemoCommand, WritesTheSameSceneAsSynth) {
  const std::filesystem::path demo = ScratchDir("demo"), synth = ScratchDir("synth");
  const QStringList scene = {"--object", "sphere", "--mode", "rotation",
                             "--frames", "5",      "--size", "640x480"};
  ASSERT_EQ(RunBatch(QStringList{"demo", QString::fromStdString(demo.string())} + scene).exitCode, 0);
  ASSERT_EQ(RunBatch(QStringList{"synth", QString::fromStdString(synth.string())} + scene +
                     QStringList{"--step", "90"})
                .exitCode,
            0);
  for (const char* name :
       {"Obj0001.jpg", "Obj0003.jpg", "Obj0005.jpg", "Ref.jpg", "kelmorph.cfg", "scene.json"}) {
    SCOPED_TRACE(name);
    const std::string written = ReadText(demo / name);
    EXPECT_FALSE(written.empty());
    EXPECT_TRUE(written == ReadText(synth / name));
  }
}

TEST_F(DemoCommand, RefusesImpossibleParametersWithStatusOne) {
  const QString out = QString::fromStdString(ScratchDir("refused").string());
  struct Case {
    QStringList args;
    const char* message;
  };
  const Case cases[] = {
      {{"--frames", "0"}, "--frames must be 1 to 719"}, {{"--frames", "720"}, "--frames must be 1 to 719"},
      {{"--size", "4096x3001"}, "too large"},           {{"--size", "320x240"}, "too small"},
      {{"--object", "teapot"}, "--object must be"},     {{"--mode", "spin"}, "--mode must be"},
      {{"--stripes", "2"}, "Unknown option"},           {{"second-dir"}, "one DIR only"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    const RunResult r = RunBatch(QStringList{"demo", out} + c.args);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
  EXPECT_FALSE(std::filesystem::exists(ScratchDir("refused"))) << "nothing is written for a refused demo";
}

// A folder that cannot be made, and a folder whose frames from an earlier,
// longer run would join the scan: both are failures that say why.
TEST_F(DemoCommand, FolderThatCannotBeUsedIsAFailureThatSaysSo) {
  const std::filesystem::path blocker = ScratchDir("blocker");
  std::filesystem::create_directories(blocker.parent_path());
  std::FILE* file = std::fopen(blocker.string().c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fclose(file);
  const RunResult unwritable = RunBatch(
      {"demo", QString::fromStdString((blocker / "demo").string()), "--frames", "1", "--size", "640x480"});
  EXPECT_EQ(unwritable.exitCode, 2);
  EXPECT_NE(unwritable.err.find("cannot write the demo into " + (blocker / "demo").string()),
            std::string::npos)
      << unwritable.err;
  EXPECT_TRUE(unwritable.out.empty());

  const std::filesystem::path earlier = ScratchDir("earlier");
  std::filesystem::create_directories(earlier);
  std::ofstream(earlier / "Obj0003.jpg") << "left over";
  const RunResult stale =
      RunBatch({"demo", QString::fromStdString(earlier.string()), "--frames", "2", "--size", "640x480"});
  EXPECT_EQ(stale.exitCode, 2);
  EXPECT_NE(stale.err.find("Obj0003.jpg is left from an earlier run"), std::string::npos) << stale.err;
  EXPECT_FALSE(std::filesystem::exists(earlier / "Obj0001.jpg"));
}

}  // namespace
