// phonesim event: adds a calendar event, and with --every/--count the occurrences of a
// recurring one, to the phone's calendar database.
#include <sqlite3.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <limits>
#include <string>

#include "Commands.h"
#include "DeviceRoot.h"
#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/NSDate.h"

namespace {

constexpr const char* kCalendarDatabase = "/private/var/mobile/Library/Calendar/Calendar.sqlitedb";

// "T": Unix seconds, or "+N" / "-N" seconds from now. False when the text is not one of them.
bool parseMoment(const std::string& text, time_t now, long long* moment) {
  if (text.empty()) return false;
  bool relative = text[0] == '+' || text[0] == '-';
  errno = 0;
  char* end = nullptr;
  long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end == text.c_str() || *end != '\0') return false;
  if (relative) value += static_cast<long long>(now);
  // The calendar stores signed 32-bit seconds.
  if (value < std::numeric_limits<int32_t>::min() + kReferenceDateOffset ||
      value > std::numeric_limits<int32_t>::max()) {
    return false;
  }
  *moment = value;
  return true;
}

class Database {
 public:
  explicit Database(sqlite3* db) : db_(db) {}
  ~Database() { sqlite3_close(db_); }
  sqlite3* get() const { return db_; }

 private:
  sqlite3* db_;
};

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr); }
  ~Statement() { sqlite3_finalize(statement_); }
  sqlite3_stmt* get() const { return statement_; }
  explicit operator bool() const { return statement_ != nullptr; }

 private:
  sqlite3_stmt* statement_ = nullptr;
};

bool tableExists(sqlite3* db, const char* name) {
  Statement query(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?");
  if (!query) return false;
  sqlite3_bind_text(query.get(), 1, name, -1, SQLITE_STATIC);
  return sqlite3_step(query.get()) == SQLITE_ROW;
}

int fail(const std::string& message) {
  std::cerr << "phonesim event: " << message << "\n";
  return 1;
}

}  // namespace

int eventCommand(const EventOptions& options) {
  const std::string phone = absoluteDeviceRoot(options.root);
  if (!useDeviceRoot(phone)) return 2;
  if (!isSimulatedPhone()) {
    return fail(phone + " is not a simulated phone; run \"phonesim init " + phone + "\" first");
  }

  time_t now = time(nullptr);
  long long start = 0, end = 0;
  if (!parseMoment(options.start, now, &start)) return fail("--start: not Unix seconds or +N/-N: " + options.start);
  if (!parseMoment(options.end, now, &end)) return fail("--end: not Unix seconds or +N/-N: " + options.end);
  if (end < start) return fail("--end lies before --start");
  if (options.every.has_value() != options.count.has_value()) return fail("--every and --count go together");
  if (options.every && (*options.every <= 0 || *options.count <= 0)) {
    return fail("--every and --count must be positive");
  }

  sqlite3* handle = nullptr;
  int opened = sqlite3_open_v2(devicePath(kCalendarDatabase).c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr);
  Database db(handle);
  if (opened != SQLITE_OK) {
    return fail("cannot open the calendar database: " +
                std::string(handle ? sqlite3_errmsg(handle) : sqlite3_errstr(opened)));
  }
  sqlite3_busy_timeout(db.get(), 5000);

  const char* table = tableExists(db.get(), "CalendarItem") ? "CalendarItem" : "event";
  if (!tableExists(db.get(), table)) return fail("the calendar database has no event table");
  std::string insertEvent = std::string("INSERT INTO ") + table +
                            " (summary, start_date, end_date, description, calendar_id, availability, all_day)"
                            " VALUES (?, ?, ?, ?, ?, ?, ?)";

  if (sqlite3_exec(db.get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
    return fail(sqlite3_errmsg(db.get()));
  }
  long long eventId = 0;
  {
    Statement insert(db.get(), insertEvent.c_str());
    if (!insert) return fail(sqlite3_errmsg(db.get()));
    sqlite3_bind_text(insert.get(), 1, options.title.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(insert.get(), 2, start - kReferenceDateOffset);
    sqlite3_bind_int64(insert.get(), 3, end - kReferenceDateOffset);
    if (options.notes) {
      sqlite3_bind_text(insert.get(), 4, options.notes->c_str(), -1, SQLITE_TRANSIENT);
    } else {
      sqlite3_bind_null(insert.get(), 4);
    }
    sqlite3_bind_int(insert.get(), 5, options.calendar);
    sqlite3_bind_int(insert.get(), 6, options.availability);
    sqlite3_bind_int(insert.get(), 7, options.allDay ? 1 : 0);
    if (sqlite3_step(insert.get()) != SQLITE_DONE) return fail(sqlite3_errmsg(db.get()));
    eventId = sqlite3_last_insert_rowid(db.get());
  }

  if (options.every) {
    Statement occurrence(db.get(),
                         "INSERT INTO OccurrenceCache (occurrence_date, event_id, calendar_id) VALUES (?, ?, ?)");
    if (!occurrence) return fail(sqlite3_errmsg(db.get()));
    for (int index = 0; index < *options.count; ++index) {
      sqlite3_reset(occurrence.get());
      sqlite3_bind_int64(occurrence.get(), 1, start + index * *options.every - kReferenceDateOffset);
      sqlite3_bind_int64(occurrence.get(), 2, eventId);
      sqlite3_bind_int(occurrence.get(), 3, options.calendar);
      if (sqlite3_step(occurrence.get()) != SQLITE_DONE) return fail(sqlite3_errmsg(db.get()));
    }
  }

  if (sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
    return fail(sqlite3_errmsg(db.get()));
  }
  std::cout << eventId << "\n";
  return 0;
}
