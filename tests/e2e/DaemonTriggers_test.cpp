// What starts the daemon of a booted phone besides its wakes: calendar writes, the
// application's switches, a clock set back or forward. Each change is followed within 15 s of
// phone time; a quiet phone starts it no more than its wakes do, a storm of writes at most twice.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <thread>

#include "settings-store/SettingsChanged.h"
#include "tests/support/Phone.h"

namespace {

void waitUntil(const Phone& phone, time_t phoneTime) {
  while (phone.now() < phoneTime) std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

// The switcher has made the marker for the daemon's event. Read from the files: a phonesim
// status takes seconds of a fast phone's time.
bool silencing(const Phone& phone) {
  auto settings = phone.plist(kSettingsPath);
  return settings && settings->boolForKey(kEventInProgress) == true && phone.exists(kMarkerPath);
}

struct Row {
  const char* name;
  json settings;     // before the boot at 09:00, with an event of 09:00 to 09:10
  int availability;
  const char* change;  // when the change comes; a boundary it makes lies at 09:01:30
  std::function<void(Phone&, long long)> act;  // gets the event's row id
  const char* trigger;  // what the launcher starts the daemon for
};
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

class DaemonTriggers : public testing::TestWithParam<Row> {};

TEST_P(DaemonTriggers, TheChangeIsFollowedWithinFifteenSeconds) {
  const Row& row = GetParam();
  Phone phone;
  phone.set(row.settings);
  long long id = phone.addEvent({todayAt("09:00:00"), todayAt("09:10:00"), row.availability});
  phone.boot(todayAt("09:00:00"), kBootSpeed);
  waitUntil(phone, todayAt(row.change));  // the boot run is over by then
  ASSERT_FALSE(silencing(phone));

  row.act(phone, id);
  const time_t changed = phone.now();
  // A late event starts at 09:01:30: over a minute after the change, so the daemon moves its wake.
  const time_t due = std::max(changed, std::string(row.change) < "09:01" ? todayAt("09:01:30") : changed) + 15;
  bool now = false;
  eventually(1e6, [&] {
    bool late = phone.now() > due;
    return (now = silencing(phone)) || late;
  });
  EXPECT_TRUE(now) << phone.status().dump(1);
  std::vector<std::string> starts = phone.daemonStarts();
  EXPECT_GE(std::count(starts.begin(), starts.end(), row.trigger), 1) << testing::PrintToString(starts);
}

void tap(Phone& phone, const char* title) { ASSERT_TRUE(phone.run({"tap-switch", title}, {.clock = phone.clock()}).exited(0)); }
constexpr const char* kClockSet = "com.apple.system.clock_set";

INSTANTIATE_TEST_SUITE_P(
    Rows, DaemonTriggers,
    testing::Values(
        Row{"LateEvent", {{kEnabledSwitch, true}}, 1, "09:00:20",
            [](Phone& phone, long long) {
              Outcome added = phone.run({"phonesim", "event", phone.root(), "--start", "@" + std::to_string(todayAt("09:01:30")),
                                         "--end", "@" + std::to_string(todayAt("09:04:00"))},
                                        {.clock = phone.clock()});
              EXPECT_NE(added.out.find("the launcher starts it when the calendar changes"), std::string::npos) << added.out;
            },
            "path"},
        Row{"CalendarChosen", {{kCalendarID, 2}}, 0, "09:01:00",
            [](Phone& phone, long long) {
              ASSERT_TRUE(phone.run({"phonesim", "set", phone.root(), "CalendarID=1"}, {.clock = phone.clock()}).exited(0));
            },
            kSettingsChangedNotification},
        Row{"EnabledOn", {{kEnabledSwitch, false}}, 0, "09:01:00", [](Phone& phone, long long) { tap(phone, "Enabled"); },
            kSettingsChangedNotification},
        Row{"DisableEventOff", {{kEventInProgress, true}, {kDisableEventSwitch, true}}, 0, "09:01:00",
            [](Phone& phone, long long) { tap(phone, "Disable Event"); }, kSettingsChangedNotification},
        // Forward from before the event, over its wake, into it.
        Row{"ClockForwardAnHour", {{kEnabledSwitch, true}}, 1, "09:00:20",
            [](Phone& phone, long long id) {
              phone.sql("UPDATE CalendarItem SET start_date = start_date + 3600, end_date = end_date + 3600, availability = 0 "
                        "WHERE ROWID = " + std::to_string(id));
              waitUntil(phone, todayAt("09:00:50"));
              phone.setClock(todayAt("10:01:00"));
            },
            kClockSet}),
    [](const testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

// Twenty phone minutes with two events: the boot and the wakes start the daemon, nothing else
// (its own reads and writes would start it again).
TEST(DaemonStarts, AQuietPhoneStartsItOnlyAtBootAndItsWakes) {
  Phone phone;
  phone.addEvent({todayAt("09:05:00"), todayAt("09:08:00")});
  phone.addEvent({todayAt("09:14:00"), todayAt("09:16:00")});
  phone.boot(todayAt("09:00:00"), kBootSpeed);
  waitUntil(phone, todayAt("09:20:00"));
  EXPECT_TRUE(released(phone.status()));
  EXPECT_EQ(phone.daemonStarts(), (std::vector<std::string>{"load", "wake", "wake", "wake", "wake"}));
}

// The daemon killed before it schedules a wake: started again, it keeps the rest of the day.
TEST(DaemonStarts, AKilledDaemonIsStartedAgainForTheLaterEvents) {
  constexpr int kSpeed = 10;  // the daemon started at load lives 100 phone seconds: ten real ones
  Phone phone;
  phone.addEvent({todayAt("09:00:50"), todayAt("09:01:40")});
  phone.addEvent({todayAt("09:03:00"), todayAt("09:04:00")});
  phone.boot(todayAt("09:00:00"), kSpeed);
  std::vector<pid_t> daemons;
  eventually(1e6, [&] { return !(daemons = phone.running("Mutarod")).empty() || phone.now() > todayAt("09:00:40"); });
  ASSERT_EQ(daemons.size(), 1u) << "the machine was too slow to find the daemon before its event";
  kill(daemons[0], SIGKILL);

  waitUntil(phone, todayAt("09:02:30"));
  json last = phone.status();
  EXPECT_TRUE(released(last)) << last.dump(1);
  EXPECT_TRUE(phone.waitFor(silenced, todayAt("09:03:15"), &last)) << last.dump(1);
  EXPECT_TRUE(phone.waitFor(released, todayAt("09:04:15"), &last)) << last.dump(1);
  std::vector<std::string> starts = phone.daemonStarts();
  EXPECT_EQ(std::count(starts.begin(), starts.end(), "keepalive"), 1) << testing::PrintToString(starts);
}

// 100 calendar writes within 10 s: one start for the first, one after the throttle interval
// for all the rest.
TEST(DaemonStarts, AStormOfCalendarWritesStartsItAtMostTwice) {
  constexpr int kSpeed = 2;  // the writes must fit in 10 phone seconds on a loaded machine
  Phone phone;
  phone.boot(todayAt("09:00:00"), kSpeed);
  waitUntil(phone, todayAt("09:00:30"));
  const auto first = std::chrono::steady_clock::now();
  for (int write = 0; write < 100; ++write) {
    std::this_thread::sleep_until(first + write * std::chrono::milliseconds(9000 / kSpeed / 100));
    phone.addEvent({todayAt("12:00:00") + write * 60, todayAt("12:00:30") + write * 60});
  }
  ASSERT_LE(std::chrono::duration<double>(std::chrono::steady_clock::now() - first).count() * kSpeed, 10)
      << "the machine was too slow for the storm";
  waitUntil(phone, phone.now() + 20);
  std::vector<std::string> starts = phone.daemonStarts();
  const auto paths = std::count(starts.begin(), starts.end(), "path");
  EXPECT_TRUE(paths == 1 || paths == 2) << testing::PrintToString(starts);
}

}  // namespace
