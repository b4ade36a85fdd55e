#pragma once
// The calendars of the phone's calendar database, for commands that name one.
#include <sqlite3.h>

#include <string>
#include <vector>

struct PhoneCalendar {
  int id;
  std::string title;
};

// The rows of the "calendar" table, by row id; none when the table cannot be read.
std::vector<PhoneCalendar> phoneCalendars(sqlite3* db);

// The calendar with row id `id`, or null.
const PhoneCalendar* findCalendar(const std::vector<PhoneCalendar>& calendars, int id);

// `1 "Default", 2 "Work"` with the titles escaped for the terminal; "none" for no calendar.
std::string listOfCalendars(const std::vector<PhoneCalendar>& calendars);
