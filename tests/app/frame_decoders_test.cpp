#include "app/frame_decoders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "common/image_writers.h"
#include "tests/app/frame_fixtures.h"

namespace km {
namespace {

using test::Bytes;
using Rows = std::vector<std::vector<Rgb>>;

// ------------------------------------------------------------------ BMP ---

const Rgb P0{10, 20, 30}, P1{200, 100, 50}, P2{0, 255, 0}, P3{255, 255, 255};
uint32_t Entry(Rgb c) { return uint32_t{c.r} << 16 | uint32_t{c.g} << 8 | c.b; }
const std::vector<uint32_t> kPalette = {Entry(P0), Entry(P1), Entry(P2), Entry(P3)};

// The 3 x 2 test picture as palette indexes, top row first. Three columns
// make every row need padding to four bytes.
const std::vector<std::vector<int>> kIndexes = {{0, 1, 2}, {3, 0, 1}};
const Rows kColours = {{P0, P1, P2}, {P3, P0, P1}};

// Colours that 5- and 6-bit channels hold exactly at both ends.
const Rgb Red{255, 0, 0}, Green{0, 255, 0}, Blue{0, 0, 255}, White{255, 255, 255}, Black{0, 0, 0};
const Rows kPure = {{Red, Green, Blue}, {White, Black, Red}};

void PadRow(Bytes& b, size_t rowStart) {
  while ((b.size() - rowStart) % 4 != 0) b.push_back(0);
}

Bytes PackIndexed(const std::vector<std::vector<int>>& rows, int bits) {
  Bytes b;
  for (auto r = rows.rbegin(); r != rows.rend(); ++r) {  // bottom-up
    const size_t start = b.size();
    int acc = 0, filled = 0;
    for (int index : *r) {
      acc = acc << bits | index;
      filled += bits;
      if (filled == 8) {
        b.push_back(static_cast<uint8_t>(acc));
        acc = filled = 0;
      }
    }
    if (filled) b.push_back(static_cast<uint8_t>(acc << (8 - filled)));
    PadRow(b, start);
  }
  return b;
}

Bytes PackDirect(const Rows& rows, int bytesPerPixel, const std::function<uint32_t(Rgb)>& encode,
                 bool topDown = false) {
  Bytes b;
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto& r = rows[topDown ? i : rows.size() - 1 - i];
    const size_t start = b.size();
    for (Rgb c : r) {
      const uint32_t v = encode(c);
      for (int k = 0; k < bytesPerPixel; ++k) b.push_back(static_cast<uint8_t>(v >> (8 * k)));
    }
    PadRow(b, start);
  }
  return b;
}

struct BmpCase {
  const char* name;
  test::BmpLayout layout;
  Rows expected;
  int tolerance = 0;  // channels narrower than 8 bits may be widened either way
};

std::vector<BmpCase> BmpCases() {
  using L = test::BmpLayout;
  const auto rgb = [](Rgb c) { return Entry(c); };
  const auto rgb555 = [](Rgb c) { return uint32_t(c.r >> 3) << 10 | uint32_t(c.g >> 3) << 5 | (c.b >> 3); };
  const auto rgb565 = [](Rgb c) { return uint32_t(c.r >> 3) << 11 | uint32_t(c.g >> 2) << 5 | (c.b >> 3); };
  const auto xbgr = [](Rgb c) { return uint32_t{c.b} << 16 | uint32_t{c.g} << 8 | c.r; };
  // Alpha differs per pixel, zero included; it must not touch the colour.
  const auto argb = [](Rgb c) { return (c.r == 200 ? 0u : 0x80000000u) | Entry(c); };
  const Rows twoColours = {{P0, P1, P0}, {P1, P1, P0}};
  return {
      {"1bit", L{3, 2, 1, 0, 40, {}, {Entry(P0), Entry(P1)}, PackIndexed({{0, 1, 0}, {1, 1, 0}}, 1)},
       twoColours},
      {"4bit", L{3, 2, 4, 0, 40, {}, kPalette, PackIndexed(kIndexes, 4)}, kColours},
      {"8bit", L{3, 2, 8, 0, 40, {}, kPalette, PackIndexed(kIndexes, 8)}, kColours},
      // Bottom row 3 0 1 as encoded runs, top row 0 1 2 as an absolute run
      // padded to a word, then end of bitmap.
      {"rle8", L{3, 2, 8, 1, 40, {}, kPalette, {1, 3, 1, 0, 1, 1, 0, 0, 0, 3, 0, 1, 2, 0, 0, 1}}, kColours},
      {"rle4", L{3, 2, 4, 2, 40, {}, kPalette, {2, 0x30, 1, 0x10, 0, 0, 0, 3, 0x01, 0x20, 0, 1}}, kColours},
      {"16bit_555", L{3, 2, 16, 0, 40, {}, {}, PackDirect(kPure, 2, rgb555)}, kPure, 8},
      {"16bit_565_bitfields", L{3, 2, 16, 3, 40, {0xF800, 0x07E0, 0x001F}, {}, PackDirect(kPure, 2, rgb565)},
       kPure, 8},
      {"24bit_bottom_up", L{3, 2, 24, 0, 40, {}, {}, PackDirect(kColours, 3, rgb)}, kColours},
      {"24bit_top_down", L{3, -2, 24, 0, 40, {}, {}, PackDirect(kColours, 3, rgb, true)}, kColours},
      {"32bit", L{3, 2, 32, 0, 40, {}, {}, PackDirect(kColours, 4, rgb)}, kColours},
      {"32bit_bitfields_rgbx",
       L{3, 2, 32, 3, 40, {0x000000FF, 0x0000FF00, 0x00FF0000}, {}, PackDirect(kColours, 4, xbgr)}, kColours},
      {"32bit_v5_alpha",
       L{3,
         2,
         32,
         3,
         124,
         {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000},
         {},
         PackDirect(kColours, 4, argb)},
       kColours},
  };
}

void PrintTo(const BmpCase& c, std::ostream* os) { *os << c.name; }

class BmpDecoding : public testing::TestWithParam<BmpCase> {};

TEST_P(BmpDecoding, GivesBlueGreenRedRowsFromTheTop) {
  const BmpCase& c = GetParam();
  const Bytes file = test::BuildBmp(c.layout);
  Raster out;
  ASSERT_TRUE(DecodeBmpBytes(file.data(), file.size(), out));
  ASSERT_EQ(out.width, 3);
  ASSERT_EQ(out.height, 2);
  ASSERT_EQ(out.pixels.size(), 3u * 3 * 2);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      const Rgb want = c.expected[y][x], got = test::PixelAt(out, x, y);
      EXPECT_NEAR(got.r, want.r, c.tolerance) << "x=" << x << " y=" << y;
      EXPECT_NEAR(got.g, want.g, c.tolerance) << "x=" << x << " y=" << y;
      EXPECT_NEAR(got.b, want.b, c.tolerance) << "x=" << x << " y=" << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryDepthAndLayout, BmpDecoding, testing::ValuesIn(BmpCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// ----------------------------------------------------------------- JPEG ---

class JpegDecoding : public testing::Test {
 protected:
  QTemporaryDir dir_;
  std::string Path(const char* name) { return dir_.filePath(name).toStdString(); }
};

TEST_F(JpegDecoding, ColourFileComesOutBlueGreenRed) {
  const Raster original = test::GradientRaster(64, 48);
  for (bool progressive : {false, true}) {
    const std::string path = Path(progressive ? "p.jpg" : "s.jpg");
    test::WriteTestJpeg(path, original, false, progressive, 95);
    Raster out;
    ASSERT_TRUE(DecodeJpegFile(path, out)) << progressive;
    ASSERT_EQ(out.width, 64);
    ASSERT_EQ(out.height, 48);
    ASSERT_EQ(out.pixels.size(), original.pixels.size());
    int worst = 0;
    for (size_t i = 0; i < out.pixels.size(); ++i)
      worst = std::max(worst, std::abs(out.pixels[i] - original.pixels[i]));
    EXPECT_LE(worst, 12) << "progressive=" << progressive;
  }
}

TEST_F(JpegDecoding, GreyscaleFileBecomesGreyPixels) {
  const Raster original = test::GradientRaster(33, 17);  // odd sizes: partial MCUs
  const std::string path = Path("g.jpg");
  test::WriteTestJpeg(path, original, true, false, 95);
  Raster out;
  ASSERT_TRUE(DecodeJpegFile(path, out));
  ASSERT_EQ(out.width, 33);
  ASSERT_EQ(out.height, 17);
  for (int y = 0; y < 17; ++y) {
    for (int x = 0; x < 33; ++x) {
      const Rgb p = test::PixelAt(out, x, y);
      EXPECT_EQ(p.r, p.g);
      EXPECT_EQ(p.b, p.g);
      EXPECT_NEAR(p.g, test::PixelAt(original, x, y).g, 8);
    }
  }
}

TEST_F(JpegDecoding, FileAndMemoryReadersAgree) {
  const std::string path = Path("m.jpg");
  test::WriteTestJpeg(path, test::GradientRaster(20, 10), false, true);
  const Bytes bytes = test::ReadBytes(path);
  Raster fromFile, fromMemory;
  ASSERT_TRUE(DecodeJpegFile(path, fromFile));
  ASSERT_TRUE(DecodeJpegBytes(bytes.data(), bytes.size(), fromMemory));
  EXPECT_EQ(fromFile, fromMemory);
}

// Stray bytes that libjpeg skips with a "corrupt data" warning: harmless
// just before the end marker, where some webcams put them, but a sign of
// damage anywhere else.
TEST_F(JpegDecoding, StrayBytesAreAcceptedOnlyBeforeTheEndMarker) {
  const std::string path = Path("x.jpg");
  test::WriteTestJpeg(path, test::GradientRaster(24, 16), false, false);
  const Bytes clean = test::ReadBytes(path);
  Raster expected, out;
  ASSERT_TRUE(DecodeJpegBytes(clean.data(), clean.size(), expected));

  Bytes padded = clean;
  padded.insert(padded.end() - 2, {0x00, 0x00, 0x00});
  EXPECT_TRUE(DecodeJpegBytes(padded.data(), padded.size(), out));
  EXPECT_EQ(out, expected);

  Bytes beforeScan = clean;
  for (size_t i = 0; i + 1 < beforeScan.size(); ++i) {
    if (beforeScan[i] == 0xFF && beforeScan[i + 1] == 0xDA) {
      beforeScan.insert(beforeScan.begin() + static_cast<std::ptrdiff_t>(i), {0x00, 0x00, 0x00});
      break;
    }
  }
  ASSERT_NE(beforeScan.size(), clean.size());
  EXPECT_FALSE(DecodeJpegBytes(beforeScan.data(), beforeScan.size(), out));
  EXPECT_EQ(out, expected);  // untouched by the failure
}

// ----------------------------------------------------------- size limit ---

TEST_F(JpegDecoding, PixelLimitIsCheckedBeforeDecoding) {
  const std::string jpg = Path("100.jpg"), bmp = Path("100.bmp");
  const Raster frame = test::GradientRaster(100, 100);
  test::WriteTestJpeg(jpg, frame, false, false);
  WriteBmpFile(bmp, frame);
  Raster out;
  EXPECT_FALSE(DecodeJpegFile(jpg, out, 9999));
  EXPECT_FALSE(DecodeBmpFile(bmp, out, 9999));
  EXPECT_TRUE(out.Empty());
  EXPECT_TRUE(DecodeJpegFile(jpg, out, 10000));
  EXPECT_TRUE(DecodeBmpFile(bmp, out, 10000));
  EXPECT_EQ(out, frame);
}

}  // namespace
}  // namespace km
