#include "phonesim/calendar/PhoneCalendars.h"

#include "phonesim/text/PrintableText.h"

std::vector<PhoneCalendar> phoneCalendars(sqlite3* db) {
  std::vector<PhoneCalendar> found;
  sqlite3_stmt* query = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT rowid, title FROM calendar ORDER BY rowid", -1, &query, nullptr) == SQLITE_OK) {
    while (sqlite3_step(query) == SQLITE_ROW) {
      const unsigned char* title = sqlite3_column_text(query, 1);
      found.push_back({sqlite3_column_int(query, 0), title ? reinterpret_cast<const char*>(title) : ""});
    }
  }
  sqlite3_finalize(query);
  return found;
}

const PhoneCalendar* findCalendar(const std::vector<PhoneCalendar>& calendars, int id) {
  for (const PhoneCalendar& calendar : calendars) {
    if (calendar.id == id) return &calendar;
  }
  return nullptr;
}

std::string listOfCalendars(const std::vector<PhoneCalendar>& calendars) {
  std::string list;
  for (const PhoneCalendar& calendar : calendars) {
    list += (list.empty() ? "" : ", ") + std::to_string(calendar.id) + " \"" + terminalText(calendar.title) + "\"";
  }
  return list.empty() ? "none" : list;
}
