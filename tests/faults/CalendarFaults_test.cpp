// A calendar database that is corrupt, lacks its tables, is locked by a writer, or holds
// hostile or broken rows: the daemon never crashes, never starts an event from a broken row,
// and never lets a description reach a format string or a shell.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "tests/support/Phone.h"

namespace {

// The phone times ("YYYY-MM-DD HH:MM:SS") of the log lines that end in "] `message`".
std::vector<std::string> loggedAt(const std::string& log, const std::string& message) {
  std::vector<std::string> times;
  for (size_t at = log.find("] " + message + "\n"); at != std::string::npos; at = log.find("] " + message + "\n", at + 1)) {
    size_t line = log.rfind('\n', at);
    times.push_back(log.substr(line == std::string::npos ? 0 : line + 1, 19));
  }
  return times;
}

const std::string kClock = clockAt("2026-12-07 09:00:05", 20);

class CalendarFaults : public testing::Test {
 protected:
  Outcome runDaemon(const std::string& clock = kClock) {
    Outcome run = phone.daemon(clock);
    EXPECT_TRUE(run.exited(0)) << run.status << " " << run.signal << (run.timedOut ? " timed out\n" : "\n") << run.err;
    return run;
  }
  void expectNoEvent(const Outcome& run) {
    EXPECT_FALSE(contains(run.err, "Event started")) << run.err;
    EXPECT_EQ(phone.setting(kEventInProgress), false);
    EXPECT_FALSE(phone.exists(kMarkerPath));
  }
  void expectEvent(const Outcome& run) {
    EXPECT_TRUE(contains(run.err, "Event started")) << run.err;
    EXPECT_TRUE(phone.exists(kMarkerPath));
  }
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
    EXPECT_TRUE(contains(run.err, message)) << message;
  }
  EXPECT_TRUE(contains(run.out, "no such table"));
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
  EXPECT_TRUE(contains(end.err, "Event ended"));
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

// Past 2038 the clock and the calendar's moments are read whole: an event is silenced at its start
// and given back at its end, and the daemon sleeps until the boundary instead of polling.
TEST(Year2100, TheDaemonWaitsForTheBoundariesAsIn2026) {
  Phone phone;
  const time_t nine = localTime("2100-12-07 09:00:00"), ten = localTime("2100-12-07 10:00:00");
  phone.addEvent({nine, ten});
  for (const auto& [at, inEvent, wake] : {std::tuple{"08:58:00", false, nine}, {"09:30:00", true, ten}, {"10:00:30", false, 0L}}) {
    Outcome run = phone.daemon(clockAt(std::string("2100-12-07 ") + at, 20));
    ASSERT_TRUE(run.exited(0)) << at << run.err;
    EXPECT_EQ(logMessages(run.err).back(), "Exit main program thread - NEW NEW NEW") << at;
    EXPECT_EQ(phone.setting(kEventInProgress), inEvent) << at;
    EXPECT_EQ(phone.exists(kMarkerPath), inEvent) << at;
    if (wake != 0) EXPECT_EQ(mutaroWakes(phone.status()), std::vector{iso8601(wake)}) << at;
  }
}

}  // namespace

// A calendar kept locked is no answer: an event in progress is not ended, the daemon tries every
// 10 seconds for about a minute, then comes back a minute later. A pass that reads the calendar
// ends a run of locked passes; back-to-back events keep the daemon polling meanwhile.
TEST(LockedCalendar, ChangesNothingAndIsTriedAgainForAMinute) {
  Phone phone;
  phone.write(std::string(kBundleDirectory) + "/Mutarodh", "#!/bin/sh\n");
  const time_t nine = localTime("2026-12-07 09:00:00");
  for (time_t start = nine; start < nine + 1800; start += 40) phone.addEvent({start, start + 40});
  sqlite3* writer = nullptr;
  sqlite3_open(phone.at(kCalendarDatabasePath).c_str(), &writer);
  auto lock = [&] { ASSERT_EQ(sqlite3_exec(writer, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK); };
  lock();
  auto daemon = phone.start({"./Mutarod"}, {.clock = clockAt("2026-12-07 09:00:05", 5)}, phone.at("/daemon.log"));
  const std::string retry = "Calendar DB locked - checking again in 10 seconds";
  const std::string gaveUp = "Calendar DB still locked - checking again in a minute";
  ASSERT_TRUE(eventually(30, [&] { return loggedAt(phone.read("/daemon.log"), retry).size() >= 2; }));
  sqlite3_exec(writer, "COMMIT", nullptr, nullptr, nullptr);
  ASSERT_TRUE(eventually(30, [&] { return !loggedAt(phone.read("/daemon.log"), "Next event is in the range of 60 seconds - main thread").empty(); }));
  const size_t before = loggedAt(phone.read("/daemon.log"), retry).size();
  lock();
  ASSERT_TRUE(daemon->wait(60)) << "gives up on the lock after a minute";
  sqlite3_close(writer);
  const std::string log = phone.read("/daemon.log");
  const std::vector<std::string> retries = loggedAt(log, retry), still = loggedAt(log, gaveUp);
  ASSERT_EQ(retries.size() - before, 5u);
  ASSERT_EQ(still.size(), 1u);
  // Six passes 10 s apart on the phone's clock: each gives up on the lock once, not per query.
  EXPECT_LE(localTime(still[0]) - localTime(retries[before]), 70);
  EXPECT_FALSE(contains(log, "Event ended"));
  EXPECT_EQ(phone.setting(kEventInProgress), true);
  EXPECT_GE(mutaroWakes(phone.status()), std::vector{iso8601(localTime(still[0]) + 50)});
}
