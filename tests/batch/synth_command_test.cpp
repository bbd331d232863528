// kelmorph-batch synth, run as a user runs it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QProcess>
#include <QStringList>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

struct RunResult {
  int exitCode = -1;
  std::string out, err;
};

RunResult RunBatch(const QStringList& args) {
  QProcess process;
  process.start(QStringLiteral(KELMORPH_BATCH_EXE), args);
  process.waitForFinished(120000);
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          process.readAllStandardOutput().toStdString(), process.readAllStandardError().toStdString()};
}

std::filesystem::path ScratchDir(const char* name) {
  return std::filesystem::temp_directory_path() / ("synth_cmd_" + std::to_string(::getpid())) / name;
}

TEST(SynthCommand, RefusesImpossibleParametersWithStatusOne) {
  const QString out = QString::fromStdString(ScratchDir("refused").string());
  struct Case {
    QStringList args;
    const char* message;
  };
  const Case cases[] = {
      {{"--object", "cylinder", "--frames", "0"}, "--frames must be 1 to 719"},
      {{"--object", "cylinder", "--frames", "720"}, "--frames must be 1 to 719"},
      {{"--object", "sphere", "--size", "2048x3001"}, "too large"},
      {{"--object", "sphere", "--size", "4001x1536"}, "too large"},
      {{"--object", "sphere", "--size", "320x240"}, "too small"},
      {{"--object", "vase", "--calib", "924.477,50.1518,30,1483.89"}, "does not fit in the camera's view"},
      {{"--object", "teapot"}, "--object must be"},
      {{"--mode", "rotation"}, "--object is required"},
      {{"--object", "box", "--mode", "spin"}, "--mode must be"},
      {{"--object", "box", "--format", "png"}, "--format must be"},
      {{"--object", "box", "--step", "-2"}, "--step needs a positive number"},
      {{"--object", "box", "--calib", "1,2,3"}, "--calib needs four numbers"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    const RunResult r = RunBatch(QStringList{"synth", out} + c.args);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
  EXPECT_FALSE(std::filesystem::exists(ScratchDir("refused"))) << "nothing is written for a refused scene";
  const RunResult noDir = RunBatch({"synth", "--object", "box"});
  EXPECT_EQ(noDir.exitCode, 1);
  EXPECT_NE(noDir.err.find("OUTDIR is required"), std::string::npos);
}

TEST(SynthCommand, WritesTheSceneFolder) {
  const std::filesystem::path dir = ScratchDir("written");
  const RunResult r = RunBatch({"synth", QString::fromStdString(dir.string()), "--object", "box", "--mode",
                                "scan", "--frames", "3", "--size", "640x480"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  for (const char* name :
       {"Obj0001.jpg", "Obj0002.jpg", "Obj0003.jpg", "Ref.jpg", "kelmorph.cfg", "scene.json"})
    EXPECT_TRUE(std::filesystem::exists(dir / name)) << name;
  EXPECT_FALSE(std::filesystem::exists(dir / "Obj0004.jpg"));
  EXPECT_NE(r.out.find("3 frames of 640x480, box scan"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("scan rectangle: "), std::string::npos);
  std::filesystem::remove_all(dir.parent_path());
}

TEST(SynthCommand, UnwritableFolderIsAFailure) {
  const std::filesystem::path file = ScratchDir("blocker");
  std::filesystem::create_directories(file.parent_path());
  std::FILE* blocker = std::fopen(file.string().c_str(), "w");
  ASSERT_NE(blocker, nullptr);
  std::fclose(blocker);
  const RunResult r = RunBatch({"synth", QString::fromStdString((file / "scene").string()), "--object", "box",
                                "--frames", "1", "--size", "640x480"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_FALSE(r.err.empty());
  std::filesystem::remove_all(file.parent_path());
}

}  // namespace
