// The plist-to-JSON walk of `phonesim status` on whatever the reader makes of any bytes: it
// never crashes, and the JSON it prints parses back.
#include <cstdlib>

#include "phonesim/text/PlistJson.h"
#include "platform/Foundation/PropertyList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PlistPtr list = propertyListFromData(std::string(reinterpret_cast<const char*>(data), size));
  if (!list) return 0;
  std::string text = jsonFromPlist(list.get()).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  if (!nlohmann::ordered_json::accept(text)) std::abort();
  return 0;
}
