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

// Events whose own dates enclose now. `startedSince` is inserted before the row conditions: empty,
// or a further condition of its own ending in " and ".
bool formatEventStatement(char* statement, size_t size, long long now, const char* startedSince) {
  int written;
  if (VersionMajor < 5) {
    written = snprintf(statement, size,
        "select datetime(start_date+978307200,'unixepoch','localtime'),datetime(%lld,'unixepoch','localtime'),description,datetime(end_date+978307200,'unixepoch','localtime'),calendar_id,availability,description from event where %lld >= start_date+978307200 and %lld <= end_date+978307200 and %s" CALENDAR_QUALIFYING_ROWS " order by start_date asc",
        now, now, now, startedSince, kExclusionPattern);
  } else {
    written = snprintf(statement, size,
        "select datetime(start_date+978307200,'unixepoch','localtime'),datetime(%lld,'unixepoch','localtime'),description,datetime(end_date+978307200,'unixepoch','localtime'),calendar_id,availability,description from CalendarItem where %lld >= start_date+978307200 and %lld <= end_date+978307200 and %s" CALENDAR_QUALIFYING_ROWS " order by start_date asc",
        now, now, now, startedSince, kExclusionPattern);
  }
  return fits(written, size);
}

// Occurrences of recurring events that enclose now. The moments are compared as instants, not as
// local-time texts: in the hour that the autumn clock change repeats, the texts would put an
// occurrence that has ended back in progress.
bool formatOccurrenceStatement(char* statement, size_t size, long long now, const char* startedSince) {
  int written;
  if (VersionMajor < 5) {
    written = snprintf(statement, size,
        "select datetime(occurrence_date+978307200,'unixepoch','localtime') as o_start_date,datetime(%lld,'unixepoch','localtime'),description,datetime(occurrence_date+978307200+end_date-start_date,'unixepoch','localtime') as o_end_date,OccurrenceCache.calendar_id,availability,description from OccurrenceCache,event  where event_id=rowid and %lld >= occurrence_date+978307200 and %lld <= occurrence_date+978307200+end_date-start_date and %s" CALENDAR_QUALIFYING_ROWS " order by occurrence_date",
        now, now, now, startedSince, kExclusionPattern);
  } else {
    written = snprintf(statement, size,
        "select datetime(occurrence_date+978307200,'unixepoch','localtime') as o_start_date,datetime(%lld,'unixepoch','localtime'),description,datetime(occurrence_date+978307200+end_date-start_date,'unixepoch','localtime') as o_end_date,OccurrenceCache.calendar_id,availability,description from OccurrenceCache,CalendarItem  where event_id=rowid and %lld >= occurrence_date+978307200 and %lld <= occurrence_date+978307200+end_date-start_date and %s" CALENDAR_QUALIFYING_ROWS " order by occurrence_date",
        now, now, now, startedSince, kExclusionPattern);
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

// Steps through the rows and stops at the first that qualifies. A calendar that a writer keeps
// locked halfway through is no answer (calendarBusy).
bool findQualifyingRow(sqlite3* db, sqlite3_stmt* statement, int32_t calendarId, const PassMessages& messages) {
  int stepped;
  while ((stepped = sqlite3_step(statement)) == SQLITE_ROW) {
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
  calendarWasBusy(db, stepped);
  return false;
}

// Prepares `statement`; on failure logs `failure` and the database's message, and tells the pass
// when a writer held the database (calendarBusy).
sqlite3_stmt* prepare(sqlite3* db, const char* statement, bool formatted, const char* failure) {
  sqlite3_stmt* compiled = nullptr;
  int result = formatted ? sqlite3_prepare_v2(db, statement, -1, &compiled, nullptr) : SQLITE_ERROR;
  if (result == SQLITE_OK) return compiled;
  NSLog("%s", failure);
  printf("%s\n", sqlite3_errmsg(db));
  calendarWasBusy(db, result);
  return nullptr;
}

}  // namespace

bool runningEvent(time_t time, std::optional<time_t> startedSince) {
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
  const long long now = time;
  char eventSince[64] = "", occurrenceSince[64] = "";
  if (startedSince) {
    snprintf(eventSince, sizeof eventSince, "start_date+978307200 >= %lld and ", static_cast<long long>(*startedSince));
    snprintf(occurrenceSince, sizeof occurrenceSince, "occurrence_date+978307200 >= %lld and ",
             static_cast<long long>(*startedSince));
  }

  bool found = false;
  char statement[2048];
  memset(statement, 0, sizeof statement);
  bool formatted = formatEventStatement(statement, sizeof statement, now, eventSince);
  if (sqlite3_stmt* compiled = prepare(db, statement, formatted, "Error1 in prepare statement")) {
    found = findQualifyingRow(db, compiled, calendarId,
                              {3, "*** Found event1", "***** Found event1 in defined calendar",
                               "Check for additional events"});
    sqlite3_finalize(compiled);
  }

  // Once the calendar reported its lock, a second query would only wait it out again.
  if (!found && !calendarBusy) {
    memset(statement, 0, sizeof statement);
    formatted = formatOccurrenceStatement(statement, sizeof statement, now, occurrenceSince);
    if (sqlite3_stmt* compiled = prepare(db, statement, formatted, "Error2 in prepare statement (cache)")) {
      found = findQualifyingRow(db, compiled, calendarId,
                                {4, "**** Found event2", "*** Found event2 in calendar",
                                 "Check for additional events2"});
      sqlite3_finalize(compiled);
    }
  }

  sqlite3_close(db);
  return found;
}
