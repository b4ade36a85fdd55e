#pragma once
// Test support for the daemon: a calendar database built by the test, settings files, and the
// clock (libfaketime, moved from inside the process).
#include <sqlite3.h>

#include <ctime>
#include <optional>
#include <string>
#include <vector>

// Time zone every daemon test runs in (east of UTC, so local and UTC texts differ).
constexpr const char* kTestTimeZone = "CET-1";
constexpr const char* kFakeTimeLibrary = "/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1";

// Unix seconds of a local time "YYYY-MM-DD HH:MM:SS" in kTestTimeZone.
time_t localTime(const char* text);

// Re-executes the running test binary under libfaketime with the clock frozen at 09:00:00 on
// 2026-12-07 (local); returns only in the re-executed process. setFakeNow then moves the clock.
void reexecUnderFakeClock(char** argv);
// Lets a sanitizer build run with libfaketime preloaded (for this process's children too).
void allowPreloadBeforeSanitizer();
// Freezes this process's clock at a local time "YYYY-MM-DD HH:MM:SS".
void setFakeNow(const char* localText);

struct CalendarEvent {
  std::string start = {};  // local time "YYYY-MM-DD HH:MM:SS"
  std::string end = {};
  int calendar = 1;
  int availability = 0;
  std::optional<std::string> notes = std::nullopt;
  bool allDay = false;
  // Occurrences in OccurrenceCache, at these local start times.
  std::vector<std::string> occurrences = {};
};

// A calendar database under a device root, with the tables the daemon reads.
class CalendarDatabase {
 public:
  // `table` is "CalendarItem" or "event".
  CalendarDatabase(const std::string& realPath, const char* table = "CalendarItem");
  ~CalendarDatabase();
  // Returns the event's row id.
  long long add(const CalendarEvent& event);

 private:
  sqlite3* db_ = nullptr;
  std::string table_;
};

// Phone path of the calendar database.
constexpr const char* kTestCalendarPath = "/private/var/mobile/Library/Calendar/Calendar.sqlitedb";
