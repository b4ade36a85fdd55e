// The daemon killed while its switcher silences the phone: the switcher goes on alone, and a
// later daemon run, after a revert it did not record, leaves the phone with its original sounds.
#include <gtest/gtest.h>
#include <signal.h>

#include "tests/support/Phone.h"

namespace {

TEST(DaemonKilled, ALaterRunRestoresTheOriginalSounds) {
  Phone phone;
  // User-profile mode with every sound silenced: the switcher changes all it can.
  phone.set({{kEnableProfilesSwitch, true}, {kRingtoneSwitch, false}, {kVibrateSwitch, false},
             {kVoicemailSwitch, false}, {kNewmailSwitch, false}, {kSentmailSwitch, false}, {kSMSSwitch, false},
             {kCalendarSwitch, false}, {kLockunlockSwitch, false}, {kKeyboardSwitch, false}});
  phone.addEvent({localTime("2026-12-07 09:00:00"), localTime("2026-12-07 10:00:00")});
  // The first start copies the bundle files; take the originals after it.
  ASSERT_TRUE(phone.daemon(clockAt("2026-12-07 08:00:00", 20)).exited(0));
  const Sounds original = phone.sounds();

  auto daemon = phone.start({"./Mutarod"}, {.clock = clockAt("2026-12-07 09:00:05", 20)}, phone.at("/daemon.log"));
  ASSERT_TRUE(eventually(20, [&] { return phone.exists(kMarkerPath); })) << phone.read("/daemon.log");
  daemon->signal(SIGKILL);
  ASSERT_TRUE(daemon->wait(10));
  EXPECT_TRUE(daemon->waitGroup(30)) << "the switcher did not end on its own";
  EXPECT_EQ(phone.status()["powerAssertions"], json::array()) << "the assertion ends with its process";
  EXPECT_EQ(phone.setting(kEventInProgress), true);
  EXPECT_NE(phone.sounds(), original) << "the orphaned switcher did not silence the phone";
  // A revert the daemon did not live to record: the next run reverts once more, harmlessly.
  ASSERT_TRUE(phone.switcher("0").exited(0));

  ASSERT_TRUE(phone.daemon(clockAt("2026-12-07 10:01:30", 20)).exited(0));
  EXPECT_EQ(phone.setting(kEventInProgress), false);
  EXPECT_FALSE(phone.exists(kMarkerPath));
  EXPECT_FALSE(phone.exists(kSettingsLockPath));
  EXPECT_EQ(phone.sounds(), original);
}

}  // namespace
