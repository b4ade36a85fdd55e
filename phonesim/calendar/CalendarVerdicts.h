#pragma once
// The phone's events and occurrences over a span, each with the daemon's verdict at a moment.
// The verdicts come from the daemon's own conditions on rows and its row test, not a copy.
#include <sqlite3.h>

#include <ctime>
#include <optional>
#include <string>
#include <vector>

struct CalendarEntry {
  long long eventId = 0;
  bool occurrence = false;  // a row of OccurrenceCache, not the event's own dates
  std::string title;
  time_t start = 0;
  time_t end = 0;
  int calendar = 0;
  int availability = 0;
  std::optional<std::string> notes;
  bool qualifies = false;  // the daemon counts it, whatever the moment
  // "silences", or why not: "all-day", "!RING in notes", "other calendar",
  // "free and no !silent", "not started", "ended".
  std::string verdict;
};

// The entries of `table` ("event" or "CalendarItem") that overlap [from, to], by start, one per
// occurrence, judged
// at `at` with the watched calendar `calendarChoice` (0: all). Empty when the calendar cannot be
// read; `error` then says why.
std::vector<CalendarEntry> calendarEntries(sqlite3* db, const std::string& table, int calendarChoice, time_t from,
                                           time_t to, time_t at, std::string* error);

// The markers that the notes carry, for a reader: "!silent" as written, "!RING" in any case.
std::string markersIn(const std::optional<std::string>& notes);
