#include "phonesim/calendar/CalendarVerdicts.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "daemon/CalendarRow.h"

namespace {

std::string verdictOf(const CalendarEntry& entry, bool timed, bool notExcluded, int calendarChoice, time_t at,
                      bool* qualifies) {
  const char* notes = entry.notes ? entry.notes->c_str() : nullptr;
  *qualifies = false;
  if (!timed) return "all-day";
  if (!notExcluded) return "!RING in notes";
  if (matchRow(calendarChoice, entry.calendar, entry.availability, notes) == CalendarMatch::None) {
    // The same row test for all calendars tells which half failed.
    return matchRow(0, entry.calendar, entry.availability, notes) != CalendarMatch::None ? "other calendar"
                                                                                          : "free and no !silent";
  }
  *qualifies = true;
  if (at < entry.start) return "not started";
  if (at > entry.end) return "ended";
  return "silences";
}

bool appendRows(sqlite3* db, const char* sql, int calendarChoice, time_t from, time_t to, time_t at,
                std::vector<CalendarEntry>* entries, std::string* error) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
    *error = sqlite3_errmsg(db);
    return false;
  }
  sqlite3_bind_int64(statement, 1, from);
  sqlite3_bind_int64(statement, 2, to);
  while (sqlite3_step(statement) == SQLITE_ROW) {
    CalendarEntry entry;
    entry.eventId = sqlite3_column_int64(statement, 0);
    entry.title = reinterpret_cast<const char*>(sqlite3_column_text(statement, 1));
    entry.start = static_cast<time_t>(sqlite3_column_int64(statement, 2));
    entry.end = static_cast<time_t>(sqlite3_column_int64(statement, 3));
    entry.calendar = sqlite3_column_int(statement, 4);
    entry.availability = sqlite3_column_int(statement, 5);
    if (const unsigned char* notes = sqlite3_column_text(statement, 6)) entry.notes = reinterpret_cast<const char*>(notes);
    entry.occurrence = sqlite3_column_int(statement, 9) != 0;
    entry.verdict = verdictOf(entry, sqlite3_column_int(statement, 7) != 0, sqlite3_column_int(statement, 8) != 0,
                              calendarChoice, at, &entry.qualifies);
    entries->push_back(std::move(entry));
  }
  sqlite3_finalize(statement);
  return true;
}

}  // namespace

std::vector<CalendarEntry> calendarEntries(sqlite3* db, const std::string& table, int calendarChoice, time_t from,
                                           time_t to, time_t at, std::string* error) {
  // Rows of the events' own dates and of the occurrence cache, with the daemon's two conditions
  // evaluated by the database as the daemon's statements evaluate them.
  char events[1024], occurrences[1024];
  std::snprintf(events, sizeof events,
                "select rowid, coalesce(summary, ''), start_date+978307200, end_date+978307200, calendar_id,"
                " availability, description, " CALENDAR_TIMED_EVENT ", " CALENDAR_NOT_EXCLUDED ", 0 from %s"
                " where end_date+978307200 >= ?1 and start_date+978307200 <= ?2",
                kExclusionPattern, table.c_str());
  std::snprintf(occurrences, sizeof occurrences,
                "select event_id, coalesce(summary, ''), occurrence_date+978307200,"
                " occurrence_date+978307200+end_date-start_date, OccurrenceCache.calendar_id, availability, description, "
                CALENDAR_TIMED_EVENT ", " CALENDAR_NOT_EXCLUDED ", 1 from OccurrenceCache, %s where event_id=rowid"
                " and occurrence_date+978307200+end_date-start_date >= ?1 and occurrence_date+978307200 <= ?2",
                kExclusionPattern, table.c_str());
  std::vector<CalendarEntry> entries;
  if (!appendRows(db, events, calendarChoice, from, to, at, &entries, error) ||
      !appendRows(db, occurrences, calendarChoice, from, to, at, &entries, error)) {
    return {};
  }
  std::stable_sort(entries.begin(), entries.end(),
                   [](const CalendarEntry& a, const CalendarEntry& b) { return a.start < b.start; });
  // The first occurrence of a recurring event is both the event's own row and a cached one:
  // one entry, the cached row.
  std::erase_if(entries, [&](const CalendarEntry& own) {
    return !own.occurrence && std::any_of(entries.begin(), entries.end(), [&](const CalendarEntry& cached) {
             return cached.occurrence && cached.eventId == own.eventId && cached.start == own.start;
           });
  });
  return entries;
}

std::string markersIn(const std::optional<std::string>& notes) {
  if (!notes) return "";
  std::string lower = *notes;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  std::string markers;
  if (notes->find("!silent") != std::string::npos) markers = "!silent";
  if (lower.find("!ring") != std::string::npos) markers += markers.empty() ? "!RING" : " !RING";
  return markers;
}
