#include "daemon/EventDetection.h"

#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "daemon/CalendarRow.h"
#include "daemon/DaemonState.h"
#include "platform/Foundation/NSLog.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsStore.h"

namespace {

bool fits(int written, size_t size) { return written >= 0 && static_cast<size_t>(written) < size; }

// Events whose own dates enclose now.
bool formatEventStatement(char* statement, size_t size, int32_t now) {
  int written;
  if (VersionMajor < 5) {
    written = snprintf(statement, size,
        "select datetime(start_date+978307200,'unixepoch','localtime'),datetime(%ld,'unixepoch','localtime'),description,datetime(end_date+978307200,'unixepoch','localtime'),calendar_id,availability,description from event where %d >= start_date+978307200 and %d <= end_date+978307200 and all_day = 0 and (description is null or length(description) = 0 or upper(description) not like %s) order by start_date asc",
        static_cast<long>(now), now, now, kExclusionPattern);
  } else {
    written = snprintf(statement, size,
        "select datetime(start_date+978307200,'unixepoch','localtime'),datetime(%ld,'unixepoch','localtime'),description,datetime(end_date+978307200,'unixepoch','localtime'),calendar_id,availability,description from CalendarItem where %d >= start_date+978307200 and %d <= end_date+978307200 and all_day = 0 and (description is null or length(description) = 0 or upper(description) not like %s) order by start_date asc",
        static_cast<long>(now), now, now, kExclusionPattern);
  }
  return fits(written, size);
}

// Occurrences of recurring events that enclose the database's own now.
bool formatOccurrenceStatement(char* statement, size_t size) {
  int written;
  if (VersionMajor < 5) {
    written = snprintf(statement, size,
        "select datetime(occurrence_date+978307200,'unixepoch','localtime') as o_start_date,datetime('now','localtime'),description,datetime(occurrence_date+978307200+end_date-start_date,'unixepoch','localtime') as o_end_date,OccurrenceCache.calendar_id,availability,description from OccurrenceCache,event  where event_id=rowid and datetime('now','localtime') >= o_start_date and datetime('now','localtime') <= o_end_date and all_day = 0 and (description is null or length(description) = 0 or upper(description) not like %s) order by o_start_date",
        kExclusionPattern);
  } else {
    written = snprintf(statement, size,
        "select datetime(occurrence_date+978307200,'unixepoch','localtime') as o_start_date,datetime('now','localtime'),description,datetime(occurrence_date+978307200+end_date-start_date,'unixepoch','localtime') as o_end_date,OccurrenceCache.calendar_id,availability,description from OccurrenceCache,CalendarItem  where event_id=rowid and datetime('now','localtime') >= o_start_date and datetime('now','localtime') <= o_end_date and all_day = 0 and (description is null or length(description) = 0 or upper(description) not like %s) order by o_start_date",
        kExclusionPattern);
  }
  return fits(written, size);
}

// The messages one pass logs while it tests its rows.
struct PassMessages {
  int availabilityNumber;  // the number that opens the availability line
  const char* foundInAllCalendars;
  const char* foundInChosenCalendar;
  const char* checkNext;
};

// Steps through the rows and stops at the first that qualifies.
bool findQualifyingRow(sqlite3_stmt* statement, int32_t calendarId, const PassMessages& messages) {
  while (sqlite3_step(statement) == SQLITE_ROW) {
    int rowCalendar = sqlite3_column_int(statement, 4);
    int availability = sqlite3_column_int(statement, 5);
    const char* description = reinterpret_cast<const char*>(sqlite3_column_text(statement, 6));
    NSLog("%d. availability = %d", messages.availabilityNumber, availability);
    switch (matchRow(calendarId, rowCalendar, availability, description)) {
      case CalendarMatch::AllCalendars:
        NSLog("%s", messages.foundInAllCalendars);
        return true;
      case CalendarMatch::ChosenCalendar:
        NSLog("%s", messages.foundInChosenCalendar);
        return true;
      case CalendarMatch::None:
        NSLog("%s", messages.checkNext);
        break;
    }
  }
  return false;
}

}  // namespace

bool runningEvent() {
  int32_t calendarId = 0;
  readPlistNumber(kCalendarID, &calendarId);
  NSLog("Global Calendar ID: %d", calendarId);

  NSLog("Opening calendar DB");
  const char* openError = nullptr;
  sqlite3* db = openCalendarDatabase(&openError);
  if (db == nullptr) {
    printf("%s\n", openError);
    return false;
  }
  NSLog("Celendar DB was opened successfully");
  int32_t now = static_cast<int32_t>(time(nullptr));

  bool found = false;
  char statement[2048];
  memset(statement, 0, sizeof statement);
  sqlite3_stmt* compiled = nullptr;
  if (!formatEventStatement(statement, sizeof statement, now) ||
      sqlite3_prepare_v2(db, statement, -1, &compiled, nullptr) != SQLITE_OK) {
    NSLog("Error1 in prepare statement");
    printf("%s\n", sqlite3_errmsg(db));
  } else {
    found = findQualifyingRow(compiled, calendarId,
                              {3, "*** Found event1",
                               "***** Found event1 in defined calendar",
                               "Check for additional events"});
  }
  sqlite3_finalize(compiled);

  if (!found) {
    memset(statement, 0, sizeof statement);
    compiled = nullptr;
    if (!formatOccurrenceStatement(statement, sizeof statement) ||
        sqlite3_prepare_v2(db, statement, -1, &compiled, nullptr) != SQLITE_OK) {
      NSLog("Error2 in prepare statement (cache)");
      printf("%s\n", sqlite3_errmsg(db));
    } else {
      found = findQualifyingRow(compiled, calendarId,
                                {4, "**** Found event2",
                                 "*** Found event2 in calendar", "Check for additional events2"});
    }
    sqlite3_finalize(compiled);
  }

  sqlite3_close(db);
  return found;
}
