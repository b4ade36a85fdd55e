#pragma once
// An import plan written into the phone's calendar database, in one transaction.
#include <string>

#include "phonesim/calendar/ImportPlan.h"

struct sqlite3;

struct ImportResult {
  long long calendarId = 0;
  int replaced = 0;  // rows of the same UIDs that an earlier import of the calendar left
};

// Writes `plan` as the calendar titled `title` (made when the database has none of that
// title): the rows of the plan's UIDs in that calendar go, the plan's rows come. "" when done,
// else the database's message, and nothing has changed.
std::string storeImport(sqlite3* db, const std::string& title, const ImportPlan& plan, ImportResult* result);
