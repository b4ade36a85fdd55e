#include "daemon/CalendarRow.h"

#include <sqlite3.h>

#include <cstring>
#include <string>

#include "platform/Foundation/DevicePath.h"

namespace {

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

sqlite3* openCalendarDatabase(const char** error) {
  static thread_local std::string message;
  sqlite3* db = nullptr;
  // Read and write, but never create: a missing database must read as missing rather than
  // leave an empty file in the calendar's place.
  int result = sqlite3_open_v2(devicePath(kCalendarDatabasePath).c_str(), &db,
                               SQLITE_OPEN_READWRITE, nullptr);
  if (result == SQLITE_OK) return db;
  message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(result);
  sqlite3_close(db);
  *error = message.c_str();
  return nullptr;
}
