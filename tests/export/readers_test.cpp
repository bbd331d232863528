// The model files opened by real third-party readers (ezdxf for DXF,
// tovrmlx3d for VRML 1.0 and 2.0), and a strict structural check of MQO, for
// which no reader is packaged.

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "export/dxf_writer.h"
#include "export/mqo_writer.h"
#include "export/vrml_writer.h"
#include "export_fixtures.h"

namespace km {
namespace {

// A bumpy cylinder of 13 profiles (a half turn), thinned finely enough that
// strips have steps on both sides and fans.
ThinnedProfiles SurfaceModel() {
  PointCloudStore store;
  const int frameCounter = 12;
  for (int p = 0; p <= frameCounter; ++p) {
    const double angle = p * 3.14159265358979 / 12;
    std::vector<test::Point> points;
    const int n = 30 + 7 * (p % 3);
    for (int k = 0; k < n; ++k) {
      const double radius = 20 + 3 * std::sin(k * 0.3 + p * 0.5);
      points.push_back({static_cast<float>(radius * std::cos(angle)), static_cast<float>(0.8 * k - 12),
                        static_cast<float>(radius * std::sin(angle))});
    }
    test::SetProfile(store, p, points);
  }
  store.lastIndex[5] = -1;  // a frame without stripe
  return ThinProfiles(store, frameCounter, 10, 0.3f);
}

bool CommandWorks(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

std::string Corner(const ThinnedProfiles& m, int32_t i) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%.3f %.3f %.3f", static_cast<double>(m.x[i]), static_cast<double>(m.y[i]),
                static_cast<double>(m.z[i]));
  return buf;
}

TEST(Readers, EzdxfReadsEveryTriangle) {
  if (!CommandWorks("/usr/bin/python3 -c 'import importlib.util, sys; sys.exit(not "
                    "importlib.util.find_spec(\"ezdxf\"))'"))
    GTEST_SKIP() << "python3-ezdxf is not installed";
  test::TempDir dir;
  for (const ThinnedProfiles& model : {SurfaceModel(), ThinnedProfiles{}}) {
    const std::string path = dir.File("model.dxf"), report = dir.File("report.txt");
    WriteDxf(path, model);
    const std::string command = "/usr/bin/python3 " +
                                Quote(std::string(KELMORPH_SOURCE_DIR) + "/tests/export/check_dxf.py") + " " +
                                Quote(path) + " >" + Quote(report) + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << test::ReadFile(report);

    std::string expected = std::to_string(CountFaces(model)) + "\n";
    WalkAllStrips(model, [&](const StripFace& f) {
      expected += Corner(model, f.b) + " " + Corner(model, f.a) + " " + Corner(model, f.n) + " " +
                  Corner(model, f.n) + "\n";
    });
    EXPECT_EQ(test::ReadFile(report), expected);
  }
}

// Number of entries in the text after `key [` up to the closing bracket,
// counted as separators (",") for points and as "-1" for faces.
size_t CountIn(const std::string& text, const std::string& key, const std::string& token) {
  const size_t open = text.find(key);
  if (open == std::string::npos) return 0;
  const size_t begin = text.find('[', open), end = text.find(']', begin);
  size_t count = 0;
  for (size_t at = text.find(token, begin); at < end; at = text.find(token, at + token.size())) ++count;
  return count;
}

TEST(Readers, Tovrmlx3dReadsBothVersionsWithoutWarnings) {
  if (!CommandWorks("tovrmlx3d --version")) GTEST_SKIP() << "tovrmlx3d (view3dscene) is not installed";
  test::TempDir dir;
  const ThinnedProfiles model = SurfaceModel();
  const int64_t faces = CountFaces(model);
  ASSERT_GT(faces, 100);
  for (int version : {1, 2}) {
    SCOPED_TRACE(version);
    const std::string path = dir.File("model.wrl"), out = dir.File("out.wrl"), err = dir.File("err.txt");
    WriteVrml(path, model, version);
    const std::string command = "tovrmlx3d " + Quote(path) + " >" + Quote(out) + " 2>" + Quote(err);
    ASSERT_EQ(std::system(command.c_str()), 0);
    // The converter exits 0 even when it gave up on the file; it then warns.
    EXPECT_EQ(test::ReadFile(err), "");
    const std::string converted = test::ReadFile(out);
    EXPECT_EQ(CountIn(converted, "point [", ","), static_cast<size_t>(model.vertexCount));
    EXPECT_EQ(CountIn(converted, "coordIndex [", "-1"), static_cast<size_t>(faces));
  }
}

// Splits at CR LF; fails on a bare LF.
std::vector<std::string> CrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2) {
    const std::string line = text.substr(start, at - start);
    EXPECT_EQ(line.find('\n'), std::string::npos) << line;
    lines.push_back(line);
  }
  EXPECT_EQ(start, text.size()) << "text after the last line end";
  return lines;
}

bool ParseDecimal4(std::string_view s, double& value) {
  // "-?digits.dddd" exactly
  const size_t dot = s.find('.');
  if (dot == std::string_view::npos || s.size() - dot != 5 || dot == 0 || (s[0] == '-' && dot == 1))
    return false;
  const auto res = std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::fixed);
  return res.ec == std::errc() && res.ptr == s.data() + s.size();
}

TEST(Readers, MqoStructureIsStrict) {
  const ThinnedProfiles model = SurfaceModel();
  std::ostringstream out;
  WriteMqo(out, model);
  const std::vector<std::string> lines = CrLfLines(out.str());
  const std::string golden = test::GoldenFile("tiny.mqo");
  const std::vector<std::string> head = CrLfLines(golden.substr(0, golden.find("vertex ")));
  ASSERT_EQ(head.size(), 26u);
  ASSERT_GT(lines.size(), head.size());
  EXPECT_TRUE(std::equal(head.begin(), head.end(), lines.begin()));
  EXPECT_EQ(head[0], "Metasequoia Document");
  EXPECT_EQ(head[13], "Object \"obj1\" {");

  size_t at = head.size();
  int vertices = -1;
  ASSERT_EQ(std::sscanf(lines[at].c_str(), "vertex %d {", &vertices), 1) << lines[at];
  ASSERT_EQ(lines[at], "vertex " + std::to_string(vertices) + " {");
  ASSERT_EQ(vertices, model.vertexCount);
  ++at;
  for (int i = 0; i < vertices; ++i, ++at) {
    ASSERT_LT(at, lines.size());
    const std::string& line = lines[at];
    ASSERT_EQ(line[0], '\t') << line;
    std::istringstream fields(line.substr(1));
    std::string x, y, z, extra;
    fields >> x >> y >> z;
    ASSERT_FALSE(fields >> extra) << line;
    ASSERT_EQ("\t" + x + " " + y + " " + z, line);
    double v[3];
    ASSERT_TRUE(ParseDecimal4(x, v[0]) && ParseDecimal4(y, v[1]) && ParseDecimal4(z, v[2])) << line;
    EXPECT_NEAR(v[0], model.x[i], 5e-5);
    EXPECT_NEAR(v[1], model.y[i], 5e-5);
    EXPECT_NEAR(v[2], -model.z[i], 5e-5);
  }
  ASSERT_EQ(lines.at(at++), "}");
  ASSERT_EQ(lines.at(at++), "");
  int faces = -1;
  ASSERT_EQ(std::sscanf(lines.at(at).c_str(), "face %d {", &faces), 1);
  ASSERT_EQ(lines[at++], "face " + std::to_string(faces) + " {");
  EXPECT_EQ(faces, CountFaces(model));
  for (int i = 0; i < faces; ++i, ++at) {
    ASSERT_LT(at, lines.size());
    int a = -1, b = -1, n = -1;
    char close = 0;
    ASSERT_EQ(std::sscanf(lines[at].c_str(), "\t3 V(%d %d %d%c", &a, &b, &n, &close), 4) << lines[at];
    ASSERT_EQ(lines[at],
              "\t3 V(" + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(n) + ")");
    for (int index : {a, b, n}) {
      EXPECT_GE(index, 0);
      EXPECT_LT(index, vertices);
    }
    EXPECT_TRUE(a != b && b != n && a != n) << lines[at];
  }
  const std::vector<std::string> tail = {"\t}", "}", "", "Eof"};
  ASSERT_EQ(lines.size(), at + tail.size());
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), lines.begin() + static_cast<std::ptrdiff_t>(at)));
}

}  // namespace
}  // namespace km
