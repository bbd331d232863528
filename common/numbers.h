#pragma once
// Number texts and checked extended-precision arithmetic.
//
// Every conversion here is locale independent: the decimal point is always
// ".", whatever LC_NUMERIC or the global C++ locale say.

#include <cstdint>
#include <string>
#include <string_view>

namespace km {

using Ext = long double;  // x87 80-bit extended precision

// Decimal conversion of a text. Leading and trailing blanks are ignored;
// accepts an optional sign, digits with an optional "." and an optional
// exponent ("1.5E-6"). Throws ConversionError "'%s' は浮動小数点数ではありません"
// for anything else, including a value outside the extended range.
Ext ParseDecimal(std::string_view text);

// Whole-number conversion of a text to a 32-bit signed integer. Leading
// blanks are allowed, nothing after the digits. Throws ConversionError
// "'%s' は整数ではありません" for anything else, including out-of-range values.
int32_t ParseWhole(std::string_view text);

// General number text: at most 15 significant digits, trailing zeros and a
// trailing point dropped; fixed notation when 0.00001 <= |v| and the integer
// part has at most 15 digits, otherwise scientific ("1.5E-6", "1E20").
// Zero is "0". A float argument is widened exactly, so the float nearest to
// 1.8 gives "1.79999995231628".
std::string GeneralNumberText(Ext value);

// Whole number text: decimal digits, "-" when negative.
std::string WholeNumberText(int64_t value);

// printf-style "%f" (six decimals) and "%-10.4f"-like fixed formatting,
// always with "." as decimal point.
std::string FixedText(double value, int decimals);

// Checked arithmetic in extended precision. Division by zero raises
// FloatError(kZeroDivideMessage), 0/0 and other invalid operations raise
// FloatError(kInvalidOpMessage), a result out of range raises
// FloatError(kOverflowMessage).
Ext CheckedResult(Ext value);  // throws for NaN / infinity
Ext Add(Ext a, Ext b);
Ext Sub(Ext a, Ext b);
Ext Mul(Ext a, Ext b);
Ext Div(Ext a, Ext b);
Ext Sqrt(Ext a);   // negative argument: invalid operation
Ext ArcCos(Ext a); // |a| > 1: invalid operation

// Narrowing to single precision; a value outside float's range raises the
// overflow error, NaN the invalid-operation error.
float ToSingle(Ext value);

// Conversion of a real to an integer by truncation toward zero; a value that
// does not fit in 64 bits raises the invalid-operation error.
int64_t Trunc(Ext value);

}  // namespace km
