#include "phonesim/calendar/ImportStore.h"

#include <sqlite3.h>

#include <memory>

#include "platform/Foundation/NSDate.h"

namespace {

// Where an imported row keeps its UID, as the platform's calendar names the column.
constexpr const char* kUidColumn = "unique_identifier";

struct StatementDeleter {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

// Thrown inside the transaction; the caller rolls back.
struct Failure {
  std::string message;
};

Statement prepare(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) throw Failure{sqlite3_errmsg(db)};
  return Statement(statement);
}

void step(sqlite3* db, sqlite3_stmt* statement) {
  if (sqlite3_step(statement) != SQLITE_DONE) throw Failure{sqlite3_errmsg(db)};
  sqlite3_reset(statement);
}

bool hasTable(sqlite3* db, const char* name) {
  Statement query = prepare(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?");
  sqlite3_bind_text(query.get(), 1, name, -1, SQLITE_STATIC);
  return sqlite3_step(query.get()) == SQLITE_ROW;
}

bool hasColumn(sqlite3* db, const std::string& table, const char* column) {
  Statement query = prepare(db, "SELECT 1 FROM pragma_table_info(?) WHERE name = ?");
  sqlite3_bind_text(query.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(query.get(), 2, column, -1, SQLITE_STATIC);
  return sqlite3_step(query.get()) == SQLITE_ROW;
}

long long calendarNamed(sqlite3* db, const std::string& title) {
  Statement find = prepare(db, "SELECT rowid FROM calendar WHERE title = ? ORDER BY rowid LIMIT 1");
  sqlite3_bind_text(find.get(), 1, title.c_str(), -1, SQLITE_TRANSIENT);
  if (sqlite3_step(find.get()) == SQLITE_ROW) return sqlite3_column_int64(find.get(), 0);
  Statement add = prepare(db, "INSERT INTO calendar (title) VALUES (?)");
  sqlite3_bind_text(add.get(), 1, title.c_str(), -1, SQLITE_TRANSIENT);
  step(db, add.get());
  return sqlite3_last_insert_rowid(db);
}

void write(sqlite3* db, const std::string& title, const ImportPlan& plan, ImportResult* result) {
  const std::string table = hasTable(db, "CalendarItem") ? "CalendarItem" : "event";
  if (!hasTable(db, table.c_str()) || !hasTable(db, "OccurrenceCache") || !hasTable(db, "calendar")) {
    throw Failure{"the calendar database lacks its event, OccurrenceCache or calendar table"};
  }
  if (!hasColumn(db, table, kUidColumn)) {
    Statement alter = prepare(db, "ALTER TABLE " + table + " ADD COLUMN " + kUidColumn + " TEXT DEFAULT NULL");
    step(db, alter.get());
  }
  result->calendarId = calendarNamed(db, title);

  const std::string mine = " WHERE calendar_id = ?1 AND " + std::string(kUidColumn) + " = ?2";
  Statement dropOccurrences = prepare(db, "DELETE FROM OccurrenceCache WHERE event_id IN (SELECT rowid FROM " + table + mine + ")");
  Statement dropEvents = prepare(db, "DELETE FROM " + table + mine);
  for (const std::string& uid : plan.uids) {
    for (sqlite3_stmt* drop : {dropOccurrences.get(), dropEvents.get()}) {
      sqlite3_bind_int64(drop, 1, result->calendarId);
      sqlite3_bind_text(drop, 2, uid.c_str(), -1, SQLITE_TRANSIENT);
      step(db, drop);
    }
    result->replaced += sqlite3_changes(db);
  }

  Statement insertEvent = prepare(db, "INSERT INTO " + table +
                                          " (summary, description, start_date, end_date, calendar_id, availability, all_day, " +
                                          kUidColumn + ") VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
  Statement insertOccurrence = prepare(db, "INSERT INTO OccurrenceCache (occurrence_date, event_id, calendar_id) VALUES (?, ?, ?)");
  for (const ImportedEvent& event : plan.events) {
    sqlite3_stmt* row = insertEvent.get();
    sqlite3_bind_text(row, 1, event.summary.c_str(), -1, SQLITE_TRANSIENT);
    if (event.description) {
      sqlite3_bind_text(row, 2, event.description->c_str(), -1, SQLITE_TRANSIENT);
    } else {
      sqlite3_bind_null(row, 2);
    }
    sqlite3_bind_int64(row, 3, event.start - kReferenceDateOffset);
    sqlite3_bind_int64(row, 4, event.end - kReferenceDateOffset);
    sqlite3_bind_int64(row, 5, result->calendarId);
    sqlite3_bind_int(row, 6, event.availability);
    sqlite3_bind_int(row, 7, event.allDay ? 1 : 0);
    sqlite3_bind_text(row, 8, event.uid.c_str(), -1, SQLITE_TRANSIENT);
    step(db, row);
    const long long eventId = sqlite3_last_insert_rowid(db);
    for (time_t start : event.occurrences) {
      sqlite3_stmt* occurrence = insertOccurrence.get();
      sqlite3_bind_int64(occurrence, 1, start - kReferenceDateOffset);
      sqlite3_bind_int64(occurrence, 2, eventId);
      sqlite3_bind_int64(occurrence, 3, result->calendarId);
      step(db, occurrence);
    }
  }
}

}  // namespace

std::string storeImport(sqlite3* db, const std::string& title, const ImportPlan& plan, ImportResult* result) {
  if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) return sqlite3_errmsg(db);
  try {
    write(db, title, plan, result);
  } catch (const Failure& failure) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    return failure.message;
  }
  if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
    std::string message = sqlite3_errmsg(db);
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    return message;
  }
  return "";
}
