#include "daemon/CalendarRow.h"

#include <sqlite3.h>

#include <cstring>
#include <string>

#include "daemon/DaemonState.h"
#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/NSLog.h"

namespace {

// How long a query waits for a writer that holds the calendar.
constexpr int kBusyWaitMilliseconds = 3000;

bool busyOrMarkedSilent(int availability, const char* description) {
  return availability == 0 || (description != nullptr && std::strstr(description, "!silent") != nullptr);
}

}  // namespace

CalendarMatch matchRow(int32_t calendarChoice, int calendarId, int availability,
                       const char* description) {
  if (calendarChoice == 0 && busyOrMarkedSilent(availability, description)) {
    return CalendarMatch::AllCalendars;
  }
  if (calendarId == calendarChoice && busyOrMarkedSilent(availability, description)) {
    return CalendarMatch::ChosenCalendar;
  }
  return CalendarMatch::None;
}

bool calendarWasBusy(sqlite3* db, int result) {
  int primary = result & 0xff;
  if (primary != SQLITE_BUSY && primary != SQLITE_LOCKED) return false;
  NSLog("Calendar DB is locked by another program: %s", sqlite3_errmsg(db));
  calendarBusy = true;
  return true;
}

sqlite3* openCalendarDatabase(const char** error) {
  static thread_local std::string message;
  sqlite3* db = nullptr;
  // Read and write, but never create: a missing database must read as missing rather than
  // leave an empty file in the calendar's place.
  int result = sqlite3_open_v2(devicePath(kCalendarDatabasePath).c_str(), &db,
                               SQLITE_OPEN_READWRITE, nullptr);
  if (result == SQLITE_OK) {
    sqlite3_busy_timeout(db, kBusyWaitMilliseconds);
    return db;
  }
  message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(result);
  sqlite3_close(db);
  *error = message.c_str();
  return nullptr;
}
