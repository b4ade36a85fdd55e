#pragma once
// One calendar of the chooser's list, read from the calendar database by its row id.
#include <sqlite3.h>

#include <cstdint>
#include <string>

class CalendarArray {
 public:
  // Reads the calendar's title and row id through the statement all instances share; it is
  // prepared on the connection of the first instance and kept for the life of the process.
  CalendarArray(int32_t primaryKey, sqlite3* database);

  int32_t rowid() const { return rowid_; }
  const std::string& calendarName() const { return calendarName_; }
  void setCalendarName(const std::string& name) { calendarName_ = name; }
  int32_t calendarID() const { return calendarID_; }
  void setCalendarID(int32_t calendarID) { calendarID_ = calendarID; }

  // False when the shared statement could not be prepared: no title can be read.
  static bool titleStatementPrepared();

 private:
  int32_t rowid_;
  sqlite3* database_;  // borrowed from the application delegate
  std::string calendarName_;
  int32_t calendarID_ = 0;
};
