#include "common/numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale>
#include <string>

#include "common/errors.h"

namespace km {
namespace {

std::string ConversionMessage(std::string_view text, bool whole) {
  std::string m = "'" + std::string(text) + "' ";
  return m + (whole ? "は整数ではありません" : "は浮動小数点数ではありません");
}

template <typename F>
std::string ThrownMessage(F&& f) {
  try {
    f();
  } catch (const KelError& e) {
    return e.what();
  }
  return "(nothing thrown)";
}

struct DecimalCase {
  const char* text;
  long double value;
};

TEST(Numbers, ParseDecimalAcceptsPlainAndExponentTexts) {
  const DecimalCase cases[] = {
      {"0", 0},  {"1.8", 1.8L},       {"-3", -3},      {" 20 ", 20},     {"+0.5", 0.5L},    {".5", 0.5L},
      {"7.", 7}, {"1.5E-6", 1.5e-6L}, {"1e20", 1e20L}, {"-1E+3", -1000}, {"1e999", 1e999L}, {"1e-5000", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseDecimal(c.text), c.value);
  }
}

TEST(Numbers, ParseDecimalRejectsWhatIsNotANumber) {
  for (const char* text : {"", " ", "abc", "1,5", "1.2.3", "1e", "e5", "--1", "0x10", "inf", "nan", "1e5000",
                           "-1e5000", "1 5", "\xef\xbc\x91"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ThrownMessage([&] { ParseDecimal(text); }), ConversionMessage(text, false));
  }
}

TEST(Numbers, HugeDecimalFitsExtendedButNotSingle) {
  const Ext v = ParseDecimal("1e999");
  EXPECT_TRUE(std::isfinite(v));
  EXPECT_EQ(ThrownMessage([&] { ToSingle(v); }), kOverflowMessage);
  EXPECT_EQ(ThrownMessage([&] { ToSingle(-v); }), kOverflowMessage);
}

TEST(Numbers, ParseWholeAcceptsIntegersOnly) {
  EXPECT_EQ(ParseWhole("30"), 30);
  EXPECT_EQ(ParseWhole(" -7"), -7);
  EXPECT_EQ(ParseWhole("+12"), 12);
  EXPECT_EQ(ParseWhole("2147483647"), 2147483647);
  EXPECT_EQ(ParseWhole("-2147483648"), std::numeric_limits<int32_t>::min());
  for (const char* text :
       {"", "-", "abc", "1,5", "30.0", "1e3", "30 ", "2147483648", "-2147483649", "99999999999999999999"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ThrownMessage([&] { ParseWhole(text); }), ConversionMessage(text, true));
  }
}

struct TextCase {
  long double value;
  const char* text;
};

TEST(Numbers, GeneralNumberText) {
  const TextCase cases[] = {
      {0, "0"},
      {-0.0L, "0"},
      {1.8f, "1.79999995231628"},
      {1.8L, "1.8"},
      {-3, "-3"},
      {9999, "9999"},
      {0.5L, "0.5"},
      {0.00001L, "0.00001"},
      {0.000012345L, "0.000012345"},
      {0.0000099L, "9.9E-6"},
      {1.5e-6L, "1.5E-6"},
      {-2.5e-10L, "-2.5E-10"},
      {1e20L, "1E20"},
      {123456789012345.0L, "123456789012345"},
      {1234567890123456.0L, "1.23456789012346E15"},
      {999999999999999.9L, "1E15"},
      {2.0L / 3.0L, "0.666666666666667"},
      {1e999L, "1E999"},
      {-1.25e-300L, "-1.25E-300"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(GeneralNumberText(c.value), c.text);
  }
}

TEST(Numbers, WholeAndFixedText) {
  EXPECT_EQ(WholeNumberText(0), "0");
  EXPECT_EQ(WholeNumberText(-1366), "-1366");
  EXPECT_EQ(FixedText(-3.0, 6), "-3.000000");
  EXPECT_EQ(FixedText(1.8f, 6), "1.800000");
  EXPECT_EQ(FixedText(0.0000001f, 6), "0.000000");
  EXPECT_EQ(FixedText(2.5, 0), "2");  // ties to even, as printf
}

TEST(Numbers, CheckedArithmeticRaisesInsteadOfInfinityOrNaN) {
  EXPECT_EQ(Div(1, 4), 0.25L);
  EXPECT_EQ(ThrownMessage([] { Div(3, 0); }), kZeroDivideMessage);
  EXPECT_EQ(ThrownMessage([] { Div(-3, 0); }), kZeroDivideMessage);
  EXPECT_EQ(ThrownMessage([] { Div(0, 0); }), kInvalidOpMessage);
  EXPECT_EQ(ThrownMessage([] { Div(0, -0.0L); }), kInvalidOpMessage);
  const Ext big = std::numeric_limits<Ext>::max();
  EXPECT_EQ(ThrownMessage([&] { Mul(big, 2); }), kOverflowMessage);
  EXPECT_EQ(ThrownMessage([&] { Add(big, big); }), kOverflowMessage);
  EXPECT_EQ(ThrownMessage([&] { Sub(-big, big); }), kOverflowMessage);
  EXPECT_EQ(ThrownMessage([] { Sqrt(-1); }), kInvalidOpMessage);
  EXPECT_EQ(ThrownMessage([] { ArcCos(1.5L); }), kInvalidOpMessage);
  EXPECT_EQ(Sqrt(0), 0);
  EXPECT_EQ(ArcCos(1), 0);
}

TEST(Numbers, ToSingleRoundsNearestAndOverflowsOnlyPastTheLastFloat) {
  constexpr float kMax = std::numeric_limits<float>::max();
  EXPECT_EQ(ToSingle(1.8L), 1.8f);
  EXPECT_EQ(ToSingle(kMax), kMax);
  // Just below halfway to 2^128 still rounds down to the largest float.
  EXPECT_EQ(ToSingle(0x1.fffffefffffp127L), kMax);
  EXPECT_EQ(ThrownMessage([] { ToSingle(0x1.ffffffp127L); }), kOverflowMessage);
  EXPECT_EQ(ToSingle(1e-60L), 0.0f);  // underflow is not an error
}

TEST(Numbers, TruncTowardZero) {
  EXPECT_EQ(Trunc(20.9L), 20);
  EXPECT_EQ(Trunc(-3.7L), -3);
  EXPECT_EQ(ThrownMessage([] { Trunc(1e30L); }), kInvalidOpMessage);
}

// A numpunct facet with a decimal comma and digit grouping, as a German
// locale would install; always available, unlike named locales.
struct CommaPunct : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

void ExpectTextsUnaffectedByLocale() {
  EXPECT_EQ(ParseDecimal("1.5"), 1.5L);
  EXPECT_EQ(ParseDecimal("-2.25E3"), -2250);
  EXPECT_THROW(ParseDecimal("1,5"), ConversionError);
  EXPECT_EQ(ParseWhole("1234"), 1234);
  EXPECT_EQ(GeneralNumberText(1.8f), "1.79999995231628");
  EXPECT_EQ(GeneralNumberText(1234567.5L), "1234567.5");
  EXPECT_EQ(GeneralNumberText(1.5e-6L), "1.5E-6");
  EXPECT_EQ(WholeNumberText(1234567), "1234567");
  EXPECT_EQ(FixedText(-1234.5, 6), "-1234.500000");
}

TEST(Numbers, TextsIgnoreACommaDecimalGlobalLocale) {
  const std::locale saved = std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
  ExpectTextsUnaffectedByLocale();
  std::locale::global(saved);
}

// Selects a C locale with a decimal comma: an installed one, or one compiled
// with localedef into a temporary folder when the locale sources are there.
// Returns false when neither works.
bool SelectCommaCLocale() {
  const auto tryName = [](const char* name) {
    return std::setlocale(LC_ALL, name) != nullptr && *std::localeconv()->decimal_point == ',';
  };
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"})
    if (tryName(name)) return true;
  const std::string folder = ::testing::TempDir() + "kelmorph_locales";
  const std::string command = "localedef -i de_DE -f UTF-8 '" + folder + "/de_DE.UTF-8' >/dev/null 2>&1";
  const bool compiled = std::system(("test -d '" + folder + "/de_DE.UTF-8'").c_str()) == 0;
  if (!compiled &&
      (std::system(("mkdir -p '" + folder + "'").c_str()) != 0 || std::system(command.c_str()) != 0))
    return false;
  setenv("LOCPATH", folder.c_str(), 1);
  if (tryName("de_DE.UTF-8")) return true;
  unsetenv("LOCPATH");
  return false;
}

TEST(Numbers, TextsIgnoreACommaDecimalCLocale) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  if (!SelectCommaCLocale()) {
    std::setlocale(LC_ALL, saved.c_str());
    GTEST_SKIP() << "no locale with a decimal comma is available";
  }
  ExpectTextsUnaffectedByLocale();
  std::setlocale(LC_ALL, saved.c_str());
  unsetenv("LOCPATH");
}

}  // namespace
}  // namespace km
