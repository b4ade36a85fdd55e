// A calendar database that is corrupt, lacks its tables, is locked by a writer, or holds
// hostile or broken rows: the daemon never crashes, never starts an event from a broken row,
// and never lets a description reach a format string or a shell.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "tests/support/Phone.h"

namespace {

const std::string kClock = clockAt("2026-12-07 09:00:05", 20);

class CalendarFaults : public testing::Test {
 protected:
  Outcome runDaemon(const std::string& clock = kClock) {
    Outcome run = phone.daemon(clock);
    EXPECT_TRUE(run.exited(0)) << run.status << " " << run.signal << (run.timedOut ? " timed out\n" : "\n") << run.err;
    return run;
  }
  void expectNoEvent(const Outcome& run) {
    EXPECT_EQ(run.err.find("Event started"), std::string::npos) << run.err;
    EXPECT_EQ(phone.setting(kEventInProgress), false);
    EXPECT_FALSE(phone.exists(kMarkerPath));
  }
  void expectEvent(const Outcome& run) {
    EXPECT_NE(run.err.find("Event started"), std::string::npos) << run.err;
    EXPECT_TRUE(phone.exists(kMarkerPath));
  }
  // An event from five seconds ago to an hour ahead.
  long long addRunning(int availability, const std::optional<std::string>& notes) {
    return phone.addEvent({now - 5, now + 3595, availability, notes});
  }
  Phone phone;
  const time_t now = localTime("2026-12-07 09:00:05");
};

TEST_F(CalendarFaults, ACorruptDatabaseIsNoEvent) {
  addRunning(0, std::nullopt);
  const std::string good = phone.read(kCalendarDatabasePath);
  const std::string noise = randomBytes(good.size(), 3);
  for (const std::string& corrupt : {noise, good.substr(0, 100) + noise.substr(100), good.substr(0, 4096)}) {
    phone.write(kCalendarDatabasePath, corrupt);
    expectNoEvent(runDaemon());
  }
}

TEST_F(CalendarFaults, MissingTablesAreReportedAndAMissingDatabaseIsNotCreated) {
  phone.sql("DROP TABLE CalendarItem; DROP TABLE OccurrenceCache;");
  Outcome run = runDaemon();
  expectNoEvent(run);
  for (const char* message : {"] Error1 in prepare statement\n", "] Error2 in prepare statement (cache)\n",
                              "] Error11 in prepare statement: no such table: CalendarItem\n",
                              "] Error22 in prepare statement (cache): no such table: OccurrenceCache\n"}) {
    EXPECT_NE(run.err.find(message), std::string::npos) << message;
  }
  EXPECT_NE(run.out.find("no such table"), std::string::npos);
  EXPECT_TRUE(mutaroWakes(phone.status()).empty());

  phone.remove(kCalendarDatabasePath);
  expectNoEvent(runDaemon());
  EXPECT_FALSE(phone.exists(kCalendarDatabasePath));
}

TEST_F(CalendarFaults, DescriptionsAreReadWholeAndAreNeverFormatsOrCommands) {
  const std::string megabyte(1 << 20, 'n');
  addRunning(0, megabyte + "!rInG");
  addRunning(1, megabyte + "\n!Silent");
  addRunning(2, std::nullopt);
  expectNoEvent(runDaemon());

  const std::string trap = phone.root() + "/executed";
  std::string all = "%s%n%s%n%x%n%p%99999999s ";
  for (const char* shell : {"$(touch %s1)", "`touch %s2`", "; touch %s3", "| touch %s4", "\ntouch %s5\n",
                            "'; touch %s6; '", "\"; touch %s7; \"", "'); DROP TABLE CalendarItem; --"}) {
    std::string payload = shell;
    size_t at = payload.find("%s");
    if (at != std::string::npos) payload.replace(at, 2, trap);
    all += payload + " ";
    phone.addEvent({now + 7200, now + 9000, 0, payload});
  }
  long long running = addRunning(1, megabyte + all + "!silent");
  phone.sql("INSERT INTO OccurrenceCache (occurrence_date, event_id, calendar_id) VALUES (" +
            std::to_string(now + 86400 - 978307200) + ", " + std::to_string(running) + ", 1)");
  expectEvent(runDaemon());
  Outcome end = runDaemon(clockAt("2026-12-07 10:00:30", 20));
  EXPECT_NE(end.err.find("Event ended"), std::string::npos);
  EXPECT_FALSE(phone.exists(kMarkerPath));
  for (int i = 1; i <= 7; ++i) EXPECT_FALSE(phone.exists("/executed" + std::to_string(i))) << i;
  EXPECT_NO_THROW(phone.sql("SELECT count(*) FROM CalendarItem"));
}

TEST_F(CalendarFaults, BrokenRowsAreNoEvent) {
  const std::string start = std::to_string(now - 5 - 978307200);
  const std::string end = std::to_string(now + 3595 - 978307200);
  phone.sql("INSERT INTO CalendarItem (start_date, end_date, availability, all_day) VALUES "
            "(NULL, " + end + ", 0, 0), (" + start + ", NULL, 0, 0), ('garbage', 'garbage', 0, 0),"
            "(X'00ff00ff', X'ffffffff', 0, 0), (" + end + ", " + start + ", 0, 0), (" + start + ", " + end + ", 0, NULL),"
            "(" + start + ", " + end + ", 0, 1);"
            "INSERT INTO OccurrenceCache (occurrence_date, event_id, calendar_id) VALUES "
            "(NULL, 1, 1), (" + start + ", 9999, 1), ('garbage', 2, 1), (" + start + ", 7, 1);");
  expectNoEvent(runDaemon());
}

// A date beyond signed 32-bit seconds must not become a boundary in the past, nor, as the end of
// an event in progress, leave the daemon polling for ever.
TEST_F(CalendarFaults, ADateBeyondTheDaemonsRangeDoesNotKeepItRunning) {
  const int64_t wrapped = (int64_t{1} << 32) + now - 3600;
  phone.sql("INSERT INTO CalendarItem (start_date, end_date) VALUES (" + std::to_string(wrapped - 978307200) + ", " +
            std::to_string(wrapped + 3600 - 978307200) + "), (" + std::to_string(now - 5 - 978307200) + ", " +
            std::to_string(int64_t{1} << 31) + ")");
  for (bool inEvent : {false, true}) {
    phone.set({{kEventInProgress, inEvent}});
    Outcome run = phone.run({"./Mutarod"}, {.clock = kClock, .timeout = 15});
    EXPECT_TRUE(run.exited(0)) << inEvent;
    EXPECT_EQ(run.err.find("Next event is in the range of 60 seconds"), std::string::npos) << inEvent;
    EXPECT_EQ(phone.setting(kUpdatedNextWait1Found), nullptr);
  }
}

// A writer that keeps the calendar locked is no answer: an event in progress is not ended, the
// daemon tries again for about a minute, then leaves the state and comes back a minute later.
TEST_F(CalendarFaults, ALockedCalendarChangesNothingAndIsTriedAgain) {
  addRunning(0, std::nullopt);
  ASSERT_TRUE(runDaemon().exited(0));
  sqlite3* writer = nullptr;
  sqlite3_open(phone.at(kCalendarDatabasePath).c_str(), &writer);
  sqlite3_exec(writer, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
  Outcome locked = runDaemon(clockAt("2026-12-07 09:30:00", 20));
  sqlite3_close(writer);
  EXPECT_EQ(logMessages(locked.err).back(), "Exit main program thread - NEW NEW NEW");
  std::vector<std::string> messages = logMessages(locked.err);
  EXPECT_EQ(std::count(messages.begin(), messages.end(), "Calendar DB locked - checking again in 10 seconds"), 5);
  EXPECT_EQ(locked.err.find("Event ended"), std::string::npos);
  EXPECT_EQ(phone.setting(kEventInProgress), true);
  EXPECT_TRUE(phone.exists(kMarkerPath));
  EXPECT_GE(mutaroWakes(phone.status()), std::vector{iso8601(localTime("2026-12-07 09:31:00"))});
}

}  // namespace
