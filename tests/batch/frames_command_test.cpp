// kelmorph-batch frames: which files a scan would read, and the decoded
// pixels checked against libjpeg's own djpeg.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <sstream>
#include <string>
#include <vector>

#include "common/image_writers.h"
#include "tests/app/frame_fixtures.h"

namespace km {
namespace {

struct ToolRun {
  int status = -1;
  std::string out, err;
  std::vector<std::string> lines;
};

ToolRun RunTool(const QStringList& args) {
  QProcess process;
  process.start(KELMORPH_BATCH_EXE, args);
  process.waitForFinished(120000);
  ToolRun run;
  run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.out = process.readAllStandardOutput().toStdString();
  run.err = process.readAllStandardError().toStdString();
  std::istringstream in(run.out);
  for (std::string line; std::getline(in, line);) run.lines.push_back(line);
  return run;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string f; std::getline(in, f, '\t');) fields.push_back(f);
  return fields;
}

std::string Sha256(const uint8_t* data, size_t size) {
  return QCryptographicHash::hash(QByteArrayView(data, static_cast<qsizetype>(size)),
                                  QCryptographicHash::Sha256)
      .toHex()
      .toStdString();
}

class FramesCommand : public testing::Test {
 protected:
  std::string Path(const std::string& name) const {
    return dir_.filePath(QString::fromStdString(name)).toStdString();
  }
  QTemporaryDir dir_;
};

TEST_F(FramesCommand, ListsTheSequenceUpToTheFirstMissingFrame) {
  const Raster a = test::GradientRaster(7, 5), b = test::SolidRaster(3, 2, Rgb{1, 2, 3});
  WriteBmpFile(Path("Obj9998.BMP"), a);
  WriteBmpFile(Path("Obj9999.bmp"), b);
  WriteBmpFile(Path("Obj10000.bmp"), a);
  WriteBmpFile(Path("Obj10002.bmp"), a);  // after the gap: not read

  const ToolRun run = RunTool({"frames", QString::fromStdString(Path("Obj9998.BMP")), "--hash"});
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(run.lines.size(), 9u) << run.out;
  EXPECT_EQ(run.lines[0], "directory=" + dir_.path().toStdString() + "/");
  EXPECT_EQ(run.lines[1], "baseName=Obj");
  EXPECT_EQ(run.lines[2], "numberText=9998");
  EXPECT_EQ(run.lines[3], "extension=.bmp");
  EXPECT_EQ(run.lines[4], "displayName=Obj9998");
  const std::vector<std::vector<std::string>> frames = {
      {Path("Obj9998.BMP"), "7", "5", Sha256(a.pixels.data(), a.pixels.size())},
      {Path("Obj9999.bmp"), "3", "2", Sha256(b.pixels.data(), b.pixels.size())},
      {Path("Obj10000.bmp"), "7", "5", Sha256(a.pixels.data(), a.pixels.size())},
  };
  for (size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(Fields(run.lines[5 + i]), frames[i]);
  EXPECT_EQ(run.lines[8], "3 frames");
}

TEST_F(FramesCommand, StopsAtADamagedFrameAndAfter719) {
  const Raster pixel = test::SolidRaster(1, 1, Rgb{9, 8, 7});
  for (int n = 1; n <= 720; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "F%04d.bmp", n);
    WriteBmpFile(Path(name), pixel);
  }
  ToolRun run = RunTool({"frames", QString::fromStdString(Path("F0001.bmp"))});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.lines.back(), "719 frames");
  EXPECT_EQ(Fields(run.lines[run.lines.size() - 2])[0], Path("F0719.bmp"));

  test::WriteBytes(Path("F0004.bmp"), {'B', 'M', 0, 0});
  run = RunTool({"frames", QString::fromStdString(Path("F0001.bmp"))});
  EXPECT_EQ(run.lines.back(), "3 frames");
}

TEST_F(FramesCommand, FilesThatAreNoFramesAndBadNumbers) {
  test::WriteBytes(Path("Raw0001.csv"), {'1', '\r', '\n'});
  ToolRun run = RunTool({"frames", QString::fromStdString(Path("Raw0001.csv"))});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.lines.back(), "0 frames");

  // The first frame loads; numbering the next one fails as in a scan run.
  WriteBmpFile(Path("image.bmp"), test::SolidRaster(2, 2, Rgb{}));
  run = RunTool({"frames", QString::fromStdString(Path("image.bmp"))});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.lines.back(), "1 frames");
  EXPECT_NE(run.err.find("'mage' は整数ではありません"), std::string::npos) << run.err;

  EXPECT_EQ(RunTool({"frames"}).status, 1);
  EXPECT_EQ(RunTool({"frames", "a.jpg", "b.jpg"}).status, 1);
  EXPECT_EQ(RunTool({"frames", "--no-such-option", "a.jpg"}).status, 1);
}

// djpeg writes a PPM (colour) or PGM (greyscale) with default settings: the
// same decoding the tool must do, in red, green, blue order.
std::string DjpegHash(const std::string& jpeg, int& width, int& height) {
  QProcess djpeg;
  djpeg.start("/usr/bin/djpeg", {QString::fromStdString(jpeg)});
  djpeg.waitForFinished(60000);
  const QByteArray out = djpeg.readAllStandardOutput();
  std::istringstream header(out.left(64).toStdString());
  std::string magic;
  int maxValue = 0;
  header >> magic >> width >> height >> maxValue;
  const size_t channels = magic == "P6" ? 3 : 1;
  const size_t start = static_cast<size_t>(header.tellg()) + 1;  // one white-space byte after maxval
  const auto* pixels = reinterpret_cast<const uint8_t*>(out.constData()) + start;
  const size_t count = static_cast<size_t>(width) * height;
  if (maxValue != 255 || out.size() < static_cast<qsizetype>(start + count * channels))
    return "bad djpeg output";
  std::vector<uint8_t> bgr(count * 3);
  for (size_t i = 0; i < count; ++i) {
    for (size_t c = 0; c < 3; ++c) bgr[3 * i + c] = channels == 3 ? pixels[3 * i + 2 - c] : pixels[i];
  }
  return Sha256(bgr.data(), bgr.size());
}

TEST_F(FramesCommand, HashMatchesDjpegWithDefaultSettings) {
  if (!QFile::exists("/usr/bin/djpeg")) GTEST_SKIP() << "djpeg not installed";
  const Raster frame = test::GradientRaster(157, 93);  // sizes that leave partial blocks
  struct Variant {
    const char* name;
    bool grey, progressive;
    int quality;
  };
  for (const Variant& v : {Variant{"Col0001.jpg", false, false, 75}, Variant{"Pro0001.jpg", false, true, 90},
                           Variant{"Gry0001.jpg", true, false, 85}}) {
    test::WriteTestJpeg(Path(v.name), frame, v.grey, v.progressive, v.quality);
    int width = 0, height = 0;
    const std::string expected = DjpegHash(Path(v.name), width, height);
    const ToolRun run = RunTool({"frames", "--hash", QString::fromStdString(Path(v.name))});
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(run.lines.back(), "1 frames") << v.name;
    EXPECT_EQ(Fields(run.lines[5]), (std::vector<std::string>{Path(v.name), std::to_string(width),
                                                              std::to_string(height), expected}))
        << v.name;
  }
}

}  // namespace
}  // namespace km
