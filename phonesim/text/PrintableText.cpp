#include "phonesim/text/PrintableText.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD
constexpr char kEllipsis[] = "\xE2\x80\xA6";      // U+2026, one column

// The character at `at`: its code point and its length in bytes; length 0 for a byte that
// starts no well-formed UTF-8 sequence (overlong forms, surrogates and values past U+10FFFF
// included).
size_t decode(const std::string& text, size_t at, char32_t* character) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char first = byte(at);
  if (first < 0x80) {
    *character = first;
    return 1;
  }
  size_t length = first >= 0xC2 && first <= 0xDF ? 2 : first >= 0xE0 && first <= 0xEF ? 3 : first >= 0xF0 && first <= 0xF4 ? 4 : 0;
  if (length == 0 || at + length > text.size()) return 0;
  char32_t value = first & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(at + i) & 0x3F);
  }
  const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < least[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *character = value;
  return length;
}

bool isNoncharacter(char32_t c) { return (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE; }

// Characters that would move the cursor, end the line or turn the text around.
bool isUnprintable(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2066 && c <= 0x2069) || isNoncharacter(c);
}

bool isCombining(char32_t c) {
  return (c >= 0x0300 && c <= 0x036F) || (c >= 0x1AB0 && c <= 0x1AFF) || (c >= 0x1DC0 && c <= 0x1DFF) ||
         (c >= 0x20D0 && c <= 0x20FF) || (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xFE20 && c <= 0xFE2F) ||
         c == 0x200B || c == 0x200C || c == 0x200D || (c >= 0xE0100 && c <= 0xE01EF);
}

// East Asian wide and fullwidth characters, and emoji shown as pictures.
bool isWide(char32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
         (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
         (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
         (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x1FA70 && c <= 0x1FAFF) || (c >= 0x1F680 && c <= 0x1F6FF) ||
         (c >= 0x20000 && c <= 0x3FFFD);
}

int width(char32_t c) { return isCombining(c) ? 0 : isWide(c) ? 2 : 1; }

}  // namespace

std::string terminalText(const std::string& text) {
  std::string shown;
  shown.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    char32_t character = 0;
    size_t length = decode(text, at, &character);
    char escaped[16];
    if (length == 0) {
      std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(text[at]));
      shown += escaped;
      ++at;
      continue;
    }
    if (character == '\n' || character == '\t' || character == '\r') {
      shown += character == '\n' ? "\\n" : character == '\t' ? "\\t" : "\\r";
    } else if (character < 0x20 || character == 0x7F) {
      std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned>(character));
      shown += escaped;
    } else if (isUnprintable(character)) {
      std::snprintf(escaped, sizeof escaped, "\\u{%04X}", static_cast<unsigned>(character));
      shown += escaped;
    } else {
      shown.append(text, at, length);
    }
    at += length;
  }
  return shown;
}

int columns(const std::string& text) {
  const std::string shown = terminalText(text);
  int taken = 0;
  for (size_t at = 0; at < shown.size();) {
    char32_t character = 0;
    at += decode(shown, at, &character);
    taken += width(character);
  }
  return taken;
}

std::string clipColumns(const std::string& text, int wanted) {
  const std::string shown = terminalText(text);
  if (columns(shown) <= wanted) return shown;
  // Room for the ellipsis; a combining mark stays with the character before it.
  std::string kept;
  int taken = 0;
  for (size_t at = 0; at < shown.size();) {
    char32_t character = 0;
    size_t length = decode(shown, at, &character);
    if (taken + width(character) > wanted - 1) break;
    taken += width(character);
    kept.append(shown, at, length);
    at += length;
  }
  return wanted > 0 ? kept + kEllipsis : "";
}

std::string fitColumns(const std::string& text, int wanted) {
  std::string clipped = clipColumns(text, wanted);
  return clipped + std::string(static_cast<size_t>(std::max(0, wanted - columns(clipped))), ' ');
}

std::string xmlText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    char32_t character = 0;
    size_t length = decode(text, at, &character);
    if (length == 0) {
      out += kReplacement;
      ++at;
      continue;
    }
    switch (character) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      case '\t': case '\n': case '\r': out += ' '; break;
      default:
        if (character < 0x20 || character == 0xFFFE || character == 0xFFFF) {
          out += kReplacement;
        } else {
          out.append(text, at, length);
        }
    }
    at += length;
  }
  return out;
}
