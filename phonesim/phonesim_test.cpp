// phonesim init, status and event, run as the built program.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/support/Phone.h"

namespace {

namespace fs = std::filesystem;

TEST(PhonesimInit, LaysOutAPhoneThatReportsTheDefaults) {
  Phone phone;
  EXPECT_EQ(fs::read_symlink(phone.at("/var")), "private/var");
  json state = phone.status();
  EXPECT_EQ(state["volume"], 0.75);
  EXPECT_EQ(state["ringerState"], nullptr);
  for (const char* list : {"statusBarImages", "powerAssertions", "wakes", "announcements", "notifications"}) {
    EXPECT_EQ(state[list], json::array()) << list;
  }
  EXPECT_EQ(state["eventInProgress"], false);
  EXPECT_EQ(state["settings"][kEnabledSwitch], true);
  EXPECT_EQ(phone.read(kSettingsPath), phone.read(kSettingsBackupPath));
  EXPECT_EQ(fs::status(phone.at(kSettingsPath)).permissions(), fs::perms::all);
  EXPECT_NE(phone.read(kSmsTonePath), phone.read(kSilentSmsTonePath)) << "the system's tone is audible";
  auto job = phone.plist("/Library/LaunchDaemons/com.velbrant.mutarod.plist");
  EXPECT_EQ(job->stringForKey("WorkingDirectory"), "/Applications/Mutaro.app");
}

TEST(PhonesimInit, RefusesRootsAShellWouldSplitAndAgainKeepsThePhonesData) {
  Phone phone("4.3");
  for (const std::string& bad : {phone.root() + "/a b", phone.root() + "/a;b", phone.root() + "/a$(true)"}) {
    EXPECT_NE(phone.run({"phonesim", "init", bad}).status, 0);
    EXPECT_FALSE(fs::exists(bad));
  }
  EXPECT_NE(phone.run({"phonesim", "init", phone.root(), "--ios", "seven"}).status, 0);
  EXPECT_NE(phone.run({"phonesim", "status", phone.root() + "/never-made"}).status, 0);

  phone.set({{kEnabledSwitch, false}});
  phone.addEvent({.start = 100, .end = 200});
  phone.remove(std::string(kBundleDirectory) + "/CopyFile");
  ASSERT_TRUE(phone.run({"phonesim", "init", phone.root(), "--ios", "7.0.4"}).exited(0));
  EXPECT_EQ(phone.setting(kEnabledSwitch), false);
  EXPECT_TRUE(phone.exists(std::string(kBundleDirectory) + "/CopyFile"));
  EXPECT_NO_THROW(phone.sql("SELECT 1 FROM CalendarItem; SELECT 1 FROM event"));
  EXPECT_EQ(phone.plist("/System/Library/CoreServices/SystemVersion.plist")->stringForKey("ProductVersion"), "7.0.4");
}

TEST(PhonesimEvent, AddsARecurringEventWhoseOccurrencesTheDaemonReads) {
  Phone phone;
  const time_t start = localTime("2026-11-30 09:00:00");
  ASSERT_TRUE(phone.run({"phonesim", "event", phone.root(), "--start", std::to_string(start), "--end",
                         std::to_string(start + 600), "--every", "604800", "--count", "3", "--calendar", "2"})
                  .exited(0));
  Outcome daemon = phone.daemon(clockAt("2026-12-07 09:05:00", 20));
  EXPECT_NE(daemon.err.find("**** Found event2"), std::string::npos) << daemon.err;
  EXPECT_NE(phone.run({"phonesim", "event", phone.root(), "--start", "+60", "--end", "+0"}).status, 0);
}

}  // namespace
