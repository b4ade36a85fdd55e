// What starts the daemon of a booted phone besides its wakes: calendar writes, the
// application's switches, a clock set back or forward. Each change is followed within 15 s of
// phone time; a quiet phone starts it no more than its wakes do, and a storm of writes at most
// twice.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "settings-store/SettingsChanged.h"
#include "tests/support/Phone.h"

namespace {

constexpr time_t kFollowSeconds = 15;
constexpr const char* kClockSet = "com.apple.system.clock_set";

std::string calendarSeconds(time_t unixSeconds) { return std::to_string(unixSeconds - 978307200); }

struct Row {
  const char* name;
  Event event;                  // in the calendar before the boot
  json settings;                // set before the boot
  const char* boot;             // the phone's time at boot
  const char* change;           // the phone's time of the change, once the boot run is done (and,
                                // for a boundary, over a minute before it: the daemon moves its wake)
  std::function<void(Phone&, long long)> act;  // the change; gets the event's row id
  const char* boundary;         // the change takes effect here at the earliest ("": at once)
  bool silencedAfter;
  const char* trigger;          // what the launcher starts the daemon for
};
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

void waitUntil(const Phone& phone, time_t phoneTime) {
  while (phone.now() < phoneTime) std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

// The daemon has silenced the phone: the switcher made the marker (the status-bar image
// follows within SpringBoard's 5-second poll). Read from the files directly: a phonesim status
// takes seconds of a fast phone's time.
bool silencing(const Phone& phone) {
  auto settings = phone.plist(kSettingsPath);
  return settings && settings->boolForKey(kEventInProgress) == true && phone.exists(kMarkerPath);
}

// Whether `silenced` holds by the phone's time `deadline`.
bool silencingBy(const Phone& phone, bool silenced, time_t deadline) {
  bool now = !silenced;
  eventually(1e6, [&] {
    bool late = phone.now() > deadline;
    now = silencing(phone);
    return now == silenced || late;
  });
  return now == silenced;
}

void tap(Phone& phone, const char* title) {
  ASSERT_TRUE(phone.run({"tap-switch", title}, {.clock = phone.clock()}).exited(0));
}

class DaemonTriggers : public testing::TestWithParam<Row> {};

TEST_P(DaemonTriggers, TheChangeIsFollowedWithinFifteenSeconds) {
  const Row& row = GetParam();
  Phone phone;
  phone.set(row.settings);
  long long id = phone.addEvent(row.event);
  phone.boot(todayAt(row.boot), kBootSpeed);
  // By then the boot run has ended, its boundary more than a minute ahead.
  waitUntil(phone, todayAt(row.change));
  ASSERT_EQ(silencing(phone), !row.silencedAfter);

  row.act(phone, id);
  const time_t changed = phone.now();
  const time_t due = std::max(changed, *row.boundary ? todayAt(row.boundary) : changed) + kFollowSeconds;
  EXPECT_TRUE(silencingBy(phone, row.silencedAfter, due)) << phone.status().dump(1);
  std::vector<std::string> starts = phone.daemonStarts();
  EXPECT_GE(std::count(starts.begin(), starts.end(), row.trigger), 1) << testing::PrintToString(starts);
}

const Event kRunning = {todayAt("09:00:00"), todayAt("09:10:00")};

INSTANTIATE_TEST_SUITE_P(
    Rows, DaemonTriggers,
    testing::Values(
        Row{"LateEvent", {todayAt("12:00:00"), todayAt("12:05:00")}, json::object(), "09:00:00", "09:00:20",
            [](Phone& phone, long long) { phone.addEvent({todayAt("09:01:30"), todayAt("09:04:00")}); }, "09:01:30", true, "path"},
        Row{"MovedEarlier", {todayAt("12:00:00"), todayAt("12:05:00")}, json::object(), "09:00:00", "09:00:20",
            [](Phone& phone, long long id) {
              phone.sql("UPDATE CalendarItem SET start_date = " + calendarSeconds(todayAt("09:01:30")) + ", end_date = " +
                        calendarSeconds(todayAt("09:04:00")) + " WHERE ROWID = " + std::to_string(id));
            },
            "09:01:30", true, "path"},
        Row{"Deleted", kRunning, json::object(), "09:00:00", "09:01:00",
            [](Phone& phone, long long id) { phone.sql("DELETE FROM CalendarItem WHERE ROWID = " + std::to_string(id)); }, "", false, "path"},
        Row{"MarkedSilent", {todayAt("09:00:00"), todayAt("09:10:00"), 1}, json::object(), "09:00:00", "09:01:00",
            [](Phone& phone, long long id) {
              phone.sql("UPDATE CalendarItem SET description = '!silent' WHERE ROWID = " + std::to_string(id));
            },
            "", true, "path"},
        Row{"CalendarChosen", kRunning, {{kCalendarID, 2}}, "09:00:00", "09:01:00",
            [](Phone& phone, long long) {
              ASSERT_TRUE(phone.run({"phonesim", "set", phone.root(), "CalendarID=1"}, {.clock = phone.clock()}).exited(0));
            },
            "", true, kSettingsChangedNotification},
        Row{"EnabledOn", kRunning, {{kEnabledSwitch, false}}, "09:00:00", "09:01:00",
            [](Phone& phone, long long) { tap(phone, "Enabled"); }, "", true, kSettingsChangedNotification},
        Row{"DisableEventOff", kRunning, {{kEventInProgress, true}, {kDisableEventSwitch, true}}, "09:00:00", "09:01:00",
            [](Phone& phone, long long) { tap(phone, "Disable Event"); }, "", true, kSettingsChangedNotification},
        Row{"ClockBackAnHour", kRunning, json::object(), "10:00:30", "10:01:00",
            [](Phone& phone, long long) { phone.setClock(phone.now() - 3600); }, "", true, kClockSet},
        Row{"ClockForwardAnHour", kRunning, json::object(), "08:00:30", "08:01:00",
            [](Phone& phone, long long) { phone.setClock(phone.now() + 3600); }, "", true, kClockSet}),
    [](const testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

// Twenty phone minutes with two events: the boot and the wakes start the daemon, nothing else
// (its own reads and writes start it again).
TEST(DaemonStarts, AQuietPhoneStartsItOnlyAtBootAndItsWakes) {
  Phone phone;
  phone.addEvent({todayAt("09:05:00"), todayAt("09:08:00")});
  phone.addEvent({todayAt("09:14:00"), todayAt("09:16:00")});
  phone.boot(todayAt("09:00:00"), kBootSpeed);
  waitUntil(phone, todayAt("09:20:00"));
  EXPECT_TRUE(released(phone.status()));
  EXPECT_EQ(phone.daemonStarts(), (std::vector<std::string>{"load", "wake", "wake", "wake", "wake"}));
}

// 100 calendar writes within 10 s: one start at the first, one after the throttle interval for
// all the rest.
TEST(DaemonStarts, AStormOfCalendarWritesStartsItAtMostTwice) {
  constexpr int kSpeed = 2;  // the writes must fit in 10 phone seconds on a loaded machine
  Phone phone;
  phone.boot(todayAt("09:00:00"), kSpeed);
  waitUntil(phone, todayAt("09:00:30"));
  const auto first = std::chrono::steady_clock::now();
  const auto spacing = std::chrono::milliseconds(9000 / kSpeed / 100);
  for (int write = 0; write < 100; ++write) {
    std::this_thread::sleep_until(first + write * spacing);
    phone.addEvent({todayAt("12:00:00") + write * 60, todayAt("12:00:30") + write * 60});
  }
  const double stormSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - first).count() * kSpeed;
  ASSERT_LE(stormSeconds, 10) << "the machine was too slow for the storm";
  waitUntil(phone, phone.now() + 20);
  std::vector<std::string> starts = phone.daemonStarts();
  EXPECT_LE(std::count(starts.begin(), starts.end(), "path"), 2) << testing::PrintToString(starts);
  EXPECT_GE(std::count(starts.begin(), starts.end(), "path"), 1);
}

}  // namespace
