#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <locale>
#include <random>
#include <sstream>

#include "common/headless_platform.h"
#include "export/dxf_writer.h"
#include "export/mqo_writer.h"
#include "export/save_command.h"
#include "export/text_output.h"
#include "export/vrml_writer.h"
#include "export_fixtures.h"

namespace km {
namespace {

using test::GoldenFile;
using test::SetProfile;

enum class Format { Vrml1, Vrml2, Dxf, Mqo };

std::string Write(Format format, const ThinnedProfiles& model) {
  std::ostringstream out;
  switch (format) {
    case Format::Vrml1:
      WriteVrml(out, model, 1);
      break;
    case Format::Vrml2:
      WriteVrml(out, model, 2);
      break;
    case Format::Dxf:
      WriteDxf(out, model);
      break;
    case Format::Mqo:
      WriteMqo(out, model);
      break;
  }
  return out.str();
}

ThinnedProfiles TinyModel() {
  PointCloudStore store;
  test::FillTinyStore(store);
  return ThinProfiles(store, 2, 30, 0.5f);
}

struct GoldenCase {
  int outputMode;
  const char* golden;
};
const GoldenCase kGoldenCases[] = {
    {kOutputVrml1, "tiny_vrml1.wrl"}, {kOutputVrml2, "tiny_vrml2.wrl"}, {kOutputDxf, "tiny.dxf"},
    {kOutputMqo, "tiny.mqo"},         {kOutputCsv, "tiny.csv"},
};

TEST(ModelWriters, TinyModelMatchesTheGoldenFileInEveryFormat) {
  test::TempDir dir;
  HeadlessPlatform platform;
  Context ctx(platform);
  test::FillTinyStore(*ctx.store);
  ctx.workspace.frameCounter = 2;
  for (const GoldenCase& c : kGoldenCases) {
    SCOPED_TRACE(c.golden);
    ctx.settings.RadioGroup1.index = c.outputMode;
    const std::string path = dir.File(c.golden);
    const ModelFileStats stats = WriteModelFile(ctx, path);
    const std::string golden = GoldenFile(c.golden);
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(test::ReadFile(path), golden);
    EXPECT_EQ(stats.vertices, c.outputMode == kOutputCsv ? 17 : 10);
    EXPECT_EQ(stats.faces, c.outputMode == kOutputCsv ? 0 : 7);
  }
  // The stream overloads write the same bytes.
  const ThinnedProfiles model = TinyModel();
  EXPECT_EQ(Write(Format::Vrml1, model), GoldenFile("tiny_vrml1.wrl"));
  EXPECT_EQ(Write(Format::Vrml2, model), GoldenFile("tiny_vrml2.wrl"));
  EXPECT_EQ(Write(Format::Dxf, model), GoldenFile("tiny.dxf"));
  EXPECT_EQ(Write(Format::Mqo, model), GoldenFile("tiny.mqo"));
}

struct CommaPunct : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

TEST(ModelWriters, OutputIgnoresTheLocale) {
  const std::locale comma(std::locale::classic(), new CommaPunct);
  const std::locale saved = std::locale::global(comma);
  const ThinnedProfiles model = TinyModel();
  std::ostringstream out;
  out.imbue(comma);
  WriteDxf(out, model);
  WriteMqo(out, model);
  std::locale::global(saved);
  EXPECT_EQ(out.str(), GoldenFile("tiny.dxf") + GoldenFile("tiny.mqo"));
}

std::string MqoHead() {
  const std::string golden = GoldenFile("tiny.mqo");
  return golden.substr(0, golden.find("vertex "));
}

TEST(ModelWriters, SingleProfileHasVerticesAndNoFaces) {
  PointCloudStore fresh;  // before any scan: one point at the origin
  const ThinnedProfiles model = ThinProfiles(fresh, 0, 30, 0.5f);
  const std::string origin = "   0.0000     0.0000     -0.0000    ,# ";
  EXPECT_EQ(Write(Format::Vrml1, model),
            "#VRML V1.0 ascii\r\nSeparator {\r\n PerspectiveCamera{ position 0 0 60 }\r\n"
            " Material { diffuseColor [1.0 1.0 1.0] }\r\n Coordinate3 {\r\n  point [ \r\n" +
                origin + "0\r\n" + origin + "1\r\n" + origin + "2\r\n" +
                "   ]\r\n }\r\n IndexedFaceSet {\r\n  coordIndex [\r\n ]\r\n }\r\n}\r\n");
  EXPECT_EQ(Write(Format::Dxf, model),
            "0\r\nSECTION\r\n2\r\nENTITIES\r\n999\r\nKel-morph generated data\r\n"
            "0\r\nENDSEC\r\n0\r\nEOF\r\n");
  const std::string vertex = "\t0.0000 0.0000 -0.0000\r\n";
  EXPECT_EQ(Write(Format::Mqo, model), MqoHead() + "vertex 3 {\r\n" + vertex + vertex + vertex +
                                           "}\r\n\r\nface 0 {\r\n\t}\r\n}\r\n\r\nEof\r\n");
}

TEST(ModelWriters, NoProfileWithPointsGivesHeadsAndTailsOnly) {
  PointCloudStore store;
  store.lastIndex[0] = store.lastIndex[1] = -1;
  const ThinnedProfiles model = ThinProfiles(store, 1, 30, 0.5f);
  EXPECT_EQ(Write(Format::Vrml2, model),
            "#VRML V2.0 utf8\r\nViewpoint{ position 0 0 60 }\r\nShape {\r\n appearance Appearance {\r\n"
            "  material Material { diffuseColor 1.0 1.0 1.0 }\r\n }\r\n geometry IndexedFaceSet {\r\n"
            "  creaseAngle 0.65 \r\n  coord Coordinate {\r\n   point [ \r\n   ]\r\n  }\r\n"
            "  coordIndex [\r\n  ]\r\n  solid FALSE\r\n  ccw TRUE\r\n }\r\n}\r\n");
  EXPECT_EQ(Write(Format::Mqo, model),
            MqoHead() + "vertex 0 {\r\n}\r\n\r\nface 0 {\r\n\t}\r\n}\r\n\r\nEof\r\n");
}

TEST(ModelWriters, ProfileMarksCarryTheStoreIndexOfEveryKeptProfileButTheLast) {
  PointCloudStore store;
  const std::vector<test::Point> two = {{1, 0, -2}, {1, 0.5f, -2}};
  SetProfile(store, 0, two);
  store.lastIndex[1] = -1;
  SetProfile(store, 2, two);
  SetProfile(store, 3, two);
  const std::string text = Write(Format::Vrml1, ThinProfiles(store, 3, 30, 0.5f));
  EXPECT_NE(text.find(" ,# 0 No.0\r\n"), std::string::npos);
  EXPECT_NE(text.find(" ,# 1\r\n"), std::string::npos);
  EXPECT_NE(text.find(" ,# 2 No.2\r\n"), std::string::npos);
  EXPECT_NE(text.find(" ,# 4\r\n"), std::string::npos);
  EXPECT_NE(text.find(" ,# 6\r\n"), std::string::npos);
  // Profile 0 is joined to profile 2, profile 2 to profile 3.
  EXPECT_NE(text.find("  coordIndex [\r\n    2    ,0    ,1    ,-1,\r\n    4    ,2    ,3    ,-1,\r\n ]"),
            std::string::npos);
}

TEST(TextOutput, FieldsFollowPrintfPaddingAndRounding) {
  std::ostringstream out;
  {
    TextOutput text(out);
    text.Fixed(-12345.5, 4, 10);  // wider than the field: no padding
    text.Text("|");
    text.Fixed(-0.0, 4, 10);
    text.Text("|");
    text.Fixed(0.125, 2);  // an exact tie rounds to even
    text.Text("|");
    text.Fixed(static_cast<double>(2.0005f), 3, 9);  // the float lies below 2.0005
    text.Text("|");
    text.Whole(123456, 5);
    text.Text("|");
    text.Whole(-7, 5);
    text.Text("|");
  }
  EXPECT_EQ(out.str(), "-12345.5000|-0.0000   |0.12|2.000    |123456|-7   |");
}

TEST(TextOutput, FixedFieldsEqualCPrintfForRandomFloats) {
  std::mt19937 rng(42);
  std::uniform_int_distribution<uint32_t> bits;
  std::ostringstream out;
  std::string expected;
  {
    TextOutput text(out);
    char buf[128];
    for (int i = 0; i < 20000; ++i) {
      float f;
      do {
        const uint32_t b = bits(rng);
        std::memcpy(&f, &b, sizeof f);
      } while (!std::isfinite(f) || std::fabs(f) > 1e9f);
      text.Fixed(f, 4, 10);
      text.Text(";");
      text.Fixed(f, 3, 9);
      text.Text(";");
      std::snprintf(buf, sizeof buf, "%-10.4f;%-9.3f;", static_cast<double>(f), static_cast<double>(f));
      expected += buf;
    }
  }
  EXPECT_EQ(out.str(), expected);
}

}  // namespace
}  // namespace km
