// A calendar database that is corrupt, lacks its tables, is locked by a writer, or holds
// hostile or broken rows: the daemon never crashes, never starts an event from a broken row,
// and never lets a description reach a format string or a shell.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "tests/faults/FaultPhone.h"

namespace {

// Every daemon run here happens five seconds into an event slot from 09:00 to 10:00.
const char* kNow = "2026-12-07 09:00:05";
const std::string kClock = std::string("@") + kNow + " x20";

class CalendarFaults : public ::testing::Test {
 protected:
  time_t now() const { return localTime(kNow); }

  // One daemon run at kNow; the process must end by itself with status 0.
  RunResult runDaemon(double timeoutSeconds = 30) {
    RunResult run = phone_.runDaemon(kClock, timeoutSeconds);
    EXPECT_TRUE(run.exitedWith(0)) << "status " << run.exitStatus << " signal " << run.signal
                                   << (run.timedOut ? " (still running)" : "") << "\n" << run.err;
    return run;
  }

  void expectNoEvent(const RunResult& run) {
    EXPECT_EQ(run.err.find("Event started"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("./Mutarodh"), std::string::npos);
    EXPECT_EQ(phone_.setting("EventInProgress"), false);
    EXPECT_FALSE(phone_.exists(kMarkerFile)) << "the switcher silenced the phone";
    EXPECT_TRUE(parsesAsDictionary(phone_.at(kSettingsFile)));
  }

  void expectEvent(const RunResult& run) {
    EXPECT_NE(run.err.find("Event started"), std::string::npos) << run.err;
    EXPECT_EQ(phone_.setting("EventInProgress"), true);
    EXPECT_TRUE(phone_.exists(kMarkerFile)) << "the switcher did not silence the phone";
  }

  FaultPhone phone_;
};

std::string randomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random() & 0xff);
  return bytes;
}

TEST_F(CalendarFaults, CorruptDatabaseGivesNoEvent) {
  // A busy event running now would silence the phone if the file could be read.
  phone_.addEvent(now() - 5, now() + 3595, 0, std::nullopt);
  const std::string good = phone_.read(kCalendarFile);
  ASSERT_GT(good.size(), 4096u);

  const std::vector<std::pair<const char*, std::string>> corruptions = {
      {"random bytes", randomBytes(good.size(), 3)},
      {"header kept, pages scrambled", good.substr(0, 100) + randomBytes(good.size() - 100, 5)},
      {"pages kept, header scrambled", randomBytes(100, 9) + good.substr(100)},
      {"cut after the first page", good.substr(0, 4096)},
  };
  for (const auto& [name, contents] : corruptions) {
    SCOPED_TRACE(name);
    phone_.write(kCalendarFile, contents);
    RunResult run = runDaemon();
    expectNoEvent(run);
  }
}

TEST_F(CalendarFaults, MissingTablesAreReportedAndGiveNoEvent) {
  phone_.calendarSql("DROP TABLE CalendarItem; DROP TABLE OccurrenceCache;");
  RunResult run = runDaemon();
  expectNoEvent(run);
  EXPECT_NE(run.err.find("Error1 in prepare statement"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("Error2 in prepare statement (cache)"), std::string::npos);
  EXPECT_NE(run.err.find("Error11 in prepare statement"), std::string::npos);
  EXPECT_NE(run.err.find("Error22 in prepare statement (cache)"), std::string::npos);
  EXPECT_NE(run.out.find("no such table"), std::string::npos) << run.out;
}

TEST_F(CalendarFaults, MissingDatabaseIsNotCreated) {
  ASSERT_EQ(std::remove(phone_.at(kCalendarFile).c_str()), 0);
  RunResult run = runDaemon();
  expectNoEvent(run);
  EXPECT_FALSE(phone_.exists(kCalendarFile)) << "the daemon created an empty calendar database";
}

// Holds a write transaction on the calendar from a connection of the test process while the
// daemon (another process) runs.
class Writer {
 public:
  Writer(const std::string& path, const char* begin) {
    EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    exec(begin);
  }
  ~Writer() { sqlite3_close(db_); }
  void exec(const std::string& sql) {
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK)
        << (message != nullptr ? message : "");
    sqlite3_free(message);
  }

 private:
  sqlite3* db_ = nullptr;
};

std::string insertRunningEvent(time_t now) {
  return "INSERT INTO CalendarItem (start_date, end_date, availability, all_day) VALUES (" +
         std::to_string(now - 5 - 978307200) + ", " + std::to_string(now + 3595 - 978307200) + ", 0, 0)";
}

TEST_F(CalendarFaults, ExclusiveWriterGivesNoEventAndNoHang) {
  Writer writer(phone_.at(kCalendarFile), "BEGIN EXCLUSIVE");
  writer.exec(insertRunningEvent(now()));
  RunResult run = runDaemon(20);
  expectNoEvent(run);
  EXPECT_NE(run.out.find("database is locked"), std::string::npos) << run.out;
  writer.exec("ROLLBACK");
}

TEST_F(CalendarFaults, UncommittedEventIsNotSeenAndCommittedOneIs) {
  {
    Writer writer(phone_.at(kCalendarFile), "BEGIN IMMEDIATE");
    writer.exec(insertRunningEvent(now()));
    RunResult run = runDaemon(20);
    expectNoEvent(run);
    writer.exec("COMMIT");
  }
  // The same row, committed, silences the phone: the run above saw the calendar as it was.
  RunResult run = runDaemon();
  expectEvent(run);
}

TEST_F(CalendarFaults, NullAndMegabyteDescriptions) {
  const std::string megabyte(1 << 20, 'n');
  // Excluded in any letter case, however far into the notes the marker stands.
  phone_.addEvent(now() - 5, now() + 3595, 0, megabyte + "!rInG");
  phone_.addEvent(now() - 5, now() + 3595, 1, megabyte + "\n!Silent");
  phone_.addEvent(now() - 5, now() + 3595, 2, std::nullopt);
  phone_.addEvent(now() + 7200, now() + 9000, 0, megabyte);
  RunResult quiet = runDaemon();
  expectNoEvent(quiet);

  // A free event marked at the very end of a megabyte of notes qualifies.
  phone_.addEvent(now() - 5, now() + 3595, 1, megabyte + "!silent");
  RunResult marked = runDaemon();
  expectEvent(marked);
}

TEST_F(CalendarFaults, DescriptionsAreNeverFormatsOrCommands) {
  const std::string trap = phone_.root() + "/executed";
  const std::vector<std::string> payloads = {
      "%s%n%s%n%x%x%x%n%p%99999999s",
      "$(touch " + trap + "-1)",
      "`touch " + trap + "-2`",
      "; touch " + trap + "-3",
      "| touch " + trap + "-4",
      "&& touch " + trap + "-5",
      "\ntouch " + trap + "-6\n",
      "'; touch " + trap + "-7; '",
      "\"; touch " + trap + "-8; \"",
      "'); DROP TABLE CalendarItem; --",
  };
  std::string all;
  for (const auto& payload : payloads) all += payload + " ";
  // One running busy event carrying every payload, one per future event, and one recurring.
  long long running = phone_.addEvent(now() - 5, now() + 3595, 0, all + "!silent");
  for (size_t i = 0; i < payloads.size(); ++i) {
    phone_.addEvent(now() + 7200 + 3600 * static_cast<time_t>(i), now() + 9000 + 3600 * static_cast<time_t>(i),
                    0, payloads[i]);
  }
  phone_.calendarSql("INSERT INTO OccurrenceCache (occurrence_date, event_id, calendar_id) VALUES (" +
                     std::to_string(now() + 86400 - 978307200) + ", " + std::to_string(running) + ", 1)");

  RunResult run = runDaemon();
  expectEvent(run);
  // And the end of the event, with the same notes, reverts.
  RunResult end = phone_.runDaemon("@2026-12-07 10:00:30 x20");
  EXPECT_TRUE(end.exitedWith(0)) << end.err;
  EXPECT_NE(end.err.find("Event ended"), std::string::npos) << end.err;
  EXPECT_FALSE(phone_.exists(kMarkerFile));

  for (int i = 1; i <= 8; ++i) {
    EXPECT_FALSE(phone_.exists("/executed-" + std::to_string(i))) << "payload " << i << " was run by a shell";
  }
  EXPECT_NO_THROW(phone_.calendarSql("SELECT count(*) FROM CalendarItem"));
}

TEST_F(CalendarFaults, BrokenRowsGiveNoEvent) {
  const std::string start = std::to_string(now() - 5 - 978307200);
  const std::string end = std::to_string(now() + 3595 - 978307200);
  phone_.calendarSql(
      "INSERT INTO CalendarItem (start_date, end_date, availability, all_day) VALUES "
      "(NULL, " + end + ", 0, 0), (" + start + ", NULL, 0, 0), ('garbage', 'garbage', 0, 0),"
      "(X'00ff00ff', X'ffffffff', 0, 0), (" + end + ", " + start + ", 0, 0),"
      "(" + start + ", " + end + ", 0, NULL), (" + start + ", " + end + ", 0, 1);"
      // Occurrences without a date, of a missing event, and of an all-day event.
      "INSERT INTO OccurrenceCache (occurrence_date, event_id, calendar_id) VALUES "
      "(NULL, 1, 1), (" + start + ", 9999, 1), ('garbage', 2, 1), (" + start + ", 7, 1);");
  RunResult run = runDaemon();
  expectNoEvent(run);
}

// The daemon counts in signed 32-bit Unix seconds. A date that does not fit must not turn
// into a boundary in the past, which would keep the daemon polling for ever.
TEST_F(CalendarFaults, DateBeyondTheDaemonsRangeDoesNotKeepItRunning) {
  // Exactly 2^32 seconds after an hour ago: wraps to an hour ago in 32 bits.
  const int64_t wrapped = (int64_t{1} << 32) + now() - 3600;
  phone_.calendarSql("INSERT INTO CalendarItem (start_date, end_date, availability, all_day) VALUES (" +
                     std::to_string(wrapped - 978307200) + ", " + std::to_string(wrapped + 3600 - 978307200) +
                     ", 0, 0)");
  RunResult run = runDaemon(15);
  expectNoEvent(run);
  EXPECT_EQ(run.err.find("Next event is in the range of 60 seconds"), std::string::npos) << run.err;
}

}  // namespace
