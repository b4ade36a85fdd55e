#include "phonesim/TextColumns.h"

#include <vector>

namespace {

// The code point at `i` and its length in bytes; a byte of its own when malformed.
char32_t decode(const std::string& text, size_t i, size_t* length) {
  unsigned char lead = static_cast<unsigned char>(text[i]);
  size_t size = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
  if (size == 0 || i + size > text.size()) {
    *length = 1;
    return lead;
  }
  char32_t point = size == 1 ? lead : lead & (0x7f >> size);
  for (size_t k = 1; k < size; ++k) {
    unsigned char next = static_cast<unsigned char>(text[i + k]);
    if ((next >> 6) != 2) {
      *length = 1;
      return lead;
    }
    point = (point << 6) | (next & 0x3f);
  }
  *length = size;
  return point;
}

int width(char32_t c) {
  if (c < 0x20 || (c >= 0x7f && c < 0xa0)) return 0;
  if ((c >= 0x300 && c <= 0x36f) || (c >= 0x200b && c <= 0x200f) || (c >= 0xfe00 && c <= 0xfe0f) ||
      (c >= 0x1ab0 && c <= 0x1aff) || (c >= 0x20d0 && c <= 0x20ff)) {
    return 0;
  }
  const bool wide = (c >= 0x1100 && c <= 0x115f) || (c >= 0x2e80 && c <= 0x303e) || (c >= 0x3041 && c <= 0x33ff) ||
                    (c >= 0x3400 && c <= 0x4dbf) || (c >= 0x4e00 && c <= 0x9fff) || (c >= 0xa000 && c <= 0xa4cf) ||
                    (c >= 0xac00 && c <= 0xd7a3) || (c >= 0xf900 && c <= 0xfaff) || (c >= 0xfe30 && c <= 0xfe4f) ||
                    (c >= 0xff00 && c <= 0xff60) || (c >= 0xffe0 && c <= 0xffe6) || (c >= 0x1f300 && c <= 0x1f64f) ||
                    (c >= 0x1f900 && c <= 0x1f9ff) || (c >= 0x1f680 && c <= 0x1f6ff) || (c >= 0x20000 && c <= 0x3fffd);
  return wide ? 2 : 1;
}

}  // namespace

size_t displayColumns(const std::string& text) {
  size_t columns = 0;
  for (size_t i = 0, length = 0; i < text.size(); i += length) columns += width(decode(text, i, &length));
  return columns;
}

std::string fitColumns(const std::string& text, size_t columns, bool pad) {
  std::string out;
  size_t used = 0;
  const bool cut = displayColumns(text) > columns;
  const size_t room = cut && columns > 0 ? columns - 1 : columns;  // one for the "…"
  for (size_t i = 0, length = 0; i < text.size(); i += length) {
    char32_t c = decode(text, i, &length);
    if (used + width(c) > room) break;
    used += width(c);
    out += length == 1 && c >= 0x80 ? std::string("?") : text.substr(i, length);
  }
  if (cut && columns > 0) {
    out += "…";
    ++used;
  }
  if (pad && used < columns) out += std::string(columns - used, ' ');
  return out;
}
