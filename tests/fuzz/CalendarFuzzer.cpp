// The daemon's calendar queries, event detection and the next-wake choice on a database made
// from the input: system version, watched calendar, event state, then rows whose every column
// takes its type and value from the input, dates mostly near now. Nothing may crash.
#include <sqlite3.h>

#include <cstring>
#include <ctime>

#include "daemon/CalendarRow.h"
#include "daemon/DaemonState.h"
#include "daemon/EventDetection.h"
#include "daemon/NextWake.h"
#include "tests/support/Phone.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Phone phone{"", true};
  auto next = [&](int bytes = 1) {
    uint64_t value = 0;
    while (bytes-- > 0) {
      value = value << 8 | (size > 0 ? *data : 0);
      if (size > 0) ++data, --size;
    }
    return static_cast<int64_t>(value);
  };
  VersionMajor = next() % 2 ? 7 : 4;
  const std::string table = VersionMajor < 5 ? "event" : "CalendarItem";
  NSMutableDictionary settings;
  settings.setInt(kCalendarID, next() % 3);
  phone.writePlist(kSettingsPath, settings);
  setMiddleOfEvent(next() % 2);

  phone.write(kCalendarDatabasePath, "");
  sqlite3* db = nullptr;
  sqlite3_open(phone.at(kCalendarDatabasePath).c_str(), &db);
  sqlite3_exec(db, ("PRAGMA synchronous = OFF; BEGIN; CREATE TABLE " + table + " (ROWID INTEGER PRIMARY KEY,"
                    " start_date REAL, end_date REAL, description TEXT, calendar_id INTEGER, availability INTEGER,"
                    " all_day INTEGER); CREATE TABLE OccurrenceCache (occurrence_date REAL, event_id INTEGER,"
                    " calendar_id INTEGER);").c_str(), nullptr, nullptr, nullptr);
  const time_t instant = time(nullptr);
  const int64_t now = instant - 978307200;  // in calendar seconds
  const char* const kNotes[] = {"", "!silent", "x !RING", "!Silent %s", "\n!silent\x01"};
  for (const std::string& insert : {"INSERT INTO " + table + " (start_date, end_date, description, calendar_id,"
                                    " availability, all_day) VALUES (?, ?, ?, ?, ?, ?)",
                                    std::string("INSERT INTO OccurrenceCache VALUES (?, ?, ?)")}) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, insert.c_str(), -1, &statement, nullptr);
    for (int rows = next() % 6; rows > 0 && size > 0; --rows, sqlite3_reset(statement), sqlite3_clear_bindings(statement)) {
      for (int column = 1; column <= sqlite3_bind_parameter_count(statement); ++column) {
        int kind = static_cast<int>(next());
        const char* notes = kNotes[kind / 8 % 5];
        if (kind % 8 == 1 || kind % 8 == 2) sqlite3_bind_int64(statement, column, now + static_cast<int16_t>(next(2)) * 4);
        if (kind % 8 == 3) sqlite3_bind_int64(statement, column, next(8));
        if (kind % 8 == 4) sqlite3_bind_double(statement, column, now + static_cast<int32_t>(next(4)) / 7.0);
        if (kind % 8 == 5) sqlite3_bind_int(statement, column, static_cast<int>(next() % 4));
        if (kind % 8 == 6) sqlite3_bind_text(statement, column, notes, -1, SQLITE_STATIC);
        if (kind % 8 == 7) sqlite3_bind_blob(statement, column, notes, static_cast<int>(strlen(notes)) + 1, SQLITE_STATIC);
      }
      sqlite3_step(statement);
    }
    sqlite3_finalize(statement);
  }
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);

  runningEvent(instant);
  getWakeUpDate(instant);
  return 0;
}
