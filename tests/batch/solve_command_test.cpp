// kelmorph-batch solve, run as a user runs it.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/batch/batch_runner.h"
#include "tests/calib/default_settings_file.h"

namespace {

namespace fs = std::filesystem;

using km::test::BatchRun;
using km::test::ReadAll;

struct SolveCommandTest : ::testing::Test {
  fs::path dir;

  SolveCommandTest() {
    dir = fs::temp_directory_path() /
          ("kelmorph_solve_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
           "_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~SolveCommandTest() override { fs::remove_all(dir); }

  // Runs kelmorph-batch with the arguments (no spaces in them).
  BatchRun Batch(const std::string& args) const {
    return km::test::RunBatch("", args, (dir / "stderr.txt").string());
  }

  std::string WriteFile(const std::string& name, const std::string& bytes) const {
    const fs::path path = dir / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }
};

const auto& kDefaultFile = km::test::kDefaultSettingsFile;

std::string Replaced(std::string s, const std::string& from, const std::string& to) {
  return s.replace(s.find(from), from.size(), to);
}

// Parses "name: value" lines into the five values.
std::vector<double> Values(const std::string& out) {
  std::vector<double> values;
  std::istringstream lines(out);
  const char* names[] = {"XL: ", "h: ", "Z0: ", "f: ", "centerX: "};
  std::string line;
  for (const char* name : names) {
    if (!std::getline(lines, line) || line.rfind(name, 0) != 0) return {};
    values.push_back(std::stod(line.substr(std::string(name).size())));
  }
  return values;
}

TEST_F(SolveCommandTest, DefaultsPrintTheKnownFitAndSaveTheDefaultFile) {
  const fs::path saved = dir / "out.cfg";
  const BatchRun run = Batch("solve --frame-size 2048x1536 --save-settings " + saved.string());
  ASSERT_EQ(run.status, 0) << run.err;
  const auto v = Values(run.out);
  ASSERT_EQ(v.size(), 5u) << run.out;
  EXPECT_NEAR(v[0], 924.477, 0.001);
  EXPECT_NEAR(v[1], 50.1518, 0.0001);
  EXPECT_NEAR(v[2], 85.0216, 0.0001);
  EXPECT_NEAR(v[3], 1483.89, 0.01);
  EXPECT_NEAR(v[4], 2.38689, 0.00001);
  EXPECT_EQ(ReadAll(saved), kDefaultFile);
}

TEST_F(SolveCommandTest, SettingsFileIsLoadedBeforeTheSolve) {
  // The default file with LF line ends gives the same fit; a moved rotation
  // centre changes only centerX.
  std::string lf;
  for (char c : std::string(kDefaultFile))
    if (c != '\r') lf += c;
  const BatchRun same = Batch("solve --frame-size 2048x1536 --settings " + WriteFile("lf.cfg", lf));
  ASSERT_EQ(same.status, 0) << same.err;
  const BatchRun defaults = Batch("solve --frame-size 2048x1536");
  EXPECT_EQ(same.out, defaults.out);

  const BatchRun moved = Batch("solve --frame-size 2048x1536 --settings " +
                               WriteFile("moved.cfg", Replaced(kDefaultFile, " 1080 ,", " 1000 ,")));
  ASSERT_EQ(moved.status, 0) << moved.err;
  const auto a = Values(defaults.out), b = Values(moved.out);
  ASSERT_EQ(b.size(), 5u);
  EXPECT_EQ(std::vector<double>(a.begin(), a.begin() + 4), std::vector<double>(b.begin(), b.begin() + 4));
  EXPECT_NE(a[4], b[4]);
}

TEST_F(SolveCommandTest, FailuresExitWithTwoAndTheMessage) {
  struct Case {
    std::string args;
    const char* message;
  } cases[] = {
      // Row 2 on the centre row of a 1536-row frame.
      {"--settings " + WriteFile("centre.cfg", Replaced(kDefaultFile, " 995 ", " 768 ")),
       "0 による浮動小数点数除算"},
      // A real Y that fits a double but not a float.
      {"--settings " + WriteFile("huge.cfg", Replaced(kDefaultFile, "-13.000000", "1e300")),
       "浮動小数点数のオーバーフロー"},
      {"--settings " + (dir / "absent.cfg").string(), "absent.cfg"},
      {"--save-settings " + (dir / "no" / "folder" / "x.cfg").string(), "x.cfg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const BatchRun run = Batch("solve --frame-size 2048x1536 " + c.args);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
}

TEST_F(SolveCommandTest, UsageErrorsExitWithOne) {
  for (const char* args : {"solve", "solve --frame-size 2048", "solve --frame-size 0x10",
                           "solve --frame-size 2048x1536 extra", "solve --frame-size 2048x1536 --nonsense"}) {
    SCOPED_TRACE(args);
    const BatchRun run = Batch(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("usage: kelmorph-batch solve"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
}

}  // namespace
