// The iCalendar importer on any input: the whole-file checks, and for a text they pass, libical's
// parse and the expansion of every rule within a year's window. Nothing may crash, trip the
// sanitizers or take long.
#include <string>

#include "phonesim/calendar/ImportPlan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (!calendarTextFault(text).empty()) return 0;
  const time_t from = 1796083200;  // 2026-12-01 UTC
  planImport(text, {from, from + 365 * 86400}, "Europe/Berlin");
  return 0;
}
