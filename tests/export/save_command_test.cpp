#include "export/save_command.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "common/errors.h"
#include "common/headless_platform.h"
#include "export_fixtures.h"

namespace km {
namespace {

using test::GoldenFile;
using test::ReadFile;

class SaveCommand : public testing::Test {
 protected:
  SaveCommand() : ctx(platform) {
    test::FillTinyStore(*ctx.store);
    ctx.workspace.frameCounter = 2;
    ctx.workspace.sequenceName = {"/scan/", "Scan", "0001", ".jpg", "Scan0001"};
  }
  std::vector<std::string> FilesInDir() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
      names.push_back(e.path().filename().string());
    return names;
  }

  test::TempDir dir;
  HeadlessPlatform platform;
  Context ctx;
};

TEST_F(SaveCommand, AsksForTheFileAndWritesTheOutputModeToTheChosenPath) {
  struct Case {
    int mode;
    const char* extension;
    int filterIndex;
    const char* golden;
  };
  const Case cases[] = {{kOutputVrml1, ".wrl", 1, "tiny_vrml1.wrl"},
                        {kOutputVrml2, ".wrl", 1, "tiny_vrml2.wrl"},
                        {kOutputDxf, ".dxf", 2, "tiny.dxf"},
                        {kOutputMqo, ".mqo", 3, "tiny.mqo"},
                        {kOutputCsv, ".csv", 4, "tiny.csv"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    ctx.settings.RadioGroup1.index = c.mode;
    const std::string path = dir.File(std::string("model") + std::to_string(c.mode) + c.extension);
    platform.saveAnswers.push_back(path);
    SaveModelCommand(ctx);

    ASSERT_FALSE(platform.saveRequests.empty());
    const FileDialogRequest& request = platform.saveRequests.back();
    EXPECT_EQ(request.filter,
              "VRML File|*.wrl|DXF File|*.dxf|メタセコイアFile|*.mqo|CSV File|*.csv|全てのファイル|*.*");
    EXPECT_EQ(request.filterIndex, c.filterIndex);
    EXPECT_EQ(request.fileName, std::string("Scan0001") + c.extension);
    EXPECT_TRUE(request.overwritePrompt);
    EXPECT_EQ(ctx.workspace.sequenceName.extension, c.extension);
    EXPECT_EQ(ctx.workspace.sequenceName.displayName, "Scan0001");
    EXPECT_EQ(ctx.workspace.sequenceName.baseName, "Scan");
    EXPECT_EQ(ReadFile(path), GoldenFile(c.golden));
  }
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(SaveCommand, CancelWritesNothingButKeepsTheExtension) {
  ctx.settings.RadioGroup1.index = kOutputMqo;
  SaveModelCommand(ctx);  // no answer queued: Cancel
  EXPECT_EQ(platform.saveRequests.size(), 1u);
  EXPECT_EQ(ctx.workspace.sequenceName.extension, ".mqo");
  EXPECT_TRUE(FilesInDir().empty());
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(SaveCommand, WithoutALoadedFrameTheProposedNameIsTheExtension) {
  ctx.workspace.sequenceName = {};
  ctx.settings.RadioGroup1.index = kOutputDxf;
  SaveModelCommand(ctx);
  ASSERT_EQ(platform.saveRequests.size(), 1u);
  EXPECT_EQ(platform.saveRequests[0].fileName, ".dxf");
}

TEST_F(SaveCommand, BadTextsEndTheCommandBeforeTheDialogInEveryMode) {
  struct Case {
    const char* maxPolygonLength;
    const char* errorThreshold;
    const char* message;
  };
  const Case cases[] = {
      {"30.0", "0.5", "'30.0' は整数ではありません"},
      {"30", "abc", "'abc' は浮動小数点数ではありません"},
      {"", "x", "'' は整数ではありません"},  // the whole number is converted first
  };
  for (int mode : {kOutputDxf, kOutputCsv}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << mode << " " << c.message);
      ctx.settings.RadioGroup1.index = mode;
      ctx.settings.Edit(4).text = c.maxPolygonLength;
      ctx.settings.Edit(3).text = c.errorThreshold;
      platform.saveAnswers.push_back(dir.File("never.dxf"));
      try {
        SaveModelCommand(ctx);
        ADD_FAILURE() << "no error";
      } catch (const ConversionError& e) {
        EXPECT_STREQ(e.what(), c.message);
      }
      platform.saveAnswers.clear();
    }
  }
  EXPECT_TRUE(platform.saveRequests.empty());
  EXPECT_EQ(ctx.workspace.sequenceName.extension, ".jpg");
  EXPECT_TRUE(FilesInDir().empty());
}

TEST_F(SaveCommand, NoOutputModeSelectedShowsAMessageAndWritesNothing) {
  ctx.settings.RadioGroup1.index = -1;
  platform.saveAnswers.push_back(dir.File("never.wrl"));
  SaveModelCommand(ctx);
  EXPECT_EQ(platform.messages, std::vector<std::string>{kNoOutputModeMessage});
  EXPECT_TRUE(platform.saveRequests.empty());
  EXPECT_EQ(ctx.workspace.sequenceName.extension, ".jpg");
  EXPECT_THROW(WriteModelFile(ctx, dir.File("never.wrl")), KelError);
  EXPECT_TRUE(FilesInDir().empty());
}

TEST_F(SaveCommand, ReplacingAFileKeepsItsPermissions) {
  const std::string path = dir.File("model.dxf");
  { std::ofstream(path) << "old"; }
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ctx.settings.RadioGroup1.index = kOutputDxf;
  platform.saveAnswers.push_back(path);
  SaveModelCommand(ctx);
  EXPECT_EQ(ReadFile(path), GoldenFile("tiny.dxf"));
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(FilesInDir(), std::vector<std::string>{"model.dxf"});
}

void ExpectFileError(const std::function<void()>& save, const std::string& path, const std::string& reason) {
  try {
    save();
    ADD_FAILURE() << "no error for " << path;
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()), path + ": " + reason);
  }
}

TEST_F(SaveCommand, FailedSaveIsAnErrorAndLeavesTheOldFileWhole) {
  ctx.settings.RadioGroup1.index = kOutputDxf;

  // A folder that does not exist: reported through SAVE, no message of success.
  const std::string missing = dir.File("no-such-folder/model.dxf");
  platform.saveAnswers.push_back(missing);
  ExpectFileError([&] { SaveModelCommand(ctx); }, missing, "No such file or directory");
  EXPECT_TRUE(platform.messages.empty());

  // A full disk, simulated by a file size limit below the model's size.
  const std::string path = dir.File("model.dxf");
  { std::ofstream(path) << "old model"; }
  struct rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  ExpectFileError([&] { WriteModelFile(ctx, path); }, path, "File too large");
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, previousHandler);
  EXPECT_EQ(ReadFile(path), "old model");
  EXPECT_EQ(FilesInDir(), std::vector<std::string>{"model.dxf"});  // no temporary file left

  // A folder in the way of the target: the rename fails, the folder stays.
  const std::string folder = dir.File("taken.dxf");
  std::filesystem::create_directory(folder);
  ExpectFileError([&] { WriteModelFile(ctx, folder); }, folder, "Is a directory");
  EXPECT_TRUE(std::filesystem::is_directory(folder));

  if (::geteuid() != 0) {  // permissions do not stop root
    const std::string locked = dir.File("locked");
    std::filesystem::create_directory(locked);
    ::chmod(locked.c_str(), 0555);
    ExpectFileError([&] { WriteModelFile(ctx, locked + "/model.dxf"); }, locked + "/model.dxf",
                    "Permission denied");
    ::chmod(locked.c_str(), 0755);
  }
}

}  // namespace
}  // namespace km
