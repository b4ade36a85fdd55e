// An event on a booted phone, from wake to wake: the switcher silences, SpringBoard shows the
// image, the sounds come back. The event lasts minutes, on a fast clock.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/Phone.h"

namespace {

// In user-profile mode the switcher's command lines copy and delete files under the root. Here
// the root holds a blank and shell characters, beside a folder named by its first word: every
// path stays one word, so nothing outside the root is run, made or deleted. The event of 09:00
// to 09:02 is followed from the wake before it to the wake after it.
TEST(EventRoad, OneEventInUserProfileModeOnARootNamedWithABlankAndShellCharacters) {
  char around[] = "/tmp/mutaro-road-XXXXXX";
  ASSERT_NE(mkdtemp(around), nullptr);
  std::filesystem::create_directory(std::string(around) + "/My");
  {
    Phone phone;
    phone.moveTo(std::string(around) + "/My Phone;touch pwned;x");
    phone.set({{kEnableProfilesSwitch, true}, {kRingtoneSwitch, false}, {kSMSSwitch, false}});
    const Sounds before = phone.sounds();
    phone.addEvent({todayAt("09:00:00"), todayAt("09:02:00")});
    phone.boot(todayAt("08:59:30"), kBootSpeed);
    json s;
    // The boot run sees the start 30 s ahead: it schedules the wake and stays for it.
    ASSERT_TRUE(phone.waitFor([](const json& st) { return mutaroWakes(st) == std::vector{iso8601(todayAt("09:00:00"))}; },
                              todayAt("08:59:58"), &s)) << s.dump(1);
    EXPECT_FALSE(silenced(s));
    // Silenced, the switcher done (it stores the volume last), the wake moved to the end.
    ASSERT_TRUE(phone.waitFor(
        [](const json& st) {
          return silenced(st) && st["settings"].contains(kVolume) && mutaroWakes(st) == std::vector{iso8601(todayAt("09:02:00"))};
        },
        todayAt("09:01:30"), &s)) << s.dump(1);
    EXPECT_EQ(s["ringerState"], nullptr) << "no ringer message in user-profile mode";
    Sounds during = phone.sounds();
    EXPECT_NE(during.preferences, before.preferences);
    EXPECT_NE(during.smsTone, before.smsTone);
    EXPECT_NE(during.soundBehaviour, before.soundBehaviour);
    EXPECT_FALSE(phone.waitFor(released, todayAt("09:01:55"), &s)) << "released before the event's end";
    ASSERT_TRUE(phone.waitFor(released, todayAt("09:03:30"), &s)) << s.dump(1);
    EXPECT_GE(s["settings"][kUpdatedRevert].get<std::string>(), "2026-12-07 09:02:00");
    EXPECT_EQ(phone.count("Event started"), 1);
    EXPECT_EQ(phone.count("Event ended"), 1);
    EXPECT_TRUE(phone.waitFor([](const json& st) { return st["powerAssertions"].empty(); }, todayAt("09:04:00")));
    EXPECT_EQ(phone.sounds(), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(around), {}), 2);
    EXPECT_TRUE(std::filesystem::exists(std::string(around) + "/My"));
    for (const auto& entry : std::filesystem::recursive_directory_iterator(around)) EXPECT_NE(entry.path().filename(), "pwned");
    EXPECT_FALSE(std::filesystem::exists("pwned"));
  }
  std::filesystem::remove_all(around);
}

}  // namespace
