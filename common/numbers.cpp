#include "common/numbers.h"

#include <locale.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "common/errors.h"

namespace km {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Quoted(std::string_view text) {
  std::string s = "'";
  s.append(text);
  s += "'";
  return s;
}

[[noreturn]] void ThrowNotDecimal(std::string_view text) {
  throw ConversionError(Quoted(text) + " は浮動小数点数ではありません");
}

[[noreturn]] void ThrowNotWhole(std::string_view text) {
  throw ConversionError(Quoted(text) + " は整数ではありません");
}

// A "C" locale object for strtold_l, created once; it makes the parse
// independent of the process locale.
locale_t CLocale() {
  static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return loc;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

Ext ParseDecimal(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  // Validate the shape ourselves: strtold would also take hex, "inf", "nan"
  // and a locale's own separators.
  size_t i = b;
  if (i < e && (text[i] == '+' || text[i] == '-')) ++i;
  size_t mantissaDigits = 0;
  while (i < e && IsDigit(text[i])) ++i, ++mantissaDigits;
  if (i < e && text[i] == '.') {
    ++i;
    while (i < e && IsDigit(text[i])) ++i, ++mantissaDigits;
  }
  if (mantissaDigits == 0) ThrowNotDecimal(text);
  if (i < e && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < e && (text[i] == '+' || text[i] == '-')) ++i;
    size_t expDigits = 0;
    while (i < e && IsDigit(text[i])) ++i, ++expDigits;
    if (expDigits == 0) ThrowNotDecimal(text);
  }
  if (i != e) ThrowNotDecimal(text);

  std::string clean(text.substr(b, e - b));
  errno = 0;
  char* end = nullptr;
  long double v = strtold_l(clean.c_str(), &end, CLocale());
  if (end != clean.c_str() + clean.size()) ThrowNotDecimal(text);
  if (errno == ERANGE && std::isinf(v)) ThrowNotDecimal(text);
  return v;  // an underflow gives 0 or a denormal, as the hardware would
}

int32_t ParseWhole(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i == text.size()) ThrowNotWhole(text);
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (!IsDigit(text[i])) ThrowNotWhole(text);
    v = v * 10 + (text[i] - '0');
    if (v > int64_t{1} << 32) ThrowNotWhole(text);
  }
  if (negative) v = -v;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) ThrowNotWhole(text);
  return static_cast<int32_t>(v);
}

std::string GeneralNumberText(Ext value) {
  if (value == 0 || std::isnan(value) || std::isinf(value)) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    return "0";
  }
  char buf[80];
  // 15 significant digits: d.dddddddddddddde±x
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  std::string_view s(buf, res.ptr - buf);
  bool negative = false;
  if (!s.empty() && s[0] == '-') {
    negative = true;
    s.remove_prefix(1);
  }
  size_t ePos = s.find('e');
  std::string digits;
  for (char c : s.substr(0, ePos))
    if (c != '.') digits += c;
  int exponent = 0;
  std::from_chars(s.data() + ePos + 1 + (s[ePos + 1] == '+' ? 1 : 0), s.data() + s.size(), exponent);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out = negative ? "-" : "";
  if (exponent >= -5 && exponent < 15) {
    if (exponent >= 0) {
      std::string intPart = digits.substr(0, std::min<size_t>(digits.size(), exponent + 1));
      intPart.append(exponent + 1 - intPart.size(), '0');
      out += intPart;
      if (digits.size() > static_cast<size_t>(exponent + 1)) {
        out += '.';
        out += digits.substr(exponent + 1);
      }
    } else {
      out += "0.";
      out.append(-exponent - 1, '0');
      out += digits;
    }
  } else {
    out += digits[0];
    if (digits.size() > 1) {
      out += '.';
      out += digits.substr(1);
    }
    out += 'E';
    out += std::to_string(exponent);
  }
  return out;
}

std::string WholeNumberText(int64_t value) { return std::to_string(value); }

std::string FixedText(double value, int decimals) {
  char buf[400];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  return std::string(buf, res.ptr);
}

Ext CheckedResult(Ext value) {
  if (std::isnan(value)) throw FloatError(kInvalidOpMessage);
  if (std::isinf(value)) throw FloatError(kOverflowMessage);
  return value;
}

Ext Add(Ext a, Ext b) { return CheckedResult(a + b); }
Ext Sub(Ext a, Ext b) { return CheckedResult(a - b); }
Ext Mul(Ext a, Ext b) { return CheckedResult(a * b); }

Ext Div(Ext a, Ext b) {
  if (b == 0) throw FloatError(a == 0 || std::isnan(a) ? kInvalidOpMessage : kZeroDivideMessage);
  return CheckedResult(a / b);
}

Ext Sqrt(Ext a) {
  if (a < 0 || std::isnan(a)) throw FloatError(kInvalidOpMessage);
  return std::sqrt(a);
}

Ext ArcCos(Ext a) {
  if (!(a >= -1 && a <= 1)) throw FloatError(kInvalidOpMessage);
  return std::acos(a);
}

float ToSingle(Ext value) {
  if (std::isnan(value)) throw FloatError(kInvalidOpMessage);
  // Round-to-nearest sends everything from halfway between the largest float
  // and 2^128 upward to infinity; test before the cast, which would be
  // undefined for a value out of range.
  constexpr Ext kFirstOverflow = 0x1.ffffffp127L;
  if (std::fabs(value) >= kFirstOverflow) throw FloatError(kOverflowMessage);
  return static_cast<float>(value);
}

int64_t Trunc(Ext value) {
  if (std::isnan(value) || value >= 9223372036854775808.0L || value < -9223372036854775808.0L)
    throw FloatError(kInvalidOpMessage);
  return static_cast<int64_t>(value);
}

}  // namespace km
