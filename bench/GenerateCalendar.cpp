// generate-calendar DATABASE --events N --occurrences M: fills a phone's calendar database
// the way a long-used calendar looks. Events fall on working days in working hours, a few a
// day, last 15 minutes to 2 hours, and spread over past and future years; notes are missing,
// empty, plain text over several lines, or carry the "!silent" / "!RING" markers in various
// letter cases; most events are busy, some free or tentative, a few all-day. Some events
// recur, and their occurrences go into OccurrenceCache.
//
// Nothing lands near now (the quiet window, two days by default on either side), so that a
// daemon run over the result has nothing to change and no boundary within a minute.
// All dates stay within signed 32-bit Unix seconds, as the daemon counts them.
#include <sqlite3.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int64_t kCalendarEpoch = 978307200;  // 2001-01-01 00:00:00 UTC in Unix seconds
constexpr int64_t kDay = 86400;
constexpr int64_t kWeek = 7 * kDay;
constexpr int kEventsPerWorkingDay = 3;
// Earliest and latest local dates used (the latter leaves room below 2038-01-19).
constexpr int kFirstYear = 1990;
constexpr int kLastYear = 2037;

struct Options {
  std::string database;
  int64_t events = 1000;
  int64_t occurrences = 0;
  uint64_t seed = 20261207;
  int64_t now = 0;
  int64_t quietWindow = 2 * kDay;
  bool clear = false;
};

struct Event {
  int64_t start;  // Unix seconds
  int64_t end;
  bool allDay;
};

// Unix seconds of local midnight of a day given as days since 1970-01-01 (local calendar).
int64_t localMidnight(int64_t civilDay) {
  time_t noonUtc = static_cast<time_t>(civilDay * kDay + kDay / 2);
  struct tm date;
  gmtime_r(&noonUtc, &date);
  date.tm_hour = 0;
  date.tm_min = 0;
  date.tm_sec = 0;
  date.tm_isdst = -1;
  return static_cast<int64_t>(mktime(&date));
}

int64_t civilDayOf(int year, int month, int day) {
  struct tm date = {};
  date.tm_year = year - 1900;
  date.tm_mon = month - 1;
  date.tm_mday = day;
  date.tm_hour = 12;
  return static_cast<int64_t>(timegm(&date)) / kDay;
}

bool isWeekend(int64_t civilDay) {
  int weekday = static_cast<int>((civilDay + 4) % 7);  // 1970-01-01 was a Thursday (4)
  return weekday == 0 || weekday == 6;
}

// Draws from a small table of weighted choices.
template <typename T, size_t N>
T weighted(std::mt19937_64& random, const std::array<std::pair<T, int>, N>& table) {
  int total = 0;
  for (const auto& entry : table) total += entry.second;
  int pick = std::uniform_int_distribution<int>(0, total - 1)(random);
  for (const auto& entry : table) {
    if (pick < entry.second) return entry.first;
    pick -= entry.second;
  }
  return table.back().first;
}

const std::array<const char*, 16> kTitles = {
    "Team meeting", "1:1", "Project review", "Dentist", "Lunch with Anna", "Sprint planning",
    "Customer call", "Board meeting", "Interview", "Training", "Doctor", "Parents' evening",
    "Design review", "Weekly sync", "Budget", "Flight to Berlin"};

const std::array<const char*, 14> kLines = {
    "Agenda: status, risks, next steps",
    "Room 4.12, second floor",
    "Dial-in: +1 555 0100, PIN 4711",
    "Bring the signed contract",
    "Please read the minutes beforehand.",
    "Parking behind the building",
    "https://example.com/meeting/8841",
    "Prepare slides (10 min max)",
    "Ask about the invoice from March",
    "Caf\xc3\xa9 on the corner, table by the window",
    "Notes: \"quarterly numbers\" & 'forecast'",
    "50% of the budget is already committed",
    "Call back if late",
    "Tickets in the mail"};

const std::array<const char*, 7> kMarkers = {"!silent", "!silent", "!Silent", "!SILENT",
                                             "!RING", "!ring", "!Ring"};

enum class Notes { Null, Empty, Text, Marked };

// The notes of one event; null when `notes` is Null.
bool makeNotes(std::mt19937_64& random, std::string* text) {
  Notes kind = weighted<Notes, 4>(
      random, {{{Notes::Null, 35}, {Notes::Empty, 10}, {Notes::Text, 40}, {Notes::Marked, 15}}});
  text->clear();
  if (kind == Notes::Null) return false;
  if (kind == Notes::Empty) return true;
  int lines = std::uniform_int_distribution<int>(1, 4)(random);
  for (int i = 0; i < lines; ++i) {
    if (i > 0) *text += '\n';
    *text += kLines[std::uniform_int_distribution<size_t>(0, kLines.size() - 1)(random)];
  }
  if (kind == Notes::Marked) {
    const char* marker = kMarkers[std::uniform_int_distribution<size_t>(0, kMarkers.size() - 1)(random)];
    // The marker opens the notes, ends them, or stands on a line of its own.
    switch (std::uniform_int_distribution<int>(0, 2)(random)) {
      case 0: *text = std::string(marker) + " " + *text; break;
      case 1: *text += std::string(" ") + marker; break;
      default: *text += std::string("\n") + marker + "\n"; break;
    }
  }
  return true;
}

class Generator {
 public:
  explicit Generator(const Options& options) : options_(options), random_(options.seed) {
    nowDay_ = options.now / kDay;
    // A few events per working day, over as many years as that takes, a fifth of them
    // ahead; a calendar too large for the available years simply gets busier days.
    int64_t workingDays = std::max<int64_t>(1, options.events / kEventsPerWorkingDay);
    int64_t spanDays = workingDays * 7 / 5 + 1;
    int64_t futureDays = std::max<int64_t>(30, spanDays / 5);
    int64_t pastDays = std::max<int64_t>(30, spanDays - futureDays);
    firstDay_ = std::max(civilDayOf(kFirstYear, 1, 1), nowDay_ - pastDays);
    lastDay_ = std::min(civilDayOf(kLastYear, 12, 31), nowDay_ + futureDays);
    limit_ = localMidnight(civilDayOf(kLastYear, 12, 31));
  }

  Event nextEvent() {
    for (;;) {
      int64_t day = std::uniform_int_distribution<int64_t>(firstDay_, lastDay_)(random_);
      // Weekends keep only a few events.
      if (isWeekend(day) && std::uniform_int_distribution<int>(0, 19)(random_) != 0) continue;
      int64_t midnight = localMidnight(day);
      Event event;
      event.allDay = std::uniform_int_distribution<int>(0, 99)(random_) < 4;
      if (event.allDay) {
        event.start = midnight;
        event.end = midnight + kDay - 1;
      } else {
        // Quarter hours from 08:00 to 17:45.
        int quarter = std::uniform_int_distribution<int>(8 * 4, 17 * 4 + 3)(random_);
        int minutes = weighted<int, 6>(random_, {{{15, 10}, {30, 30}, {45, 10}, {60, 35}, {90, 5}, {120, 10}}});
        event.start = midnight + quarter * 15 * 60;
        event.end = event.start + minutes * 60;
      }
      if (nearNow(event.start, event.end)) continue;
      return event;
    }
  }

  bool nearNow(int64_t start, int64_t end) const {
    return end >= options_.now - options_.quietWindow && start <= options_.now + options_.quietWindow;
  }

  int64_t limit() const { return limit_; }
  std::mt19937_64& random() { return random_; }

 private:
  const Options& options_;
  std::mt19937_64 random_;
  int64_t nowDay_;
  int64_t firstDay_;
  int64_t lastDay_;
  int64_t limit_;
};

class Statement {
 public:
  Statement(sqlite3* db, const std::string& sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement_, nullptr) != SQLITE_OK) {
      throw std::runtime_error(sqlite3_errmsg(db));
    }
  }
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  sqlite3_stmt* get() { return statement_; }
  void run() {
    if (sqlite3_step(statement_) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db_));
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
  }

 private:
  sqlite3* db_;
  sqlite3_stmt* statement_ = nullptr;
};

void execute(sqlite3* db, const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message != nullptr ? message : "unknown error";
    sqlite3_free(message);
    throw std::runtime_error(text);
  }
}

bool hasTable(sqlite3* db, const char* name) {
  Statement query(db, "select 1 from sqlite_master where type = 'table' and name = ?");
  sqlite3_bind_text(query.get(), 1, name, -1, SQLITE_STATIC);
  return sqlite3_step(query.get()) == SQLITE_ROW;
}

struct Recurrence {
  int64_t eventId;
  int64_t start;
  int calendar;
};

// Occurrence steps: mostly weekly, some daily, fortnightly or four-weekly.
int64_t recurrencePeriod(std::mt19937_64& random) {
  return weighted<int64_t, 4>(random, {{{kWeek, 70}, {kDay, 15}, {2 * kWeek, 10}, {4 * kWeek, 5}}});
}

struct Counts {
  int64_t events = 0;
  int64_t occurrences = 0;
  int64_t recurring = 0;
};

Counts generate(sqlite3* db, const Options& options) {
  const char* table = hasTable(db, "CalendarItem") ? "CalendarItem" : hasTable(db, "event") ? "event" : nullptr;
  if (table == nullptr) throw std::runtime_error("no CalendarItem or event table (make the phone with phonesim init)");
  if (!hasTable(db, "OccurrenceCache")) throw std::runtime_error("no OccurrenceCache table");

  execute(db, "PRAGMA synchronous = OFF; PRAGMA journal_mode = MEMORY; BEGIN");
  if (options.clear) execute(db, std::string("DELETE FROM ") + table + "; DELETE FROM OccurrenceCache");

  Statement insertEvent(db, std::string("INSERT INTO ") + table +
                                " (summary, start_date, end_date, description, calendar_id,"
                                " availability, all_day) VALUES (?, ?, ?, ?, ?, ?, ?)");
  Statement insertOccurrence(db, "INSERT INTO OccurrenceCache (occurrence_date, event_id, calendar_id, day)"
                                 " VALUES (?, ?, ?, ?)");

  Generator generator(options);
  std::mt19937_64& random = generator.random();
  // One recurring event per fifty occurrences, but never more than a tenth of the events.
  int64_t recurringWanted = options.occurrences == 0
                                ? 0
                                : std::clamp<int64_t>(options.occurrences / 50, 1,
                                                      std::max<int64_t>(1, options.events / 10));
  std::vector<Recurrence> recurrences;
  std::string notes;
  Counts counts;
  for (int64_t i = 0; i < options.events; ++i) {
    Event event = generator.nextEvent();
    int calendar = std::uniform_int_distribution<int>(0, 9)(random) < 6 ? 1 : 2;
    int availability = weighted<int, 3>(random, {{{0, 82}, {1, 12}, {2, 6}}});
    sqlite3_stmt* s = insertEvent.get();
    const char* title = kTitles[std::uniform_int_distribution<size_t>(0, kTitles.size() - 1)(random)];
    sqlite3_bind_text(s, 1, title, -1, SQLITE_STATIC);
    sqlite3_bind_int64(s, 2, event.start - kCalendarEpoch);
    sqlite3_bind_int64(s, 3, event.end - kCalendarEpoch);
    if (makeNotes(random, &notes)) {
      sqlite3_bind_text(s, 4, notes.data(), static_cast<int>(notes.size()), SQLITE_TRANSIENT);
    } else {
      sqlite3_bind_null(s, 4);
    }
    sqlite3_bind_int(s, 5, calendar);
    sqlite3_bind_int(s, 6, availability);
    sqlite3_bind_int(s, 7, event.allDay ? 1 : 0);
    insertEvent.run();
    ++counts.events;
    if (static_cast<int64_t>(recurrences.size()) < recurringWanted && !event.allDay) {
      recurrences.push_back({sqlite3_last_insert_rowid(db), event.start, calendar});
    }
  }

  // Each recurring event's occurrences run on from its own start; those in the quiet window
  // or beyond the last year are left out and made up by the following events.
  int64_t remaining = options.occurrences;
  for (size_t r = 0; r < recurrences.size() && remaining > 0; ++r) {
    const Recurrence& recurrence = recurrences[r];
    int64_t share = remaining / static_cast<int64_t>(recurrences.size() - r);
    if (r + 1 == recurrences.size()) share = remaining;
    int64_t period = recurrencePeriod(random);
    // A series that would run past the last year starts early enough to fit.
    int64_t first = std::min(recurrence.start, generator.limit() - (share + 1) * period);
    int64_t made = 0;
    for (int64_t k = 0; made < share; ++k) {
      int64_t occurrence = first + k * period;
      if (occurrence > generator.limit()) break;
      if (generator.nearNow(occurrence, occurrence + 2 * 3600)) continue;
      sqlite3_stmt* s = insertOccurrence.get();
      sqlite3_bind_int64(s, 1, occurrence - kCalendarEpoch);
      sqlite3_bind_int64(s, 2, recurrence.eventId);
      sqlite3_bind_int(s, 3, recurrence.calendar);
      sqlite3_bind_int64(s, 4, occurrence - occurrence % kDay - kCalendarEpoch);
      insertOccurrence.run();
      ++made;
    }
    counts.occurrences += made;
    remaining -= made;
    ++counts.recurring;
  }
  execute(db, "COMMIT");
  return counts;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  CLI::App app{"Fills a phone's calendar database with a realistic calendar."};
  app.add_option("database", options.database, "the Calendar.sqlitedb file (made by phonesim init)")
      ->required()
      ->check(CLI::ExistingFile);
  app.add_option("--events,-n", options.events, "one-off events to add")->check(CLI::NonNegativeNumber);
  app.add_option("--occurrences,-m", options.occurrences, "OccurrenceCache rows to add")
      ->check(CLI::NonNegativeNumber);
  app.add_option("--seed", options.seed, "random seed");
  app.add_option("--now", options.now, "Unix seconds taken as now (default: the clock)");
  app.add_option("--quiet-window", options.quietWindow, "seconds around now left free of events")
      ->check(CLI::NonNegativeNumber);
  app.add_flag("--clear", options.clear, "remove the existing events and occurrences first");
  CLI11_PARSE(app, argc, argv);
  if (options.now == 0) options.now = static_cast<int64_t>(time(nullptr));
  if (options.occurrences > 0 && options.events == 0) {
    std::fprintf(stderr, "generate-calendar: occurrences need at least one event\n");
    return 2;
  }
  tzset();

  sqlite3* db = nullptr;
  if (sqlite3_open_v2(options.database.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "generate-calendar: cannot open %s: %s\n", options.database.c_str(),
                 db != nullptr ? sqlite3_errmsg(db) : "out of memory");
    sqlite3_close(db);
    return 1;
  }
  auto started = std::chrono::steady_clock::now();
  int status = 0;
  try {
    Counts counts = generate(db, options);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("generate-calendar: %lld events, %lld occurrences of %lld recurring events in %.2f s\n",
                static_cast<long long>(counts.events), static_cast<long long>(counts.occurrences),
                static_cast<long long>(counts.recurring), seconds);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "generate-calendar: %s\n", failure.what());
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    status = 1;
  }
  sqlite3_close(db);
  return status;
}
