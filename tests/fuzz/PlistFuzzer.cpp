// The property-list reader on any bytes, and the settings accessors on top of it with those
// bytes as the settings file. What the reader accepts nests no deeper than the limit (written
// out as plain XML it passes the check again); a settings dictionary that the accessors
// rewrite reads back; any other file is left as it was.
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
