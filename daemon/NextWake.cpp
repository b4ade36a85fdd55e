#include "daemon/NextWake.h"

#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "daemon/CalendarRow.h"
#include "daemon/DaemonState.h"
#include "platform/AppSupport/CPWake.h"
#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/NSDate.h"
#include "platform/Foundation/NSLog.h"
#include "platform/Foundation/NSMutableDictionary.h"
#include "platform/Foundation/PropertyList.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsStore.h"

namespace {

bool fits(int written, size_t size) { return written >= 0 && static_cast<size_t>(written) < size; }

// Events that start (or, in an event, end) at or after now.
bool formatOneOffStatement(char* statement, size_t size, bool inEvent, long long now) {
  int written;
  if (!inEvent && VersionMajor < 5) {
    written = snprintf(statement, size,
        "select datetime(start_date+978307200,'unixepoch','localtime'),start_date+978307200,calendar_id,availability,description from event where %lld <= start_date+978307200 and " CALENDAR_QUALIFYING_ROWS " order by start_date asc",
        now, kExclusionPattern);
  } else if (!inEvent) {
    written = snprintf(statement, size,
        "select datetime(start_date+978307200,'unixepoch','localtime'),start_date+978307200,calendar_id,availability,description from CalendarItem where %lld <= start_date+978307200 and " CALENDAR_QUALIFYING_ROWS " order by start_date asc",
        now, kExclusionPattern);
  } else if (VersionMajor < 5) {
    written = snprintf(statement, size,
        "select datetime(end_date+978307200,'unixepoch','localtime'),end_date+978307200,calendar_id,availability,description from event where %lld <= end_date+978307200 and " CALENDAR_QUALIFYING_ROWS " order by end_date asc",
        now, kExclusionPattern);
  } else {
    written = snprintf(statement, size,
        "select datetime(end_date+978307200,'unixepoch','localtime'),end_date+978307200,calendar_id,availability,description from CalendarItem where %lld <= end_date+978307200 and " CALENDAR_QUALIFYING_ROWS " order by end_date asc",
        now, kExclusionPattern);
  }
  return fits(written, size);
}

// Occurrences of recurring events that start (or, in an event, end) at or after now. The
// moments are compared and ordered as instants, not as local-time texts: in the hour that the
// autumn clock change repeats, the texts would put a passed moment ahead.
bool formatRecurringStatement(char* statement, size_t size, bool inEvent, long long now) {
  int written;
  if (!inEvent && VersionMajor < 5) {
    written = snprintf(statement, size,
        "select datetime(occurrence_date+978307200,'unixepoch','localtime') as o_start_date,occurrence_date+978307200,OccurrenceCache.calendar_id,availability,description from OccurrenceCache,event  where event_id=rowid and %lld <= occurrence_date+978307200 and " CALENDAR_QUALIFYING_ROWS " order by occurrence_date asc",
        now, kExclusionPattern);
  } else if (!inEvent) {
    written = snprintf(statement, size,
        "select datetime(occurrence_date+978307200,'unixepoch','localtime') as o_start_date,occurrence_date+978307200,OccurrenceCache.calendar_id,availability,description from OccurrenceCache,CalendarItem  where event_id=rowid and %lld <= occurrence_date+978307200 and " CALENDAR_QUALIFYING_ROWS " order by occurrence_date asc",
        now, kExclusionPattern);
  } else if (VersionMajor < 5) {
    written = snprintf(statement, size,
        "select datetime(occurrence_date+978307200+end_date-start_date,'unixepoch','localtime') as o_end_date,occurrence_date+978307200+end_date-start_date,OccurrenceCache.calendar_id,availability,description from OccurrenceCache,event  where event_id=rowid and %lld <= occurrence_date+978307200+end_date-start_date and " CALENDAR_QUALIFYING_ROWS " order by occurrence_date+end_date-start_date asc",
        now, kExclusionPattern);
  } else {
    written = snprintf(statement, size,
        "select datetime(occurrence_date+978307200+end_date-start_date,'unixepoch','localtime') as o_end_date,occurrence_date+978307200+end_date-start_date,OccurrenceCache.calendar_id,availability,description from OccurrenceCache,CalendarItem  where event_id=rowid and %lld <= occurrence_date+978307200+end_date-start_date and " CALENDAR_QUALIFYING_ROWS " order by occurrence_date+end_date-start_date asc",
        now, kExclusionPattern);
  }
  return fits(written, size);
}

// A possible next wake: the moment in Unix seconds (0: none) and its local-time text.
struct Candidate {
  time_t time = 0;
  std::string text;
};

std::string columnText(sqlite3_stmt* statement, int column) {
  const unsigned char* text = sqlite3_column_text(statement, column);
  return text != nullptr ? reinterpret_cast<const char*>(text) : "";
}

// Finalizes a prepared statement however its scope is left, an exception included, so that
// the database can still be closed.
struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using PreparedStatement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

CalendarMatch matchCurrentRow(sqlite3_stmt* statement, int32_t calendarId, int* availability) {
  int rowCalendar = sqlite3_column_int(statement, 2);
  *availability = sqlite3_column_int(statement, 3);
  const char* description = reinterpret_cast<const char*>(sqlite3_column_text(statement, 4));
  return matchRow(calendarId, rowCalendar, *availability, description);
}

// Prepares `statement`; on failure logs "`failure`: " with the database's message, prints the
// message, and tells the pass when a writer held the database (calendarBusy).
PreparedStatement prepare(sqlite3* db, const char* statement, bool formatted, const char* failure) {
  sqlite3_stmt* prepared = nullptr;
  int result = formatted ? sqlite3_prepare_v2(db, statement, -1, &prepared, nullptr) : SQLITE_ERROR;
  if (result == SQLITE_OK) return PreparedStatement(prepared);
  NSLog("%s: %s", failure, sqlite3_errmsg(db));
  printf("%s\n", sqlite3_errmsg(db));
  calendarWasBusy(db, result);
  sqlite3_finalize(prepared);
  return nullptr;
}

Candidate findOneOffCandidate(sqlite3* db, int32_t calendarId, bool inEvent, long long now) {
  Candidate candidate;
  char statement[2048];
  memset(statement, 0, sizeof statement);
  bool formatted = formatOneOffStatement(statement, sizeof statement, inEvent, now);
  NSLog(">>>Running statement");
  PreparedStatement compiled = prepare(db, statement, formatted, "Error11 in prepare statement");
  if (!compiled) return candidate;
  int stepped;
  while ((stepped = sqlite3_step(compiled.get())) == SQLITE_ROW) {
    int availability = 0;
    CalendarMatch match = matchCurrentRow(compiled.get(), calendarId, &availability);
    NSLog("Found event");
    NSLog("1. availability = %d", availability);
    if (match == CalendarMatch::None) {
      NSLog("Looking for additional events");
      continue;
    }
    NSLog(match == CalendarMatch::AllCalendars ? "*** Found next wake 1"
                                               : "*** Found next wake 1 in calendar");
    candidate.text = columnText(compiled.get(), 0);
    candidate.time = sqlite3_column_int64(compiled.get(), 1);
    printf("Next wake1: %s\n", candidate.text.c_str());
    updatePlistString(kUpdatedNextWait1Found, candidate.text.c_str());
    break;
  }
  calendarWasBusy(db, stepped);
  return candidate;
}

Candidate findRecurringCandidate(sqlite3* db, int32_t calendarId, bool inEvent, long long now) {
  Candidate candidate;
  char statement[2048];
  memset(statement, 0, sizeof statement);
  bool formatted = formatRecurringStatement(statement, sizeof statement, inEvent, now);
  NSLog(">>>Running recurring statement");
  PreparedStatement compiled = prepare(db, statement, formatted, "Error22 in prepare statement (cache)");
  if (!compiled) return candidate;
  int stepped;
  while ((stepped = sqlite3_step(compiled.get())) == SQLITE_ROW) {
    NSLog("Found recurrence events");
    int availability = 0;
    CalendarMatch match = matchCurrentRow(compiled.get(), calendarId, &availability);
    NSLog("2. availability = %d", availability);
    if (match == CalendarMatch::None) {
      NSLog("Checking for additional events");
      continue;
    }
    NSLog(match == CalendarMatch::AllCalendars ? "*** Found next wake 2"
                                               : "*** Found next wake 2 in calendar");
    candidate.time = sqlite3_column_int64(compiled.get(), 1);
    candidate.text = columnText(compiled.get(), 0);
    printf("Date = %s long = %lld\n", candidate.text.c_str(), static_cast<long long>(candidate.time));
    break;
  }
  calendarWasBusy(db, stepped);
  return candidate;
}

// The earlier of the one-off and the recurring candidate; the one-off one on a tie.
Candidate nextBoundary(sqlite3* db, int32_t calendarId, bool inEvent, long long now) {
  Candidate result = findOneOffCandidate(db, calendarId, inEvent, now);
  if (calendarBusy) return result;
  NSLog("Check in occurrence_date");
  Candidate recurring = findRecurringCandidate(db, calendarId, inEvent, now);
  if (recurring.time != 0 && (result.time == 0 || recurring.time < result.time)) {
    result = recurring;
    updatePlistString(kUpdatedNextWait2Found, result.text.c_str());
    printf("Next wake2: %s\n", result.text.c_str());
  }
  return result;
}

}  // namespace

time_t getWakeUpDate(time_t now, bool alsoNextStart) {
  NSLog("Get next wake date");
  NSLog("<NSObject: %p>", static_cast<void*>(&lockObject));
  // The lock was reported already in this pass: the queries would only wait it out again.
  if (calendarBusy) return 0;
  int32_t calendarId = 0;
  readPlistNumber(kCalendarID, &calendarId);

  Candidate result;
  {
    // Held until the database is closed, also when an exception passes through.
    std::lock_guard<std::recursive_mutex> guard(lockObject);
    NSLog("Opening calendar DB to get next wake");
    const char* openError = nullptr;
    sqlite3* db = openCalendarDatabase(&openError);
    if (db == nullptr) {
      printf("%s\n", openError);
      NSLog("Error in DB11: %s", openError);
    } else {
      NSLog("Calendar DB was opened successfully");
      bool inEvent = middleOfEvent;
      try {
        // A start at now is one this pass has seen already. Looked for first, so that the stamps
        // name the end when there is one.
        Candidate start;
        if (inEvent && alsoNextStart) start = nextBoundary(db, calendarId, false, static_cast<long long>(now) + 1);
        if (!calendarBusy) result = nextBoundary(db, calendarId, inEvent, now);
        if (start.time != 0 && (result.time == 0 || start.time < result.time)) result = start;
      } catch (...) {
        sqlite3_close(db);
        throw;
      }
      sqlite3_close(db);
    }
  }
  NSLog("Next wake check completed");
  return calendarBusy ? 0 : result.time;
}

void updateNextWake(time_t date) {
  NSLog("Update next wake time");
  // A missing file reads as no data, which the parser then reports.
  std::string data;
  readWholeFile(devicePath(kAutoWakePath), &data);
  std::string error;
  PlistPtr schedule = propertyListFromData(data, &error);
  if (!schedule) {
    NSLog("Failed to read dict %s", error.c_str());
    return;
  }

  // The list read above is a snapshot: cancelling does not disturb the walk.
  plist_t wakes = plist_get_node_type(schedule.get()) == PLIST_DICT
                      ? plist_dict_get_item(schedule.get(), "wake")
                      : nullptr;
  uint32_t count = wakes != nullptr && plist_get_node_type(wakes) == PLIST_ARRAY
                       ? plist_array_get_size(wakes)
                       : 0;
  for (uint32_t index = 0; index < count; ++index) {
    plist_t item = plist_array_get_item(wakes, index);
    if (item == nullptr || plist_get_node_type(item) != PLIST_DICT) continue;
    NSMutableDictionary wake{PlistPtr(plist_copy(item))};
    std::optional<std::string> scheduledBy = wake.stringForKey("scheduledby");
    std::optional<time_t> time = wake.dateForKey("time");
    if (scheduledBy != kWakeIdentifier || !time) continue;
    NSLog("Cancelling previous wake at %s", dateDescription(*time).c_str());
    CPCancelWakeAtDateWithIdentifier(*time, kWakeIdentifier);
  }

  CPScheduleWakeAtDateWithIdentifier(date, kWakeIdentifier);
  std::string description = dateDescription(date);
  NSLog("%s", description.c_str());
  updatePlistString(kUpdatedAutoWake, description.c_str());
}
