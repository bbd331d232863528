#include "calib/settings_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <locale>
#include <random>
#include <sstream>
#include <string>

#include "common/errors.h"
#include "common/headless_platform.h"
#include "tests/calib/default_settings_file.h"

namespace km {
namespace {

namespace fs = std::filesystem;

const auto& kDefaultFile = test::kDefaultSettingsFile;

// Edits the file stores (Edit28 does not exist; 29-32 are results).
std::vector<int> StoredEdits() {
  std::vector<int> edits;
  for (int n = 1; n <= 27; ++n) edits.push_back(n);
  edits.push_back(33);
  return edits;
}

std::string ReplaceAll(std::string s, const std::string& from, const std::string& to) {
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
    s.replace(at, from.size(), to);
  return s;
}

struct SettingsFileTest : ::testing::Test {
  HeadlessPlatform platform;
  Context ctx{platform};
  fs::path dir;

  SettingsFileTest() {
    dir =
        fs::temp_directory_path() /
        ("kelmorph_settings_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
         "_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~SettingsFileTest() override { fs::remove_all(dir); }

  std::string PathOf(const std::string& name) const { return (dir / name).string(); }

  static void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::string Save() {
    const std::string path = PathOf("out.cfg");
    platform.saveAnswers.push_back(path);
    SaveSettingsFile(ctx);
    return ReadBytes(path);
  }

  void Load(const std::string& bytes) {
    const std::string path = PathOf("in.cfg");
    WriteBytes(path, bytes);
    platform.openAnswers.push_back(path);
    LoadSettingsFile(ctx);
  }

  // Every stored edit gets a text the file never holds, so a test sees
  // exactly which ones a load set.
  void MarkStoredEdits() {
    for (int n : StoredEdits()) ctx.settings.Edit(n).text = "old" + std::to_string(n);
  }
};

TEST_F(SettingsFileTest, DefaultsSaveToTheTenLinesByteForByte) {
  EXPECT_EQ(Save(), kDefaultFile);
  ASSERT_EQ(platform.saveRequests.size(), 1u);
  const FileDialogRequest& r = platform.saveRequests[0];
  EXPECT_EQ(r.filter, "Kel Morph設定ファイル|*.cfg");
  EXPECT_EQ(r.fileName, "kelmorph.cfg");
  EXPECT_EQ(r.initialDir, "");
  EXPECT_TRUE(r.overwritePrompt);
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(SettingsFileTest, SaveAndLoadGiveBackTheTextsUnderACommaLocale) {
  struct CommaPunct : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
  };
  const std::locale saved = std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
  ctx.settings.Edit(1).text = "1.80";       // extra zeros come back in general text
  ctx.settings.Edit(3).text = "0.0000001";  // more than six decimals are lost
  ctx.settings.Edit(5).text = "+0012";
  ctx.settings.RadioGroup1.index = kOutputMqo;
  ctx.settings.RadioGroup3.index = kLightingStep;
  ctx.settings.CheckBox3 = false;
  const std::string bytes = Save();
  EXPECT_NE(bytes.find(" 12 , 796 , -3.000000"), std::string::npos);
  EXPECT_NE(bytes.find(" 3 , 0.000000 , 30 \r\n 1 , 0 , 1 \r\n"), std::string::npos);

  HeadlessPlatform otherPlatform;
  Context other(otherPlatform);
  for (int n : StoredEdits()) other.settings.Edit(n).text = "x";
  otherPlatform.openAnswers.push_back(PathOf("out.cfg"));
  LoadSettingsFile(other);
  std::locale::global(saved);

  const SettingsState defaults;
  for (int n : StoredEdits()) {
    SCOPED_TRACE(n);
    const std::string expected = n == 1 ? "1.8" : n == 3 ? "0" : n == 5 ? "12" : defaults.Edit(n).text;
    EXPECT_EQ(other.settings.Edit(n).text, expected);
  }
  EXPECT_EQ(other.settings.RadioGroup1.index, kOutputMqo);
  EXPECT_EQ(other.settings.RadioGroup3.index, kLightingStep);
  EXPECT_FALSE(other.settings.CheckBox3);
  EXPECT_TRUE(other.settings.CheckBox4);
  // Same mode as before: no solve ran, the results stay empty.
  EXPECT_EQ(other.settings.Edit(29).text, "");
  EXPECT_EQ(other.settings.Edit(2).colour, EditColour::Border);  // final colouring, Rotation
}

struct BadField {
  int edit;
  const char* text;
  const char* message;
};

TEST_F(SettingsFileTest, FieldThatDoesNotConvertStopsSaveBeforeTheDialog) {
  const BadField cases[] = {
      {4, "30.0", "'30.0' は整数ではありません"},
      {5, "1096.5", "'1096.5' は整数ではありません"},
      {16, "", "'' は整数ではありません"},
      {17, "abc", "'abc' は浮動小数点数ではありません"},
      {33, "1,5", "'1,5' は浮動小数点数ではありません"},
      {27, "1e999", kOverflowMessage},
  };
  WriteBytes(PathOf("out.cfg"), "previous");
  for (const BadField& c : cases) {
    SCOPED_TRACE(c.edit);
    HeadlessPlatform p;
    Context fresh(p);
    fresh.settings.Edit(c.edit).text = c.text;
    p.saveAnswers.push_back(PathOf("out.cfg"));
    try {
      SaveSettingsFile(fresh);
      ADD_FAILURE() << "saved";
    } catch (const KelError& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
    EXPECT_TRUE(p.saveRequests.empty());
    EXPECT_EQ(ReadBytes(PathOf("out.cfg")), "previous");
  }
}

TEST_F(SettingsFileTest, CancelledDialogsDoNothing) {
  SaveSettingsFile(ctx);  // no answer queued: cancel
  EXPECT_EQ(platform.saveRequests.size(), 1u);
  EXPECT_TRUE(fs::is_empty(dir));

  MarkStoredEdits();
  LoadSettingsFile(ctx);
  ASSERT_EQ(platform.openRequests.size(), 1u);
  EXPECT_EQ(platform.openRequests[0].fileName, "kelmorph.cfg");
  EXPECT_EQ(platform.openRequests[0].filter, "Kel Morph設定ファイル|*.cfg");
  EXPECT_EQ(ctx.settings.Edit(5).text, "old5");
  EXPECT_EQ(ctx.settings.Edit(2).colour, EditColour::Window);  // no final colouring either
}

TEST_F(SettingsFileTest, MissingFileChangesNothingButIsAnErrorWithoutDialog) {
  MarkStoredEdits();
  platform.openAnswers.push_back(PathOf("absent.cfg"));
  LoadSettingsFile(ctx);
  EXPECT_EQ(ctx.settings.Edit(5).text, "old5");
  EXPECT_EQ(ctx.settings.Edit(2).colour, EditColour::Window);
  EXPECT_TRUE(platform.messages.empty());

  for (const std::string& path : {PathOf("absent.cfg"), dir.string(), std::string("/dev/zero")}) {
    try {
      ReadSettingsFile(ctx, path);
      ADD_FAILURE() << "read " << path;
    } catch (const FileError& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(ctx.settings.Edit(5).text, "old5");
}

TEST_F(SettingsFileTest, TargetThatCannotBeCreatedIsAnError) {
  for (const std::string& path : {PathOf("no/such/folder/x.cfg"), dir.string()}) {
    try {
      WriteSettingsFile(ctx, path);
      ADD_FAILURE() << "wrote " << path;
    } catch (const FileError& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
  }
}

TEST_F(SettingsFileTest, WriteThatRunsOutOfSpaceKeepsThePreviousFile) {
  const std::string path = PathOf("out.cfg");
  WriteBytes(path, "previous contents");
  // A file size limit makes every write past 100 bytes fail, as a full disk
  // would (and does so for root too).
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  platform.saveAnswers.push_back(path);
  std::string error;
  try {
    SaveSettingsFile(ctx);
  } catch (const FileError& e) {
    error = e.what();
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_NE(error.find(path), std::string::npos) << error;
  EXPECT_EQ(ReadBytes(path), "previous contents");
  int files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++files;
  EXPECT_EQ(files, 1) << "a temporary file was left behind";
}

TEST_F(SettingsFileTest, LineEndsAndSpacingDoNotMatter) {
  const std::string variants[] = {
      ReplaceAll(kDefaultFile, "\r\n", "\n"),
      ReplaceAll(ReplaceAll(kDefaultFile, " , ", ","), "\r\n", " "),
      ReplaceAll(kDefaultFile, " , ", "\n,\t"),
  };
  const SettingsState defaults;
  for (const std::string& bytes : variants) {
    SCOPED_TRACE(bytes);
    MarkStoredEdits();
    Load(bytes);
    for (int n : StoredEdits()) EXPECT_EQ(ctx.settings.Edit(n).text, defaults.Edit(n).text) << n;
  }
}

TEST_F(SettingsFileTest, ReadingStopsAtTheFirstValueThatIsMissingOrDoesNotMatch) {
  struct Case {
    std::string bytes;
    std::vector<std::pair<int, const char*>> set;  // every other stored edit keeps its old text
  } cases[] = {
      // Truncated in the middle of the second reference line.
      {std::string(kDefaultFile).substr(0, std::string(kDefaultFile).find("995")),
       {{5, "1096"}, {6, "796"}, {17, "-3"}, {18, "0"}, {7, "1089"}}},
      // A line with three values: the fourth read meets the next line's number.
      {ReplaceAll(kDefaultFile, " -3.000000 , 0.000000 \r\n", " -3.000000 \r\n"),
       {{5, "1096"}, {6, "796"}, {17, "-3"}}},
      // A fraction where an integer belongs: reading stops at the point.
      {ReplaceAll(kDefaultFile, " 796 ,", " 796.5 ,"), {{5, "1096"}, {6, "796"}}},
      // A number beyond the double range does not match.
      {ReplaceAll(kDefaultFile, "-3.000000", "1e999"), {{5, "1096"}, {6, "796"}}},
      // No version number after the five header words.
      {ReplaceAll(kDefaultFile, "Ver. 1.0", "Ver. one"), {}},
      {"", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    MarkStoredEdits();
    Load(c.bytes);
    for (int n : StoredEdits()) {
      std::string expected = "old" + std::to_string(n);
      for (const auto& [edit, text] : c.set)
        if (edit == n) expected = text;
      EXPECT_EQ(ctx.settings.Edit(n).text, expected) << n;
    }
  }
}

TEST_F(SettingsFileTest, OnlyTheRotationCentresRealZIsIgnored) {
  Load(ReplaceAll(kDefaultFile, " -31.000000 , 0.000000 ", " -31.5 , 77 "));
  EXPECT_EQ(ctx.settings.Edit(27).text, "-31.5");
  EXPECT_EQ(ctx.settings.Edit(1).text, "1.8");  // the rest of the file was read
}

TEST_F(SettingsFileTest, ModeNumbersAreClampedAndAChangeRunsTheSolve) {
  ctx.calib.halfWidth = 1024;
  ctx.calib.halfHeight = 768;
  Load(ReplaceAll(ReplaceAll(kDefaultFile, " 0 , 1.800000", " 7 , 1.800000"), " 0 , 1 , 1 ", " 1 , 0 , 0 "));
  EXPECT_EQ(ctx.settings.RadioGroup2.index, kModeScan);
  EXPECT_TRUE(ctx.settings.CheckBox1);
  EXPECT_EQ(ctx.settings.Edit(29).text.substr(0, 6), "924.47");
  EXPECT_EQ(ctx.settings.RadioGroup3.index, kLightingStep);
  EXPECT_FALSE(ctx.settings.CheckBox3);
  EXPECT_FALSE(ctx.settings.CheckBox4);
  for (int n : {1, 2, 15, 16, 27}) EXPECT_EQ(ctx.settings.Edit(n).colour, EditColour::Border) << n;

  // A negative mode selects nothing: the rotation-centre fields are greyed,
  // the step fields keep the colours they had.
  ctx.settings.Edit(1).colour = EditColour::Window;
  Load(ReplaceAll(ReplaceAll(kDefaultFile, " 0 , 1.800000", " -1 , 1.800000"), " 2 , 0.500000",
                  " 9 , 0.500000"));
  EXPECT_EQ(ctx.settings.RadioGroup2.index, -1);
  EXPECT_EQ(ctx.settings.RadioGroup1.index, kOutputCsv);
  EXPECT_EQ(ctx.settings.Edit(1).colour, EditColour::Window);
  EXPECT_EQ(ctx.settings.Edit(2).colour, EditColour::Border);
  for (int n : {15, 16, 27}) EXPECT_EQ(ctx.settings.Edit(n).colour, EditColour::Border) << n;
}

TEST_F(SettingsFileTest, ErrorOfTheModeChangeSolveEndsTheLoadSilently) {
  ctx.calib.halfHeight = 768;
  MarkStoredEdits();
  ctx.settings.CheckBox3 = true;
  // Row 2 on the centre row: the solve that the mode change runs divides by 0.
  Load(ReplaceAll(ReplaceAll(kDefaultFile, " 995 ", " 768 "), " 0 , 1.800000", " 1 , 1.800000"));
  EXPECT_EQ(ctx.settings.RadioGroup2.index, kModeSlide);
  EXPECT_EQ(ctx.settings.Edit(8).text, "768");   // read before the solve
  EXPECT_EQ(ctx.settings.Edit(27).text, "-31");  // read before the solve
  EXPECT_EQ(ctx.settings.Edit(1).text, "old1");  // the rest was never read
  EXPECT_EQ(ctx.settings.Edit(4).text, "old4");
  EXPECT_EQ(ctx.settings.RadioGroup1.index, kOutputDxf);
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(SettingsFileTest, LongHeaderWordsAndBinaryJunkAreReadSafely) {
  std::string longHeader = kDefaultFile;
  longHeader.insert(1, std::string(10000, 'K'));
  MarkStoredEdits();
  Load(longHeader);
  EXPECT_EQ(ctx.settings.Edit(5).text, "1096");
  EXPECT_EQ(ctx.settings.Edit(33).text, "20");

  std::mt19937 random(20240611);
  for (int round = 0; round < 20; ++round) {
    std::string junk(1 + random() % 5000, '\0');
    for (char& c : junk) c = static_cast<char>(random());
    if (round % 2 == 1) junk = "#KEL MORPH CONFIG FILE Ver. 1.0\r\n 1 , 2 , " + junk;
    EXPECT_NO_THROW(Load(junk));
  }
  EXPECT_TRUE(platform.messages.empty());
}

}  // namespace
}  // namespace km
