// phonesim explain against the daemon itself: for each case, what explain says the daemon would
// do at a moment, and what the daemon's first pass, run at that moment, does.
#include <gtest/gtest.h>
#include <signal.h>

#include "phonesim/history/PhoneHistory.h"
#include "tests/support/Phone.h"

namespace {

struct Case {
  const char* name;
  Event event;
  json settings;         // besides the phone's defaults
  time_t at;
  const char* verdict;   // explain's verdict for the event
  const char* does;      // the daemon's first pass: "start", "revert", "release" or "nothing"
  const char* zone = kTestTimeZone;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

time_t at(const char* time) { return localTime(std::string("2026-12-07 ") + time); }
const time_t kNine = at("09:00:00"), kTen = at("10:00:00"), kWeek = 7 * 86400;
const time_t kFallBack = 1793511000;  // 2026-11-01 01:30 EDT; an hour later the clocks say 01:30 again

// What the daemon's first pass did, from its log.
std::string firstPass(const std::string& log) {
  std::vector<std::string> messages = logMessages(log, "Mutarod");
  auto second = std::find(std::find(messages.begin(), messages.end(), "*********** Checking for event - main thread") + 1,
                          messages.end(), "*********** Checking for event - main thread");
  auto said = [&](const char* message) { return std::find(messages.begin(), second, message) != second; };
  if (said("Has an event............")) return "start";
  if (said("Current event was not disabled")) return "revert";
  if (said("Not reverting - Current Event was disabled") || said("Current event was already disabled")) return "release";
  return "nothing";
}

class Agreement : public testing::TestWithParam<Case> {};

TEST_P(Agreement, ExplainSaysWhatTheDaemonDoes) {
  const Case& c = GetParam();
  Phone phone;
  phone.set(c.settings);
  phone.addEvent(c.event);
  phone.write(std::string(kBundleDirectory) + "/Mutarodh", "#!/bin/sh\n");
  const std::map<std::string, std::string> zone = {{"TZ", c.zone}};
  // The phone lives in the case's zone; explain reads its times there.
  ASSERT_TRUE(phone.run({"phonesim", "init", phone.root(), "--tz", c.zone}).exited(0));
  // Explain and the daemon both at the moment, on the real clock's pace from the very second
  // (the repeated hour has no local name of its own: from an offset).
  std::string clock = c.zone == kTestTimeZone ? "@" + localTimeStamp(c.at) : "+" + std::to_string(c.at - time(nullptr));
  Outcome explained = phone.run({"phonesim", "explain", phone.root(), "--at", "@" + std::to_string(c.at), "--json"},
                                {.clock = clock, .environment = zone});
  ASSERT_TRUE(explained.exited(0)) << explained.err;
  json says = json::parse(explained.out);
  ASSERT_EQ(says["events"].size(), 1u) << says.dump(1);
  EXPECT_EQ(says["events"][0]["verdict"], c.verdict);

  auto daemon = phone.start({"./Mutarod"}, {.clock = clock, .environment = zone}, phone.at("/daemon.log"));
  ASSERT_TRUE(eventually(20, [&] {
    std::string log = phone.read("/daemon.log");
    return contains(log, "] Exit ") || contains(log, "in the range of 60 seconds");
  }));
  daemon->signal(SIGTERM);
  daemon->wait(5);
  std::string log = phone.read("/daemon.log");
  EXPECT_EQ(firstPass(log), c.does);
  const std::map<std::string, std::string> words = {
      {"start", "silence the phone"}, {"revert", "give the sounds back"}, {"release", "release"}, {"nothing", "nothing"}};
  EXPECT_TRUE(contains(says["daemon"]["action"].get<std::string>(), words.at(c.does))) << says["daemon"];
  // The first wake the daemon schedules is the one explain names.
  std::vector<time_t> scheduled = readHistory(log, 0).scheduledWakes;
  EXPECT_EQ(says["nextWake"].is_null() ? 0 : says["nextWake"]["seconds"].get<time_t>(),
            scheduled.empty() ? 0 : scheduled.front());
}

INSTANTIATE_TEST_SUITE_P(
    Events, Agreement,
    testing::Values(
        Case{"Busy", {kNine, kTen}, json::object(), at("09:30:00"), "silences", "start"},
        Case{"Free", {kNine, kTen, 1}, json::object(), at("09:30:00"), "free and no !silent", "nothing"},
        Case{"FreeMarkedSilent", {kNine, kTen, 1, "!silent"}, json::object(), at("09:30:00"), "silences", "start"},
        Case{"FreeMarkedCapitalSilent", {kNine, kTen, 1, "!Silent"}, json::object(), at("09:30:00"), "free and no !silent", "nothing"},
        Case{"RingInAnyCase", {kNine, kTen, 0, "!silent !rInG"}, json::object(), at("09:30:00"), "!RING in notes", "nothing"},
        Case{"AllDay", {kNine, kTen, 0, std::nullopt, 1, true}, json::object(), at("09:30:00"), "all-day", "nothing"},
        Case{"OtherCalendar", {kNine, kTen, 0, std::nullopt, 2}, {{kCalendarID, 1}}, at("09:30:00"), "other calendar", "nothing"},
        Case{"RecurringOccurrence", {.start = kNine - kWeek, .end = kTen - kWeek, .occurrences = {kNine}}, {}, at("09:30:00"), "silences", "start"},
        Case{"StartAtItsSecond", {kNine, kTen}, json::object(), at("09:00:00"), "silences", "start"},
        Case{"EndAtItsSecond", {kNine, kTen}, {{kEventInProgress, true}}, at("10:00:00"), "silences", "nothing"},
        Case{"ASecondAfterTheEnd", {kNine, kTen}, {{kEventInProgress, true}}, at("10:00:01"), "ended", "revert"},
        Case{"NotStarted", {kNine, kTen}, json::object(), at("08:00:00"), "not started", "nothing"},
        Case{"ReleasedEventEnds", {kNine, kTen}, {{kEventInProgress, true}, {kDisableEventSwitch, true}}, at("10:30:00"), "ended", "release"},
        // The release covers what had started when the daemon last found the phone silenced.
        Case{"AStartAfterTheRelease", {kNine, kTen},
             {{kEventInProgress, true}, {kDisableEventSwitch, true}, {kSilencedCheckedAt, std::to_string(at("08:50:00"))}},
             at("09:30:00"), "silences", "start"},
        Case{"DisabledDuringAnEvent", {kNine, kTen}, {{kEventInProgress, true}, {kEnabledSwitch, false}}, at("09:30:00"), "silences", "revert"},
        // The repeated hour of the autumn clock change: the occurrence of the first 01:30 is over by the second.
        Case{"AutumnClockChange", {.start = kFallBack - kWeek, .end = kFallBack - kWeek + 600, .occurrences = {kFallBack}},
             json::object(), kFallBack + 3600 + 300, "ended", "nothing", "America/New_York"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
