#pragma once
// Buffered text output for the model writers. Numbers are formatted by hand
// (never through printf or a stream's locale), so every file reads the same
// whatever locale the process runs in.

#include <cstdint>
#include <ostream>
#include <string_view>

namespace km {

class TextOutput {
 public:
  explicit TextOutput(std::ostream& out) : out_(out) {}
  ~TextOutput() { Flush(); }
  TextOutput(const TextOutput&) = delete;
  TextOutput& operator=(const TextOutput&) = delete;

  void Text(std::string_view text);
  // Line end of every model file: CR LF.
  void EndLine() { Text("\r\n"); }
  // printf "%-W.Df": fixed point with `decimals` decimals, rounded exactly
  // (ties to even, as glibc), left-justified and padded with spaces to at
  // least minWidth characters. Negative zero keeps its sign ("-0.0000").
  void Fixed(double value, int decimals, int minWidth = 0);
  // printf "%-Wd".
  void Whole(int64_t value, int minWidth = 0);
  // Hands everything buffered to the stream.
  void Flush();

 private:
  static constexpr size_t kCapacity = 1 << 16;
  // Room that a single field may need (a float's fixed text is < 60 chars).
  static constexpr size_t kFieldRoom = 400;
  void MakeRoom(size_t n) {
    if (used_ + n > kCapacity) Flush();
  }
  void Pad(size_t written, int minWidth);

  std::ostream& out_;
  size_t used_ = 0;
  char buffer_[kCapacity];
};

}  // namespace km
