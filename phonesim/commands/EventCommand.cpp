// phonesim event: adds a calendar event, and with --every/--count the occurrences of a
// recurring one, to the phone's calendar database, and says what was added and whether the
// daemon would silence the phone for it.
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <string>
#include <vector>

#include "phonesim/Commands.h"
#include "phonesim/text/PrintableText.h"
#include "phonesim/DeviceRoot.h"
#include "phonesim/calendar/DaemonLooks.h"
#include "phonesim/text/Moment.h"
#include "phonesim/calendar/PhoneCalendars.h"
#include "daemon/CalendarRow.h"
#include "platform/Foundation/NSDate.h"
#include "platform/Foundation/NSMutableDictionary.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsPaths.h"

namespace {

constexpr long long kMostOccurrences = 10000;
constexpr long long kProgressFrom = 1000;  // occurrences; fewer are added in a blink

int fail(const std::string& message, int status = 1) { return commandFailed("event", message, status); }

// A command line that asks for what cannot be.
int misuse(const std::string& message) { return fail(message, 2); }

// --start or --end as Unix seconds; an error message when it cannot be read or lies beyond
// what the calendar and the daemon can hold.
std::string readMoment(const std::string& option, const std::string& text, time_t now, long long* moment) {
  std::string error;
  std::optional<time_t> when = parseMoment(text, now, &error);
  if (!when) return option + " " + error;
  if (std::string outside = outsideDaemonRange(option, *when); !outside.empty()) return outside;
  *moment = *when;
  return "";
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

// The daemon's verdict on the event's row: its own row test for the calendar, the availability
// and "!silent", and in SQL its own "!RING" pattern and all-day test.
std::string verdict(sqlite3* db, const char* table, long long rowid, const EventOptions& options) {
  auto settings = NSMutableDictionary::initWithContentsOfFile(kSettingsPath);
  int32_t choice = settings ? settings->intForKey(kCalendarID).value_or(0) : 0;
  std::string sql = std::string("SELECT all_day = 0, (description is null or length(description) = 0 or upper(description) not like ") +
                    kExclusionPattern + ") FROM " + table + " WHERE rowid = ?";
  Statement row(db, sql.c_str());
  if (!row) return "unknown (" + std::string(sqlite3_errmsg(db)) + ")";
  sqlite3_bind_int64(row.get(), 1, rowid);
  if (sqlite3_step(row.get()) != SQLITE_ROW) return "unknown (the row is gone)";
  const char* notes = options.notes ? options.notes->c_str() : nullptr;

  std::string answer;
  if (sqlite3_column_int(row.get(), 0) == 0) {
    answer = "no: an all-day event";
  } else if (sqlite3_column_int(row.get(), 1) == 0) {
    answer = "no: its notes carry \"!RING\"";
  } else if (matchRow(0, options.calendar, options.availability, notes) == CalendarMatch::None) {
    answer = "no: free (availability " + std::to_string(options.availability) + ") and no \"!silent\" in its notes";
  } else if (matchRow(choice, options.calendar, options.availability, notes) == CalendarMatch::None) {
    answer = "no: Mutaro watches calendar " + std::to_string(choice) + " only (CalendarID)";
  } else {
    answer = std::string("yes: ") + (options.availability == 0 ? "busy" : "marked \"!silent\"") + ", " +
             (choice == 0 ? "every calendar is watched" : "its calendar is the watched one");
  }
  if (!(settings && settings->boolForKey(kEnabledSwitch).value_or(false))) {
    answer += " (but Mutaro is switched off: EnabledSwitch is not true)";
  }
  return answer;
}

}  // namespace

int eventCommand(const EventOptions& options) {
  if (!openPhone("event", options.root)) return 1;

  time_t now = time(nullptr);
  long long start = 0, end = 0;
  if (std::string error = readMoment("--start", options.start, now, &start); !error.empty()) return misuse(error);
  if (std::string error = readMoment("--end", options.end, now, &end); !error.empty()) return misuse(error);
  if (end < start) return misuse("--end lies before --start");
  if (options.every.has_value() != options.count.has_value()) return misuse("--every and --count go together");
  if (options.every) {
    if (*options.every <= 0) return misuse("--every is the number of seconds between occurrences: a whole number above 0");
    if (*options.count < 1) return misuse("--count is the number of occurrences: at least 1");
    if (*options.count > kMostOccurrences) {
      return misuse("--count " + std::to_string(*options.count) + ": at most " + std::to_string(kMostOccurrences) +
                  " occurrences at once");
    }
    long long lastEnd = 0;
    if (__builtin_mul_overflow(*options.count - 1, *options.every, &lastEnd) ||
        __builtin_add_overflow(lastEnd, end, &lastEnd) || lastEnd > kLatestDaemonMoment) {
      return misuse("the last occurrence would end after " + dateDescription(kLatestDaemonMoment) +
                    ", beyond the years the phone's dates can hold");
    }
  }

  const char* openError = nullptr;
  Database db(openCalendarDatabase(&openError));
  if (db.get() == nullptr) return fail(std::string("cannot open the calendar database: ") + openError);
  sqlite3_busy_timeout(db.get(), 5000);

  std::vector<PhoneCalendar> known = phoneCalendars(db.get());
  const PhoneCalendar* chosen = findCalendar(known, options.calendar);
  if (chosen == nullptr) {
    return misuse("there is no calendar " + std::to_string(options.calendar) + "; the calendars are " +
                  listOfCalendars(known));
  }

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
    const bool showProgress = *options.count >= kProgressFrom && isatty(STDERR_FILENO);
    for (long long index = 0; index < *options.count; ++index) {
      if (showProgress && index % 250 == 0) {
        std::fprintf(stderr, "\radding occurrences: %lld of %lld", index, *options.count);
      }
      sqlite3_reset(occurrence.get());
      sqlite3_bind_int64(occurrence.get(), 1, start + index * *options.every - kReferenceDateOffset);
      sqlite3_bind_int64(occurrence.get(), 2, eventId);
      sqlite3_bind_int(occurrence.get(), 3, options.calendar);
      if (sqlite3_step(occurrence.get()) != SQLITE_DONE) return fail(sqlite3_errmsg(db.get()));
    }
    if (showProgress) std::fprintf(stderr, "\radding occurrences: %lld of %lld\n", *options.count, *options.count);
  }

  if (sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
    return fail(sqlite3_errmsg(db.get()));
  }

  const std::string from = localTimeStamp(start), to = localTimeStamp(end);
  const bool sameDay = from.compare(0, 10, to, 0, 10) == 0;
  std::cout << "Event " << eventId << " \"" << terminalText(options.title) << "\" added to calendar " << chosen->id
            << " \"" << terminalText(chosen->title) << "\"\n"
            << "  from " << from << " to " << (sameDay ? to.substr(11) : to)
            << " local time" << (options.allDay ? ", all day" : "") << "\n";
  if (options.every) {
    long long last = start + (*options.count - 1) * *options.every;
    std::cout << "  " << *options.count << " occurrences, every " << *options.every << " s; the last starts "
              << localTimeStamp(last) << "\n";
  }
  std::string answer = verdict(db.get(), table, eventId, options);
  if (answer.starts_with("yes") && !phoneBooted()) answer += "; but only on a booted phone, and this one is not booted";
  std::cout << "  silences the phone: " << answer << "\n";
  DaemonLook look = whenDaemonLooks(time(nullptr));
  std::cout << "  the daemon looks: " << look.when << "; " << look.why << "\n";
  return 0;
}
