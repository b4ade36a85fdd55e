#include "daemon/DaemonTestSupport.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

time_t localTime(const char* text) {
  struct tm fields = {};
  if (strptime(text, "%Y-%m-%d %H:%M:%S", &fields) == nullptr) throw std::invalid_argument(text);
  fields.tm_isdst = -1;
  return mktime(&fields);
}

void allowPreloadBeforeSanitizer() {
  // A sanitizer build wants its runtime first; libfaketime preloaded ahead of it is harmless.
  const char* options = getenv("ASAN_OPTIONS");
  std::string value = options != nullptr && *options != '\0' ? std::string(options) + ":" : "";
  setenv("ASAN_OPTIONS", (value + "verify_asan_link_order=0").c_str(), 1);
}

void reexecUnderFakeClock(char** argv) {
  setenv("TZ", kTestTimeZone, 1);
  tzset();
  const char* preload = getenv("LD_PRELOAD");
  if (preload != nullptr && strstr(preload, "faketime") != nullptr) return;
  setenv("LD_PRELOAD", kFakeTimeLibrary, 1);
  setenv("FAKETIME_NO_CACHE", "1", 1);
  setenv("FAKETIME", "2026-12-07 09:00:00", 1);
  allowPreloadBeforeSanitizer();
  execv("/proc/self/exe", argv);
  perror("exec under faketime");
  _exit(127);
}

void setFakeNow(const char* localText) { setenv("FAKETIME", localText, 1); }

namespace {

void execute(sqlite3* db, const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::string message = error ? error : "?";
    sqlite3_free(error);
    throw std::runtime_error(message + ": " + sql);
  }
}

}  // namespace

CalendarDatabase::CalendarDatabase(const std::string& realPath, const char* table) : table_(table) {
  std::filesystem::create_directories(std::filesystem::path(realPath).parent_path());
  if (sqlite3_open(realPath.c_str(), &db_) != SQLITE_OK) throw std::runtime_error("open " + realPath);
  execute(db_, "create table if not exists " + table_ +
                   " (ROWID integer primary key autoincrement, summary text, start_date integer,"
                   " end_date integer, description text, calendar_id integer,"
                   " availability integer default 0, all_day integer default 0)");
  execute(db_, "create table if not exists OccurrenceCache (day integer default 0,"
               " occurrence_date integer, event_id integer, calendar_id integer)");
  execute(db_, "create table if not exists Calendar (ROWID integer primary key, title text)");
}

CalendarDatabase::~CalendarDatabase() { sqlite3_close(db_); }

long long CalendarDatabase::add(const CalendarEvent& event) {
  sqlite3_stmt* insert = nullptr;
  std::string sql = "insert into " + table_ +
                    " (summary, start_date, end_date, description, calendar_id, availability, all_day)"
                    " values ('test', ?, ?, ?, ?, ?, ?)";
  sqlite3_prepare_v2(db_, sql.c_str(), -1, &insert, nullptr);
  sqlite3_bind_int64(insert, 1, localTime(event.start.c_str()) - 978307200);
  sqlite3_bind_int64(insert, 2, localTime(event.end.c_str()) - 978307200);
  if (event.notes) sqlite3_bind_text(insert, 3, event.notes->c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int(insert, 4, event.calendar);
  sqlite3_bind_int(insert, 5, event.availability);
  sqlite3_bind_int(insert, 6, event.allDay ? 1 : 0);
  if (sqlite3_step(insert) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db_));
  sqlite3_finalize(insert);
  long long id = sqlite3_last_insert_rowid(db_);

  for (const std::string& occurrence : event.occurrences) {
    sqlite3_stmt* cache = nullptr;
    sqlite3_prepare_v2(db_, "insert into OccurrenceCache (occurrence_date, event_id, calendar_id) values (?, ?, ?)",
                       -1, &cache, nullptr);
    sqlite3_bind_int64(cache, 1, localTime(occurrence.c_str()) - 978307200);
    sqlite3_bind_int64(cache, 2, id);
    sqlite3_bind_int(cache, 3, event.calendar);
    if (sqlite3_step(cache) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db_));
    sqlite3_finalize(cache);
  }
  return id;
}
