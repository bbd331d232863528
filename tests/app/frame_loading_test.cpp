#include "app/frame_loading.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

#include "common/errors.h"
#include "common/headless_platform.h"
#include "common/image_writers.h"
#include "tests/app/frame_fixtures.h"

namespace km {
namespace {

using test::Bytes;

// -------------------------------------------------------------- naming ---

struct SplitCase {
  const char* path;
  SequenceName parts;  // directory, baseName, numberText, extension, displayName
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.path; }

class SplitFramePathTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitFramePathTest, GivesTheFiveParts) {
  const SequenceName got = SplitFramePath(GetParam().path);
  const SequenceName& want = GetParam().parts;
  EXPECT_EQ(got.directory, want.directory);
  EXPECT_EQ(got.baseName, want.baseName);
  EXPECT_EQ(got.numberText, want.numberText);
  EXPECT_EQ(got.extension, want.extension);
  EXPECT_EQ(got.displayName, want.displayName);
}

INSTANTIATE_TEST_SUITE_P(
    Names, SplitFramePathTest,
    testing::Values(SplitCase{"/scan/Obj0001.JPG", {"/scan/", "Obj", "0001", ".jpg", "Obj0001"}},
                    SplitCase{"/scan/OBJ0001.Jpg", {"/scan/", "OBJ", "0001", ".jpg", "OBJ0001"}},
                    SplitCase{"/scan/Obj0001.BMP", {"/scan/", "Obj", "0001", ".bmp", "Obj0001"}},
                    // The last four characters are the extension, whatever they hold.
                    SplitCase{"/scan/Obj0001.jpeg", {"/scan/", "Obj0", "001.", ".jpeg", "Obj0001."}},
                    SplitCase{"/s/image.jpg", {"/s/", "i", "mage", ".jpg", "image"}},
                    SplitCase{"/s/Obj12345.jpg", {"/s/", "Obj1", "2345", ".jpg", "Obj12345"}},
                    SplitCase{"/s/0001.bmp", {"/s/", "", "0001", ".bmp", "0001"}},
                    SplitCase{"/s/a.bmp", {"/s/", "", "a.bm", ".bmp", "a"}},
                    SplitCase{"abc", {"", "", "abc", "", ""}},
                    SplitCase{"Obj0001.jpg", {"", "Obj", "0001", ".jpg", "Obj0001"}},
                    // A dot in a folder name is no extension.
                    SplitCase{"/v1.2/frame", {"/v1.2/", "", "fram", "", "f"}},
                    SplitCase{"/scan/", {"/scan/", "", "", "", ""}},
                    // Lengths count bytes: the folder's UTF-8 name stays whole.
                    SplitCase{"/データ/Obj0001.Jpg", {"/データ/", "Obj", "0001", ".jpg", "Obj0001"}}));

struct ComposeCase {
  const char* chosen;
  int k;
  const char* expected;
};

void PrintTo(const ComposeCase& c, std::ostream* os) { *os << c.chosen << " k=" << c.k; }

class ComposeFramePathTest : public testing::TestWithParam<ComposeCase> {};

TEST_P(ComposeFramePathTest, NumbersTheFrameKAbove) {
  HeadlessPlatform platform;
  Context ctx(platform);
  ctx.workspace.sequenceName = SplitFramePath(GetParam().chosen);
  EXPECT_EQ(ComposeFramePath(ctx, GetParam().k), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Numbers, ComposeFramePathTest,
                         testing::Values(ComposeCase{"/scan/Obj0001.JPG", 1, "/scan/Obj0002.jpg"},
                                         ComposeCase{"/scan/Obj0001.jpg", 0, "/scan/Obj0001.jpg"},
                                         ComposeCase{"/scan/Obj9999.jpg", 1, "/scan/Obj10000.jpg"},
                                         ComposeCase{"/s/Obj12345.jpg", 1, "/s/Obj12346.jpg"},
                                         ComposeCase{"/s/Obj19999.jpg", 1, "/s/Obj110000.jpg"},
                                         ComposeCase{"/s/0001.bmp", 718, "/s/0719.bmp"},
                                         ComposeCase{"/s/Obj0005.jpg", -10, "/s/Obj-0005.jpg"},
                                         ComposeCase{"/s/Obj-001.jpg", 0, "/s/Obj-0001.jpg"},
                                         ComposeCase{"/s/Obj+001.jpg", 1, "/s/Obj0002.jpg"}));

TEST(ComposeFramePath, NumberTextThatIsNoIntegerRaisesTheConversionError) {
  HeadlessPlatform platform;
  Context ctx(platform);
  ctx.workspace.sequenceName = SplitFramePath("/s/image.jpg");
  try {
    ComposeFramePath(ctx, 1);
    FAIL() << "no error";
  } catch (const ConversionError& e) {
    EXPECT_STREQ(e.what(), "'mage' は整数ではありません");
  }
  EXPECT_THROW(LoadSequenceFrame(ctx, 1), ConversionError);
}

// ------------------------------------------------------------- loading ---

class FrameLoading : public testing::Test {
 protected:
  FrameLoading() {
    platform_.visibleWidth = 8;  // small view, so that the frames can scroll
    platform_.visibleHeight = 6;
  }
  std::string Path(const std::string& name) const {
    return dir_.filePath(QString::fromStdString(name)).toStdString();
  }
  // Loads a first frame the way the user does and checks it arrived.
  void LoadFirst(const std::string& name, const Raster& frame) {
    WriteBmpFile(Path(name), frame);
    platform_.openAnswers.push_back(Path(name));
    LoadFrameCommand(ctx_);
    ASSERT_EQ(ctx_.workspace.workingRaster, frame);
  }

  QTemporaryDir dir_;
  HeadlessPlatform platform_;
  Context ctx_{platform_};
  const Raster first_ = test::GradientRaster(25, 17);
};

TEST_F(FrameLoading, LoadShowsTheFrameAndRecordsItsSize) {
  LoadFirst("Old0001.bmp", first_);
  ctx_.workspace.scanRect = {1, 2, 3, 4};
  ctx_.workspace.referenceRect = {5, 6, 7, 8};
  ctx_.workspace.frameCounter = 12;
  platform_.SetScrollX(5);
  platform_.SetScrollY(5);
  const std::string path = Path("Obj0001.JPG");
  test::WriteTestJpeg(path, test::GradientRaster(65, 47), false, false);
  platform_.openAnswers.push_back(path);

  LoadFrameCommand(ctx_);

  ASSERT_EQ(platform_.openRequests.size(), 2u);
  EXPECT_EQ(platform_.openRequests[1].filter, "画像ファイル|*.jpg;*.bmp|Raw CSVファイル|*.csv|全て|*.*");
  EXPECT_EQ(platform_.openRequests[1].filterIndex, 1);
  EXPECT_EQ(platform_.openRequests[1].initialDir, ".");
  const SequenceName& name = ctx_.workspace.sequenceName;
  EXPECT_EQ(name.directory, dir_.path().toStdString() + "/");
  EXPECT_EQ(name.extension, ".jpg");
  EXPECT_EQ(name.displayName, "Obj0001");
  EXPECT_EQ(ctx_.workspace.workingRaster.width, 65);
  EXPECT_EQ(ctx_.workspace.workingRaster.height, 47);
  EXPECT_EQ(platform_.picture_, ctx_.workspace.workingRaster);
  EXPECT_EQ(ctx_.calib.imageWidth, 65);
  EXPECT_EQ(ctx_.calib.imageHeight, 47);
  EXPECT_EQ(ctx_.calib.halfWidth, 32.0f);
  EXPECT_EQ(ctx_.calib.halfHeight, 23.0f);
  EXPECT_EQ(platform_.ScrollX(), 0);
  EXPECT_EQ(platform_.ScrollY(), 0);
  EXPECT_EQ(ctx_.workspace.scanRect, (PixelRect{1, 2, 3, 4}));
  EXPECT_EQ(ctx_.workspace.referenceRect, (PixelRect{5, 6, 7, 8}));
  EXPECT_EQ(ctx_.workspace.frameCounter, 12);
  EXPECT_TRUE(platform_.messages.empty());
}

TEST_F(FrameLoading, CancelOnlyEndsTheDrag) {
  LoadFirst("Obj0001.bmp", first_);
  ctx_.workspace.workingRect = {1, 2, 3, 4};
  ctx_.workspace.dragging = 1;
  const SequenceName before = ctx_.workspace.sequenceName;

  LoadFrameCommand(ctx_);  // no answer queued: Cancel

  EXPECT_EQ(platform_.openRequests.size(), 2u);
  EXPECT_EQ(ctx_.workspace.workingRect, PixelRect{});
  EXPECT_EQ(ctx_.workspace.dragging, 0);
  EXPECT_EQ(ctx_.workspace.sequenceName.displayName, before.displayName);
  EXPECT_EQ(ctx_.workspace.workingRaster, first_);
  EXPECT_EQ(ctx_.calib.imageWidth, 25);
}

// A damaged frame and a CSV file both take the name and the scroll position
// of the chosen file but leave the frame, its size and the view as they were.
TEST_F(FrameLoading, ChosenFileThatDoesNotDecodeKeepsThePreviousFrame) {
  LoadFirst("Obj0001.bmp", first_);
  test::WriteBytes(Path("Bad0001.jpg"), {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F'});
  test::WriteBytes(Path("Raw0001.csv"), {'1', ',', '2', '\r', '\n'});
  for (const char* chosen : {"Bad0001.jpg", "Raw0001.csv"}) {
    platform_.SetScrollX(4);
    platform_.SetScrollY(3);
    ASSERT_EQ(platform_.ScrollX(), 4);
    platform_.openAnswers.push_back(Path(chosen));
    LoadFrameCommand(ctx_);
    EXPECT_EQ(ctx_.workspace.sequenceName.displayName, std::string(chosen).substr(0, 7));
    EXPECT_EQ(platform_.ScrollX(), 0) << chosen;
    EXPECT_EQ(platform_.ScrollY(), 0) << chosen;
    EXPECT_EQ(ctx_.workspace.workingRaster, first_) << chosen;
    EXPECT_EQ(platform_.picture_, first_) << chosen;
    EXPECT_EQ(ctx_.calib.imageWidth, 25);
    EXPECT_EQ(ctx_.calib.imageHeight, 17);
    EXPECT_EQ(ctx_.calib.halfWidth, 12.0f);
  }
  EXPECT_TRUE(platform_.messages.empty());
}

TEST_F(FrameLoading, SequenceFramesReplaceTheRasterButNotTheRecordedSize) {
  LoadFirst("Obj0009.bmp", first_);
  const Raster second = test::SolidRaster(30, 9, Rgb{1, 2, 3});
  WriteBmpFile(Path("Obj0010.bmp"), second);

  EXPECT_TRUE(LoadSequenceFrame(ctx_, 1));
  EXPECT_EQ(ctx_.workspace.workingRaster, second);
  EXPECT_EQ(platform_.picture_, second);
  EXPECT_EQ(ctx_.calib.imageWidth, 25);
  EXPECT_EQ(ctx_.calib.imageHeight, 17);
  EXPECT_EQ(ctx_.calib.halfWidth, 12.0f);

  // Obj0011.bmp does not exist: the end of the sequence.
  EXPECT_FALSE(LoadSequenceFrame(ctx_, 2));
  EXPECT_EQ(ctx_.workspace.workingRaster, second);
  EXPECT_EQ(platform_.picture_, second);
}

TEST_F(FrameLoading, AfterSaveTheSequenceCarriesTheModelExtensionAndEnds) {
  LoadFirst("Obj0001.bmp", first_);
  WriteBmpFile(Path("Obj0002.bmp"), test::SolidRaster(4, 4, Rgb{9, 9, 9}));
  ctx_.workspace.sequenceName.extension = ".dxf";
  EXPECT_EQ(ComposeFramePath(ctx_, 1), Path("Obj0002.dxf"));
  // No next frame: a scan would otherwise store the shown frame 719 times.
  EXPECT_FALSE(LoadSequenceFrame(ctx_, 1));
  EXPECT_EQ(ctx_.workspace.workingRaster, first_);
  EXPECT_TRUE(platform_.messages.empty());
}

// ----------------------------------------------------------- bad input ---

Bytes ValidJpeg(const QTemporaryDir& dir, bool progressive) {
  const std::string path = dir.filePath("valid.jpg").toStdString();
  test::WriteTestJpeg(path, test::GradientRaster(40, 32), false, progressive);
  return test::ReadBytes(path);
}

Bytes ValidBmp() {
  test::BmpLayout l;
  l.width = 3;
  l.height = 2;
  l.pixels.assign(2 * 12, 0x55);
  return test::BuildBmp(l);
}

size_t FindMarker(const Bytes& b, uint8_t marker) {
  for (size_t i = 0; i + 1 < b.size(); ++i) {
    if (b[i] == 0xFF && b[i + 1] == marker) return i;
  }
  ADD_FAILURE() << "marker not found";
  return 0;
}

Bytes Cut(Bytes b, size_t keep) {
  b.resize(std::min(keep, b.size()));
  return b;
}

struct BadInput {
  const char* name;
  const char* extension;
  std::function<Bytes(const QTemporaryDir&)> make;
};

void PrintTo(const BadInput& c, std::ostream* os) { *os << c.name; }

std::vector<BadInput> BadInputs() {
  auto withSof = [](std::function<void(Bytes&, size_t)> patch) {
    return [patch](const QTemporaryDir& d) {
      Bytes b = ValidJpeg(d, false);
      patch(b, FindMarker(b, 0xC0));
      return b;
    };
  };
  auto bmpHeader = [](int32_t w, int32_t h) {
    return [w, h](const QTemporaryDir&) {
      test::BmpLayout l;
      l.width = w;
      l.height = h;
      l.pixels.assign(24, 0x55);
      return test::BuildBmp(l);
    };
  };
  return {
      {"empty_jpg", ".jpg", [](const QTemporaryDir&) { return Bytes{}; }},
      {"empty_bmp", ".bmp", [](const QTemporaryDir&) { return Bytes{}; }},
      {"jpeg_cut_in_scan", ".jpg",
       [](const QTemporaryDir& d) {
         Bytes b = ValidJpeg(d, false);
         return Cut(b, (FindMarker(b, 0xDA) + b.size()) / 2);
       }},
      {"jpeg_without_end_marker", ".jpg",
       [](const QTemporaryDir& d) {
         Bytes b = ValidJpeg(d, false);
         return Cut(b, b.size() - 2);
       }},
      {"progressive_jpeg_cut", ".jpg",
       [](const QTemporaryDir& d) {
         Bytes b = ValidJpeg(d, true);
         return Cut(b, b.size() * 3 / 4);
       }},
      {"jpeg_marker_inside_scan", ".jpg",
       [](const QTemporaryDir& d) {
         Bytes b = ValidJpeg(d, false);
         const size_t scan = FindMarker(b, 0xDA);
         const size_t data = scan + 2 + (b[scan + 2] << 8 | b[scan + 3]);
         b[data + 40] = 0xFF;
         b[data + 41] = 0xD9;
         return b;
       }},
      {"jpeg_bad_precision", ".jpg", withSof([](Bytes& b, size_t sof) { b[sof + 4] = 13; })},
      {"jpeg_claims_65000_square", ".jpg", withSof([](Bytes& b, size_t sof) {
         for (size_t i : {sof + 5, sof + 7}) {
           b[i] = 65000 >> 8;
           b[i + 1] = 65000 & 0xff;
         }
       })},
      {"jpeg_zero_width", ".jpg", withSof([](Bytes& b, size_t sof) { b[sof + 7] = b[sof + 8] = 0; })},
      {"bmp_named_jpg", ".jpg", [](const QTemporaryDir&) { return ValidBmp(); }},
      {"text_named_jpg", ".jpg", [](const QTemporaryDir&) { return Bytes{'h', 'e', 'l', 'l', 'o', '\n'}; }},
      {"jpeg_named_bmp", ".bmp", [](const QTemporaryDir& d) { return ValidJpeg(d, false); }},
      {"text_named_bmp", ".bmp",
       [](const QTemporaryDir&) {
         return Bytes{'B', 'M', 'x', '\n'};
       }},
      {"bmp_cut_in_pixels", ".bmp",
       [](const QTemporaryDir&) {
         Bytes b = ValidBmp();
         return Cut(b, b.size() - 5);
       }},
      {"bmp_header_only", ".bmp", [](const QTemporaryDir&) { return Cut(ValidBmp(), 54); }},
      {"bmp_claims_100000_square", ".bmp", bmpHeader(100000, 100000)},
      {"bmp_claims_100000_square_top_down", ".bmp", bmpHeader(100000, -100000)},
      {"bmp_negative_width", ".bmp", bmpHeader(-3, 2)},
      {"bmp_zero_width", ".bmp", bmpHeader(0, 2)},
      {"bmp_zero_height", ".bmp", bmpHeader(3, 0)},
      {"bmp_pixels_past_the_end", ".bmp",
       [](const QTemporaryDir&) {
         Bytes b = ValidBmp();
         b[10] = 0x00;
         b[11] = 0x10;  // pixel data at 4096
         return b;
       }},
      {"rle8_cut_after_first_row", ".bmp",
       [](const QTemporaryDir&) {
         test::BmpLayout l;
         l.width = 3;
         l.height = 2;
         l.bitCount = 8;
         l.compression = 1;
         l.palette = {0x102030, 0x405060, 0x708090, 0xA0B0C0};
         l.pixels = {1, 3, 1, 0, 1, 1, 0, 0, 0, 3};
         return test::BuildBmp(l);
       }},
  };
}

class BadFrameFile : public testing::TestWithParam<BadInput> {};

TEST_P(BadFrameFile, FailsAndKeepsThePreviousFrame) {
  QTemporaryDir dir;
  HeadlessPlatform platform;
  Context ctx(platform);
  const Raster previous = test::GradientRaster(6, 5);
  const std::string good = dir.filePath("good.bmp").toStdString();
  WriteBmpFile(good, previous);
  ASSERT_TRUE(DecodeFrameFile(ctx, good, ".bmp"));

  const std::string path = dir.filePath(QString("bad") + GetParam().extension).toStdString();
  test::WriteBytes(path, GetParam().make(dir));
  EXPECT_FALSE(DecodeFrameFile(ctx, path, GetParam().extension));
  EXPECT_EQ(ctx.workspace.workingRaster, previous);
  EXPECT_EQ(platform.picture_, previous);
  EXPECT_TRUE(platform.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(DamagedOrForeign, BadFrameFile, testing::ValuesIn(BadInputs()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BadFrameFile, MissingOrUnreadableFilesFail) {
  QTemporaryDir dir;
  HeadlessPlatform platform;
  Context ctx(platform);
  for (const char* ext : {".jpg", ".bmp"}) {
    const std::string missing = dir.filePath(QString("missing") + ext).toStdString();
    EXPECT_FALSE(DecodeFrameFile(ctx, missing, ext));
    // A folder opens on this system but cannot be read.
    const std::string folder = dir.filePath(QString("folder") + ext).toStdString();
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    EXPECT_FALSE(DecodeFrameFile(ctx, folder, ext)) << folder;
    if (geteuid() != 0) {  // root reads whatever the mode says
      const std::string locked = dir.filePath(QString("locked") + ext).toStdString();
      if (ext == std::string(".jpg")) {
        test::WriteTestJpeg(locked, test::GradientRaster(4, 4), false, false);
      } else {
        WriteBmpFile(locked, test::GradientRaster(4, 4));
      }
      ASSERT_EQ(chmod(locked.c_str(), 0), 0);
      EXPECT_FALSE(DecodeFrameFile(ctx, locked, ext)) << locked;
    }
  }
  EXPECT_TRUE(ctx.workspace.workingRaster.Empty());
}

}  // namespace
}  // namespace km
