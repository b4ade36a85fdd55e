// A settings file that cannot be read as a dictionary, and writers killed at random moments:
// nothing crashes or hangs, the fallbacks hold, and the file is never rewritten or left broken.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "settings-store/SettingsStore.h"
#include "tests/support/Phone.h"

namespace {

// The wrong types for what the programs read: every key reads as absent.
const std::vector<BadFile> kBadSettings = badFiles(
    "<plist><dict><key>EnabledSwitch</key><string>yes</string><key>EventInProgress</key><array/>"
    "<key>CalendarID</key><dict/><key>EnableProfilesSwitch</key><date>2026-12-07T09:00:00Z</date></dict></plist>");

// Every kind of bad file through the accessors, in this process: each key reads as absent and
// nothing is written.
TEST(UnreadableSettings, TheAccessorsReadAbsentAndWriteNothing) {
  Phone phone;
  for (const BadFile& bad : kBadSettings) {
    phone.plant(kSettingsPath, bad);
    const std::string planted = phone.shape(kSettingsPath);
    bool flag = true;
    int32_t number = 42;
    EXPECT_FALSE(readPlistBool(kEnabledSwitch, &flag));
    EXPECT_FALSE(readPlistNumber(kCalendarID, &number));
    EXPECT_TRUE(flag && number == 42) << bad.name;
    EXPECT_EQ(readPlistString("Padding"), nullptr);
    updatePlistBool(kEventInProgress, true);
    updatePlistString(kSavedRingtone, nullptr);
    // A readable file may be rewritten, keeping the wrong types.
    EXPECT_TRUE(bad.readable ? phone.setting(kEnabledSwitch) == "yes" : phone.shape(kSettingsPath) == planted) << bad.name;
    EXPECT_FALSE(phone.exists(kSettingsLockPath)) << bad.name;
  }
}

// The programs on a file that is no regular file, or has the wrong value types.
class UnreadableSettings : public testing::TestWithParam<BadFile> {};

TEST_P(UnreadableSettings, TheDaemonEndsAsDisabledAndTheSwitcherUsesTheFallbacks) {
  Phone phone;
  phone.plant(kSettingsPath, GetParam());
  const std::string planted = phone.shape(kSettingsPath);
  Outcome run = phone.daemon();
  ASSERT_TRUE(run.exited(0)) << run.err;
  EXPECT_TRUE(contains(run.err, "] Exit Application. Mutaro is disabled"));
  EXPECT_FALSE(contains(run.err, "Checking for event"));

  ASSERT_TRUE(phone.switcher("1").exited(0));
  json state = phone.status();
  EXPECT_TRUE(state["marker"]);
  EXPECT_EQ(state["ringerState"], 0) << "silent-phone mode";
  Outcome revert = phone.switcher("0");
  ASSERT_TRUE(revert.exited(0));
  if (!GetParam().readable) EXPECT_TRUE(contains(revert.out, "Set volume to: 0.500000")) << "no volume was stored";
  EXPECT_FALSE(phone.status()["marker"]);
  EXPECT_TRUE(GetParam().readable ? phone.setting(kEnabledSwitch) == "yes" : phone.shape(kSettingsPath) == planted);
  EXPECT_FALSE(phone.exists(kSettingsLockPath));
}

// Unparsable and too-deep files meet the same reader as above.
std::vector<BadFile> waysIn() {
  std::vector<BadFile> rows;
  std::copy_if(kBadSettings.begin(), kBadSettings.end(), std::back_inserter(rows),
               [](const BadFile& bad) { return bad.name == "Fifo" || bad.readable; });
  return rows;
}

INSTANTIATE_TEST_SUITE_P(Faults, UnreadableSettings, testing::ValuesIn(waysIn()),
                         [](const auto& info) { return info.param.name; });

// Three writers at once on a clock 20 times fast (a lock left by a killed writer then costs the
// others 0.15 s), one of them killed every few milliseconds and started again: the file
// parses after every kill and keeps every key.
TEST(KilledWriters, LeaveTheSettingsFileWhole) {
  Phone phone;
  auto writer = [&](int id) {
    return phone.start({"settings-writer", std::to_string(id)}, {.clock = "+0 x20"}, "/dev/null");
  };
  std::vector<std::unique_ptr<Process>> writers;
  for (int id = 0; id < 3; ++id) writers.push_back(writer(id));
  std::mt19937 random(20261207);
  for (int kill = 0; kill < 150; ++kill) {
    usleep(std::uniform_int_distribution<int>(500, 10000)(random));
    int victim = std::uniform_int_distribution<int>(0, 2)(random);
    writers[victim]->signal(SIGKILL);
    ASSERT_TRUE(writers[victim]->wait(5));
    ASSERT_EQ(phone.setting(kEnabledSwitch), true) << "after kill " << kill;
    writers[victim] = writer(victim);
  }
  writers.clear();
  EXPECT_EQ(phone.setting(kEnabledSwitch), true);
  EXPECT_TRUE(phone.setting("Writer0Number").is_number());
}

}  // namespace
