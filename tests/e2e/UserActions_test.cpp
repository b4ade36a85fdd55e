// What the user and the phone do during an event on a booted phone: the settings
// application's switches, and a daemon killed halfway.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>

#include "tests/support/Phone.h"

namespace {

class UserActions : public testing::Test {
 protected:
  void SetUp() override {
    phone.set({{kEnableProfilesSwitch, true}, {kVibrateSwitch, false}, {kNewmailSwitch, false}, {kSMSSwitch, false}});
    before = phone.sounds();
    phone.addEvent({todayAt("09:00:00"), todayAt("09:02:00")});
  }
  // Booted, silenced, and the daemon gone until the event's end.
  void bootIntoTheEvent() {
    phone.boot(todayAt("08:59:30"), kBootSpeed);
    json s;
    ASSERT_TRUE(phone.waitFor(silenced, todayAt("09:01:20"), &s)) << s.dump(1);
    ASSERT_TRUE(phone.waitFor([](const json& st) { return st["powerAssertions"].empty(); }, todayAt("09:01:45")));
  }
  void tap(const char* title) { ASSERT_TRUE(phone.run({"tap-switch", title}, {.clock = phone.clock()}).exited(0)); }

  Phone phone;
  Sounds before;
};

TEST_F(UserActions, DisableEventRestoresAtOnceAndTheEventsEndRevertsNothing) {
  bootIntoTheEvent();
  tap("Disable Event");
  EXPECT_FALSE(phone.exists(kMarkerPath));
  EXPECT_EQ(phone.setting(kDisableEventSwitch), true);
  EXPECT_EQ(phone.setting(kEventInProgress), true) << "the event stays in progress";
  EXPECT_EQ(phone.sounds(), before);
  ASSERT_TRUE(phone.waitFor(
      [](const json& st) { return st["settings"][kEventInProgress] == false && st["settings"][kDisableEventSwitch] == false; },
      todayAt("09:03:30")));
  EXPECT_EQ(phone.count("Not reverting - Current Event was disabled"), 1);
  EXPECT_EQ(phone.count("Reverted"), 0) << "no second revert at the event's end";
  EXPECT_EQ(phone.sounds(), before);
}

// A release covers the events in progress when it is given: a meeting that starts after it, right
// after the released one or during it, is silenced at its start and given back at its end.
TEST_F(UserActions, AReleaseLeavesAMeetingThatStartsLaterToBeSilenced) {
  for (const char* next : {"09:03:00", "09:02:00"}) {
    SCOPED_TRACE(next);
    Phone phone;
    phone.set({{kEnableProfilesSwitch, true}, {kVibrateSwitch, false}, {kSMSSwitch, false}});
    const Sounds own = phone.sounds();
    phone.addEvent({todayAt("09:00:00"), todayAt("09:03:00")});
    phone.addEvent({todayAt(next), todayAt("09:04:00")});
    phone.boot(todayAt("08:59:30"), kBootSpeed);
    json s;
    ASSERT_TRUE(phone.waitFor(silenced, todayAt("09:00:45"), &s)) << s.dump(1);
    // The daemon is gone: the silence is complete before the tap.
    ASSERT_TRUE(phone.waitFor([](const json& st) { return st["powerAssertions"].empty(); }, todayAt("09:01:00")));
    ASSERT_TRUE(phone.run({"tap-switch", "Disable Event"}, {.clock = phone.clock()}).exited(0));
    ASSERT_LT(phone.now(), todayAt(next)) << "the release came too late to test";
    EXPECT_FALSE(phone.exists(kMarkerPath));
    ASSERT_TRUE(phone.waitFor(silenced, todayAt(next) + 15, &s)) << s.dump(1);
    EXPECT_FALSE(phone.waitFor(released, todayAt("09:03:55"), &s)) << s.dump(1);
    ASSERT_TRUE(phone.waitFor(released, todayAt("09:04:40"), &s)) << s.dump(1);
    EXPECT_EQ(phone.sounds(), own);
    phone.shutdown();
  }
}

TEST_F(UserActions, EnabledOffRestoresAtOnceAndTheDaemonStaysAway) {
  bootIntoTheEvent();
  tap("Enabled");
  EXPECT_FALSE(phone.exists(kMarkerPath));
  EXPECT_EQ(phone.setting(kEventInProgress), false);
  EXPECT_EQ(phone.sounds(), before);
  // The wake at the event's end starts the daemon, which finds itself disabled.
  ASSERT_TRUE(phone.waitFor([&](const json&) { return phone.count("Exit Application. Mutaro is disabled") > 0; },
                            todayAt("09:03:30")));
  EXPECT_EQ(phone.count("Reverted"), 0);
  EXPECT_EQ(phone.sounds(), before);
}

TEST_F(UserActions, ADaemonKilledAfterItsRevertBeforeItsStateWriteIsMendedByTheNextRun) {
  // A switcher that, the first time it reverts, kills the daemon that ran it once it is done.
  const std::string bundle = phone.at(kBundleDirectory);
  std::rename((bundle + "/Mutarodh").c_str(), (bundle + "/Mutarodh.real").c_str());
  phone.write(std::string(kBundleDirectory) + "/Mutarodh",
              "#!/bin/sh\n./Mutarodh.real \"$@\"\n"
              "if [ \"$1\" = 0 ] && [ ! -e killed-once ]; then\n  touch killed-once\n  daemon=$PPID\n"
              "  [ \"$(cat /proc/$daemon/comm)\" = Mutarod ] || daemon=$(awk '/^PPid:/ {print $2}' /proc/$daemon/status)\n"
              "  kill -KILL \"$daemon\"\nfi\n");
  chmod((bundle + "/Mutarodh").c_str(), 0755);
  bootIntoTheEvent();
  json s;
  ASSERT_TRUE(phone.waitFor([&](const json&) { return phone.exists(std::string(kBundleDirectory) + "/killed-once"); },
                            todayAt("09:03:30")));
  ASSERT_TRUE(phone.waitFor([](const json& st) { return st["powerAssertions"].empty(); }, todayAt("09:04:00"), &s));
  EXPECT_EQ(s["settings"][kEventInProgress], true) << "the state write was lost with the daemon";

  // Started again, the daemon finds the event over and reverts once more.
  time_t resume = phone.now();
  phone.shutdown();
  phone.boot(resume, kBootSpeed);
  ASSERT_TRUE(phone.waitFor(released, resume + 90, &s)) << s.dump(1);
  EXPECT_EQ(phone.count("Reverted"), 2);
  EXPECT_EQ(phone.sounds(), before);
}

// Stopping a booted phone ends everything it started, a switcher halfway through included; a
// phone runs one boot at a time, and only a phone made by phonesim init boots.
TEST(Boot, StopsEverythingItStartedAndRunsOnlyOnAPhoneOfItsOwn) {
  Phone phone;
  phone.write(std::string(kBundleDirectory) + "/Mutarodh", "#!/bin/sh\necho $$ > switcher.pid\nexec sleep 600\n");
  chmod(phone.at(std::string(kBundleDirectory) + "/Mutarodh").c_str(), 0755);
  phone.addEvent({localTime("2026-12-07 09:00:00"), localTime("2026-12-07 09:02:00")});
  phone.boot(todayAt("09:00:10"), kBootSpeed);
  const std::string pidFile = std::string(kBundleDirectory) + "/switcher.pid";
  ASSERT_TRUE(eventually(10, [&] { return !phone.read(pidFile).empty(); }));
  Outcome second = phone.run({"phonesim", "boot", phone.root()});
  EXPECT_TRUE(second.exited(1));
  EXPECT_NE(second.err.find("is already booted"), std::string::npos) << second.err;

  auto stopping = std::chrono::steady_clock::now();
  phone.shutdown();  // gives up, and kills what is left, after 20 s
  EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::seconds(10)) << "the switcher outlived its phone";
  EXPECT_NE(kill(std::stoi(phone.read(pidFile)), 0), 0);
  Outcome notAPhone = phone.run({"phonesim", "boot", phone.at(kBundleDirectory)});
  EXPECT_TRUE(notAPhone.exited(1));
  EXPECT_NE(notAPhone.err.find("is not a simulated phone"), std::string::npos) << notAPhone.err;
}

}  // namespace
