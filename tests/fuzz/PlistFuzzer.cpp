// The property-list reader and the settings accessors on any bytes: what the reader accepts nests
// no deeper than the limit; a settings dictionary rewritten reads back; any other file stays.
#include <cstdlib>

#include "platform/Foundation/PlistNesting.h"
#include "settings-store/SettingsStore.h"
#include "tests/support/Phone.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Phone phone{"", true};
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  PlistPtr list = propertyListFromData(bytes);
  char* xml = nullptr;
  uint32_t length = 0;
  if (list) plist_to_xml(list.get(), &xml, &length);
  if (xml && !nestingWithinLimit(std::string_view(xml, length))) std::abort();
  std::free(xml);

  phone.write(kSettingsPath, bytes);
  bool flag = false;
  int32_t number = 0;
  readPlistBool(kEnabledSwitch, &flag);
  std::free(readPlistString(kSavedRingtone));
  updatePlistString(kUpdated, "2026-12-07 09:00:00");
  updatePlistNumber(kCalendarID, 2);
  bool rewritten = PLIST_IS_DICT(list.get());
  if (rewritten ? !readPlistNumber(kCalendarID, &number) || number != 2 : phone.read(kSettingsPath) != bytes) std::abort();
  return 0;
}
