#pragma once
// An iCalendar file turned into the rows the phone's calendar keeps: one row per event, and for
// a recurring one the starts of its occurrences within a window. Nothing here touches the
// database, so the same plan serves `import`, `import --dry-run` and the fuzz target.
#include <ctime>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct ImportWindow {
  time_t from = 0;
  time_t to = 0;
};

struct ImportedEvent {
  std::string uid;
  std::string summary;
  std::optional<std::string> description;
  time_t start = 0;  // the first occurrence for a recurring event
  time_t end = 0;
  bool allDay = false;
  int availability = 0;  // 0 busy, 1 free
  std::vector<time_t> occurrences;  // starts, ascending; empty for a one-off event
};

struct ImportPlan {
  std::string calendarName;  // X-WR-CALNAME, "" when the file names none
  std::vector<ImportedEvent> events;
  std::vector<std::string> skipped;  // one line per component left out, saying why (raw text)
  std::set<std::string> uids;        // every event UID of the file, imported or not
  size_t occurrences() const;
};

// Why `text` cannot be read as an iCalendar file at all (binary, invalid UTF-8, nested too
// deep, truncated, not a calendar), or "" when it can. The reason may quote the file: escape
// it for a terminal.
std::string calendarTextFault(const std::string& text);

// The plan for a text that calendarTextFault() accepts. Floating times are read in
// `floatingZone` (an Olson name) unless the file names its own zone in X-WR-TIMEZONE.
ImportPlan planImport(const std::string& text, ImportWindow window, const std::string& floatingZone);
