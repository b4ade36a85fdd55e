#pragma once
// What the calendar queries share: the database's place, the "!RING" exclusion pattern, and
// the test a result row must pass to count.
#include <cstdint>

struct sqlite3;

constexpr const char* kCalendarDatabasePath = "/private/var/mobile/Library/Calendar/Calendar.sqlitedb";

// Inserted into the statements through %s, quotes included.
constexpr const char* kExclusionPattern = "'%!RING%'";

// The conditions every calendar statement puts on its rows, the exclusion pattern to be inserted
// through %s: a timed event, and notes that do not carry "!RING" in any letter case.
#define CALENDAR_TIMED_EVENT "all_day = 0"
#define CALENDAR_NOT_EXCLUDED "(description is null or length(description) = 0 or upper(description) not like %s)"
#define CALENDAR_QUALIFYING_ROWS CALENDAR_TIMED_EVENT " and " CALENDAR_NOT_EXCLUDED

enum class CalendarMatch {
  None,            // the row does not count
  AllCalendars,    // every calendar is watched and the row is busy or marked "!silent"
  ChosenCalendar,  // the row is of the watched calendar and busy or marked "!silent"
};

// `description` may be null. The "!silent" test is case-sensitive.
CalendarMatch matchRow(int32_t calendarChoice, int calendarId, int availability,
                       const char* description);

// Opens the calendar database under the device root without ever creating it, waiting up to a
// few seconds whenever a writer holds it. On failure returns null; `error` then holds the
// database's message.
sqlite3* openCalendarDatabase(const char** error);

// True when `result` (of a prepare or a step) means that a writer held the database beyond the
// wait; the pass is then told (calendarBusy) and the reason logged.
bool calendarWasBusy(sqlite3* db, int result);
