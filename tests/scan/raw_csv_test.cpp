#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <locale>
#include <memory>
#include <sstream>
#include <string>

#include "export/csv_writer.h"

namespace km {
namespace {

std::string Csv(const PointCloudStore& store, int frameCounter) {
  std::ostringstream out;
  WriteRawCsv(out, store, frameCounter);
  return out.str();
}

std::unique_ptr<PointCloudStore> TinyStore() {
  auto store = std::make_unique<PointCloudStore>();
  auto put = [&](int point, int profile, float x, float y, float z) {
    store->X(point, profile) = x;
    store->Y(point, profile) = y;
    store->Z(point, profile) = z;
  };
  put(0, 0, 1.5f, 2, -3);
  put(1, 0, -12345.6789f, 0, 1000000);
  store->lastIndex[0] = 1;
  put(0, 1, 9, 9, 9);
  store->lastIndex[1] = -1;
  put(0, 2, 0.25f, 0.125f, -7);
  put(1, 2, 5, 5, 5);  // beyond lastIndex: not data
  store->lastIndex[2] = 0;
  put(0, 3, 8, 8, 8);  // beyond frameCounter
  return store;
}

TEST(RawCsv, WritesEveryStoredPointWithNegatedYAndZ) {
  const auto store = TinyStore();
  EXPECT_EQ(Csv(*store, 2),
            " 1.500    , -2.000   , 3.000    , 0, 0\r\n"
            " -12345.679, -0.000   , -1000000.000, 1, 0\r\n"
            " 0.250    , -0.125   , 7.000    , 0, 2\r\n");
  EXPECT_EQ(Csv(*store, 0),
            " 1.500    , -2.000   , 3.000    , 0, 0\r\n"
            " -12345.679, -0.000   , -1000000.000, 1, 0\r\n");
}

TEST(RawCsv, FreshStoreHoldsOnePointAtTheOrigin) {
  PointCloudStore store;
  EXPECT_EQ(Csv(store, 0), " 0.000    , -0.000   , -0.000   , 0, 0\r\n");
}

TEST(RawCsv, CoordinatesMatchPrintfInTheCLocale) {
  PointCloudStore store;
  const float values[] = {0.0625f, -0.0625f, 0.0005f, 123.4565f, 1e-8f, -99999.9f, 3.4e38f, 2.5e-4f};
  int n = 0;
  for (float v : values) store.X(n++, 0) = v;
  store.lastIndex[0] = n - 1;
  std::istringstream lines(Csv(store, 0));
  std::string line;
  for (float v : values) {
    ASSERT_TRUE(std::getline(lines, line));
    char expected[128];
    std::snprintf(expected, sizeof expected, " %-9.3f,", static_cast<double>(v));
    EXPECT_EQ(line.substr(0, std::string(expected).size()), expected);
  }
}

struct CommaDecimal : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

TEST(RawCsv, IgnoresTheLocale) {
  // A comma-decimal C++ locale on the stream and globally, and a
  // comma-decimal C locale where one is installed.
  const std::string before = std::setlocale(LC_ALL, nullptr);
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) std::setlocale(LC_ALL, "fr_FR.UTF-8");
  const std::locale comma(std::locale::classic(), new CommaDecimal);
  const std::locale previous = std::locale::global(comma);
  const auto store = TinyStore();
  std::ostringstream out;
  out.imbue(comma);
  WriteRawCsv(out, *store, 0);
  std::locale::global(previous);
  std::setlocale(LC_ALL, before.c_str());
  EXPECT_EQ(out.str().substr(0, 40), " 1.500    , -2.000   , 3.000    , 0, 0\r\n");
}

}  // namespace
}  // namespace km
