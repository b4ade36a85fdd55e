// The escaping of text for the terminal and for XML on any bytes: no control byte gets
// through, the result is UTF-8, and a clip keeps to its columns.
#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>

#include "phonesim/text/PrintableText.h"

namespace {

bool isUtf8(const std::string& text) {
  try {
    (void)nlohmann::json(text).dump();
    return true;
  } catch (const nlohmann::json::exception&) {
    return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string shown = terminalText(text);
  for (unsigned char c : shown) if (c < 0x20 || c == 0x7F) std::abort();
  if (!isUtf8(shown) || terminalText(shown) != shown) std::abort();
  const int width = size > 0 ? data[0] % 40 : 0;
  if (columns(clipColumns(text, width)) > width || columns(fitColumns(text, width)) != width) std::abort();
  const std::string xml = xmlText(text);
  if (!isUtf8(xml) || xml.find_first_of("<>\"\n") != std::string::npos) std::abort();
  return 0;
}
