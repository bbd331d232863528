#include "export/csv_writer.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace km {
namespace {

// Appends value as "%-9.3f" would print it.
char* PutCoordinate(char* p, float value) {
  const auto res = std::to_chars(p, p + 64, static_cast<double>(value), std::chars_format::fixed, 3);
  char* end = res.ptr;
  while (end - p < 9) *end++ = ' ';
  return end;
}

char* PutText(char* p, const char* text) {
  const size_t n = std::strlen(text);
  std::memcpy(p, text, n);
  return p + n;
}

}  // namespace

void WriteRawCsv(std::ostream& out, const PointCloudStore& store, int frameCounter) {
  const int lastProfile = std::min(frameCounter, PointCloudStore::MaxProfiles - 1);
  std::string buffer;
  buffer.reserve(1 << 16);
  char line[512];
  for (int p = 0; p <= lastProfile; ++p) {
    const int lastPoint = std::min(store.lastIndex[p], PointCloudStore::MaxPoints - 1);
    for (int k = 0; k <= lastPoint; ++k) {
      char* q = line;
      *q++ = ' ';
      q = PutCoordinate(q, store.X(k, p));
      q = PutText(q, ", ");
      q = PutCoordinate(q, -store.Y(k, p));
      q = PutText(q, ", ");
      q = PutCoordinate(q, -store.Z(k, p));
      q = PutText(q, ", ");
      q = std::to_chars(q, q + 16, k).ptr;
      q = PutText(q, ", ");
      q = std::to_chars(q, q + 16, p).ptr;
      q = PutText(q, "\r\n");
      buffer.append(line, q);
      if (buffer.size() > (1 << 16) - sizeof line) {
        out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        buffer.clear();
      }
    }
  }
  out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
}

}  // namespace km
