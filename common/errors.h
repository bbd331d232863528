#pragma once
// Error types of the core. Every failure the user sees is an exception whose
// what() is the exact text shown in the message box.

#include <stdexcept>
#include <string>

namespace km {

// Base of every error the core raises; the shell shows what() in a message box.
class KelError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A text that is not a decimal or whole number ("'abc' は浮動小数点数ではありません").
class ConversionError : public KelError {
 public:
  using KelError::KelError;
};

// Division by zero, invalid operation or overflow in checked arithmetic.
class FloatError : public KelError {
 public:
  using KelError::KelError;
};

// A file that cannot be created, written or read, with its path and the reason.
class FileError : public KelError {
 public:
  using KelError::KelError;
};

inline constexpr const char* kZeroDivideMessage = "0 による浮動小数点数除算";
inline constexpr const char* kInvalidOpMessage = "不正な浮動小数点数演算命令";
inline constexpr const char* kOverflowMessage = "浮動小数点数のオーバーフロー";

}  // namespace km
