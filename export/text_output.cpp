#include "export/text_output.h"

#include <charconv>
#include <cstring>

namespace km {

void TextOutput::Text(std::string_view text) {
  if (text.size() > kCapacity - used_) {
    Flush();
    if (text.size() > kCapacity) {
      out_.write(text.data(), static_cast<std::streamsize>(text.size()));
      return;
    }
  }
  std::memcpy(buffer_ + used_, text.data(), text.size());
  used_ += text.size();
}

void TextOutput::Pad(size_t written, int minWidth) {
  if (written < static_cast<size_t>(minWidth)) {
    const size_t n = static_cast<size_t>(minWidth) - written;
    MakeRoom(n);
    std::memset(buffer_ + used_, ' ', n);
    used_ += n;
  }
}

void TextOutput::Fixed(double value, int decimals, int minWidth) {
  MakeRoom(kFieldRoom);
  const auto res =
      std::to_chars(buffer_ + used_, buffer_ + kCapacity, value, std::chars_format::fixed, decimals);
  const size_t written = static_cast<size_t>(res.ptr - (buffer_ + used_));
  used_ += written;
  Pad(written, minWidth);
}

void TextOutput::Whole(int64_t value, int minWidth) {
  MakeRoom(32);
  const auto res = std::to_chars(buffer_ + used_, buffer_ + kCapacity, value);
  const size_t written = static_cast<size_t>(res.ptr - (buffer_ + used_));
  used_ += written;
  Pad(written, minWidth);
}

void TextOutput::Flush() {
  if (used_ == 0) return;
  out_.write(buffer_, static_cast<std::streamsize>(used_));
  used_ = 0;
}

}  // namespace km
