// What the user and the phone do during an event: the settings application's switches, and a
// daemon killed halfway.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "settings-store/SettingsKeys.h"
#include "tests/e2e/SimulatedPhone.h"

namespace {

using nlohmann::json;

// The phone's clock runs this much faster than the real one (see EventRoad_test.cpp).
constexpr int kSpeed = 20;

class UserActionsTest : public testing::Test {
 protected:
  void SetUp() override {
    phone.setSetting(kEnableProfilesSwitch, true);
    phone.setSetting(kVibrateSwitch, false);
    phone.setSetting(kNewmailSwitch, false);
    phone.setSetting(kSMSSwitch, false);
    before = phone.sounds();
    phone.addEvent(nine, nineTen);
  }

  bool settingIs(const json& s, const char* key, bool value) {
    return s["settings"].contains(key) && s["settings"][key] == value;
  }

  SimulatedPhone phone;
  Sounds before;
  const time_t nine = SimulatedPhone::localTime(9, 0);
  const time_t nineTen = SimulatedPhone::localTime(9, 10);
};

TEST_F(UserActionsTest, DisableEventRestoresAtOnceAndTheEventsEndRevertsNothing) {
  json s;
  phone.boot(nine - 40, kSpeed);
  ASSERT_TRUE(phone.waitFor(silenced, nine + 60, &s)) << s.dump(1);
  ASSERT_TRUE(phone.waitFor([](const json& st) { return st["powerAssertions"].empty(); }, nine + 120));

  ASSERT_EQ(phone.runOnPhoneClock({"tap-switch", "Disable Event"}), 0);
  s = phone.status();
  EXPECT_FALSE(s["marker"]);
  EXPECT_TRUE(settingIs(s, kDisableEventSwitch, true));
  EXPECT_TRUE(settingIs(s, kEventInProgress, true)) << "the event stays in progress";
  EXPECT_EQ(phone.sounds(), before);

  ASSERT_TRUE(phone.waitFor(
      [&](const json& st) { return settingIs(st, kEventInProgress, false) && settingIs(st, kDisableEventSwitch, false); },
      nineTen + 60, &s))
      << s.dump(1);
  EXPECT_EQ(phone.count("Not reverting - Current Event was disabled"), 1);
  EXPECT_EQ(phone.count("Reverted"), 0) << "no second revert at the event's end";
  EXPECT_EQ(phone.sounds(), before);
}

TEST_F(UserActionsTest, EnabledOffRestoresAtOnceAndTheDaemonStaysAway) {
  json s;
  phone.boot(nine - 40, kSpeed);
  ASSERT_TRUE(phone.waitFor(silenced, nine + 60, &s)) << s.dump(1);
  ASSERT_TRUE(phone.waitFor([](const json& st) { return st["powerAssertions"].empty(); }, nine + 120));

  ASSERT_EQ(phone.runOnPhoneClock({"tap-switch", "Enabled"}), 0);
  s = phone.status();
  EXPECT_FALSE(s["marker"]);
  EXPECT_TRUE(settingIs(s, kEnabledSwitch, false));
  EXPECT_TRUE(settingIs(s, kEventInProgress, false));
  EXPECT_EQ(phone.sounds(), before);

  // The wake at the event's end starts the daemon, which finds itself disabled.
  ASSERT_TRUE(phone.waitFor([&](const json&) { return phone.count("Exit Application. Mutaro is disabled") > 0; },
                            nineTen + 60, &s));
  EXPECT_EQ(phone.count("Reverted"), 0);
  EXPECT_EQ(phone.sounds(), before);
}

TEST_F(UserActionsTest, ADaemonKilledAfterTheRevertBeforeItsStateWriteIsMendedByTheNextRun) {
  // A switcher that, the first time it reverts, kills the daemon that ran it once it is done.
  const std::string bundle = phone.at("/Applications/Mutaro.app");
  std::filesystem::rename(bundle + "/Mutarodh", bundle + "/Mutarodh.real");
  {
    std::ofstream wrapper(bundle + "/Mutarodh");
    wrapper << "#!/bin/sh\n"
               "./Mutarodh.real \"$@\"\n"
               "if [ \"$1\" = 0 ] && [ ! -e killed-once ]; then\n"
               "  touch killed-once\n"
               "  daemon=$PPID\n"
               "  [ \"$(cat /proc/$daemon/comm)\" = Mutarod ] || daemon=$(awk '/^PPid:/ {print $2}' /proc/$daemon/status)\n"
               "  kill -KILL \"$daemon\"\n"
               "fi\n";
  }
  chmod((bundle + "/Mutarodh").c_str(), 0755);

  json s;
  phone.boot(nine - 40, kSpeed);
  ASSERT_TRUE(phone.waitFor(silenced, nine + 60, &s)) << s.dump(1);
  ASSERT_TRUE(phone.waitFor([&](const json&) { return std::filesystem::exists(bundle + "/killed-once"); },
                            nineTen + 60));
  ASSERT_TRUE(phone.waitFor([](const json& st) { return st["powerAssertions"].empty(); }, nineTen + 120, &s));
  EXPECT_TRUE(settingIs(s, kEventInProgress, true)) << "the state write was lost with the daemon";

  // Started again, the daemon finds the event over and reverts once more.
  time_t resume = phone.now();
  phone.shutdown();
  phone.boot(resume, kSpeed);
  ASSERT_TRUE(phone.waitFor(released, resume + 60, &s)) << s.dump(1);
  EXPECT_EQ(phone.count("Reverted"), 2);
  EXPECT_EQ(phone.sounds(), before);
}

}  // namespace
