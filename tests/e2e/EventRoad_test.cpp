// The road of events on a booted phone: the launcher starts the daemon at boot and at each
// wake it scheduled, the switcher silences and gives the sounds back, SpringBoard shows the
// image meanwhile.
#include <gtest/gtest.h>

#include "settings-store/SettingsKeys.h"
#include "tests/e2e/SimulatedPhone.h"

namespace {

using nlohmann::json;

// The phone's clock runs this much faster than the real one. A process that stalls for a
// second of real time loses kSpeed seconds of the phone's: the daemon's 60-second window
// keeps the factors modest.
constexpr int kHourSpeed = 60;  // the event of an hour
constexpr int kSpeed = 20;

std::string settingText(const json& status, const char* key) {
  return status["settings"].value(key, std::string());
}

// The event of 09:00 to 10:00, watched on all calendars, from the wake before it to the wake
// after it.
void rideOneEvent(SimulatedPhone& phone, const std::function<void(const json&)>& whileSilenced) {
  const time_t nine = SimulatedPhone::localTime(9, 0);
  const time_t ten = SimulatedPhone::localTime(10, 0);
  phone.addEvent(nine, ten, {"--title", "Meeting"});
  phone.boot(nine - 40, kHourSpeed);
  json s;

  // The boot run sees the start 40 s ahead: it schedules the wake and stays for it.
  ASSERT_TRUE(phone.waitFor([&](const json& st) { return mutaroWakes(st) == std::vector{isoUtc(nine)}; },
                            nine - 5, &s))
      << s.dump(1);
  EXPECT_FALSE(silenced(s));

  // Silenced, and the switcher done: it stores the volume to restore last.
  ASSERT_TRUE(phone.waitFor([](const json& st) { return silenced(st) && st["settings"].contains(kVolume); },
                            nine + 40, &s))
      << s.dump(1);
  EXPECT_GE(settingText(s, kUpdatedStart), "2026-12-07 08:59:");
  whileSilenced(s);

  // The pass during the event replaces the wake by one at its end; the daemon then exits.
  ASSERT_TRUE(phone.waitFor(
      [&](const json& st) {
        return mutaroWakes(st) == std::vector{isoUtc(ten)} && st["powerAssertions"].empty();
      },
      nine + 300, &s))
      << s.dump(1);

  EXPECT_FALSE(phone.waitFor(released, ten - 10, &s)) << "released before the event's end";
  ASSERT_TRUE(phone.waitFor(released, ten + 60, &s)) << s.dump(1);
  EXPECT_GE(settingText(s, kUpdatedRevert), "2026-12-07 10:00:00");
  EXPECT_EQ(phone.count("Event started"), 1);
  EXPECT_EQ(phone.count("Event ended"), 1);
}

TEST(EventRoadTest, OneEventInSilentPhoneMode) {
  SimulatedPhone phone;
  rideOneEvent(phone, [](const json& s) {
    EXPECT_EQ(s["volume"], 0.0);
    EXPECT_EQ(s["ringerState"], 0);
  });
  json s = phone.status();
  EXPECT_EQ(s["volume"], 1.0) << "silent-phone mode turns the volume up to full";
  EXPECT_EQ(s["ringerState"], 1);
}

TEST(EventRoadTest, OneEventInUserProfileMode) {
  SimulatedPhone phone;
  phone.setSetting(kEnableProfilesSwitch, true);
  phone.setSetting(kRingtoneSwitch, false);
  phone.setSetting(kSMSSwitch, false);
  const Sounds before = phone.sounds();
  rideOneEvent(phone, [&](const json& s) {
    EXPECT_EQ(s["volume"], 0.0);
    EXPECT_EQ(s["ringerState"], nullptr) << "no ringer message in user-profile mode";
    Sounds during = phone.sounds();
    EXPECT_NE(during.preferences, before.preferences);
    EXPECT_NE(during.smsTone, before.smsTone);
    EXPECT_NE(during.soundBehaviour, before.soundBehaviour);
  });
  EXPECT_EQ(phone.sounds(), before);
}

// Two events in a row keep the phone silenced from the first start to the last end, with one
// silence and one revert.
void expectOneSilenceFromTo(SimulatedPhone& phone, time_t from, time_t to) {
  json s;
  phone.boot(from - 40, kSpeed);
  ASSERT_TRUE(phone.waitFor(silenced, from + 40, &s)) << s.dump(1);
  EXPECT_FALSE(phone.waitFor(released, to - 10, &s)) << "released in between: " << s.dump(1);
  ASSERT_TRUE(phone.waitFor(released, to + 60, &s)) << s.dump(1);
  EXPECT_EQ(phone.count("Changed"), 1);
  EXPECT_EQ(phone.count("Reverted"), 1);
}

TEST(EventRoadTest, BackToBackEvents) {
  SimulatedPhone phone;
  phone.addEvent(SimulatedPhone::localTime(9, 0), SimulatedPhone::localTime(9, 10));
  phone.addEvent(SimulatedPhone::localTime(9, 10), SimulatedPhone::localTime(9, 20));
  expectOneSilenceFromTo(phone, SimulatedPhone::localTime(9, 0), SimulatedPhone::localTime(9, 20));
}

TEST(EventRoadTest, OverlappingEvents) {
  SimulatedPhone phone;
  phone.addEvent(SimulatedPhone::localTime(9, 0), SimulatedPhone::localTime(9, 10));
  phone.addEvent(SimulatedPhone::localTime(9, 5), SimulatedPhone::localTime(9, 15));
  expectOneSilenceFromTo(phone, SimulatedPhone::localTime(9, 0), SimulatedPhone::localTime(9, 15));
}

TEST(EventRoadTest, WeeklyEventWhoseFirstOccurrenceIsPast) {
  SimulatedPhone phone;
  const int kWeek = 7 * 24 * 3600;
  phone.addEvent(SimulatedPhone::localTime(9, 0, 0, -7), SimulatedPhone::localTime(9, 10, 0, -7),
                 {"--every", std::to_string(kWeek), "--count", "4"});
  expectOneSilenceFromTo(phone, SimulatedPhone::localTime(9, 0), SimulatedPhone::localTime(9, 10));
  json s;
  EXPECT_TRUE(phone.waitFor(
      [](const json& st) {
        return mutaroWakes(st) == std::vector{isoUtc(SimulatedPhone::localTime(9, 0, 0, 7))};
      },
      SimulatedPhone::localTime(9, 12), &s))
      << "next week's occurrence is the next wake: " << s.dump(1);
}

}  // namespace
