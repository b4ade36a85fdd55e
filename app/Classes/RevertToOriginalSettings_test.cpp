// The application's own restore, after the switcher silenced the phone: it gives back what the
// switcher took, in the mode the application holds in memory, with its own lines and pauses.
#include "app/Classes/RevertToOriginalSettings.h"

#include <gtest/gtest.h>

#include "app/Classes/ProcessGlobals.h"
#include "platform/Foundation/NSRunLoop.h"
#include "platform/GraphicsServices/GraphicsServices.h"
#include "platform/notify/notify.h"
#include "tests/support/FakeClock.h"
#include "tests/support/Phone.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// The restore's pauses on a clock four times fast: the programs it runs then add only tenths of
// a second, and a pause that went missing shows.
constexpr int kSpeed = 4;

// Silences the phone as an event start does: the daemon's saved copies, then "./Mutarodh 1".
void silence(const Phone& phone, bool userProfile) {
  phone.set({{kEventInProgress, true}, {kEnableProfilesSwitch, userProfile}, {kRingtoneSwitch, false},
             {kSMSSwitch, false}, {kNewmailSwitch, false}});
  phone.saveSounds();
  ASSERT_TRUE(phone.switcher("1").exited(0));
  ASSERT_TRUE(phone.exists(kMarkerPath));
}

// The restore's output and how long it took on the process's clock.
double restore(bool userProfile, std::string* output) {
  enableProfiles = userProfile;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  double start = monotonicSeconds();
  revertToOriginalSettings();
  double took = monotonicSeconds() - start;
  std::fflush(stdout);
  *output = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
  return took;
}

TEST(ApplicationRestore, GivesBackWhatTheUserProfileSilenceTook) {
  if (rerunOnFastClock(kSpeed)) return;
  Phone phone;
  const Sounds before = phone.sounds();
  silence(phone, true);
  std::string output;
  EXPECT_GE(restore(true, &output), 3.8) << "four one-second pauses";
  EXPECT_EQ(phone.sounds(), before);
  EXPECT_FALSE(phone.exists(kMarkerPath));
  json status = phone.status();
  EXPECT_TRUE(status["settings"].contains(kUpdatedRevert));
  EXPECT_EQ(status["settings"][kEventInProgress], true) << "the caller decides about the event";
  Pairs announced(status["announcements"].end() - 9, status["announcements"].end());
  EXPECT_EQ(announced, (Pairs{{"com.apple.springboard", "ringtone"}, {"com.apple.springboard", "sms-sound"},
                              {"com.apple.springboard", "calendar-alarm"}, {"com.apple.springboard", "ring-vibrate"},
                              {"com.apple.springboard", "lock-unlock"}, {"com.apple.mobilephone", "VoicemailToneEnabled"},
                              {"com.apple.mobilemail", "PlayNewMailSound"}, {"com.apple.mobilemail", "PlaySentMailSound"},
                              {"com.apple.preferences.sounds", "keyboard"}}));
  EXPECT_EQ(status["vibrations"], 6);
  EXPECT_EQ(status["mediaServerRestarts"], 2);
  for (const char* line : {"] Revert to original\n", "Reverting sounds back to original", "Set volume to: 0.750000\n",
                           "Unset status bar\n", "] Revert to original - Done\n"}) {
    EXPECT_TRUE(contains(output, line)) << line;
  }
  for (const char* line : {"Unset status bar NEW", "User profile", "Setting Ringtone", "Revert Ringtone", "Reverted"}) {
    EXPECT_FALSE(contains(output, line)) << line;
  }
}

TEST(ApplicationRestore, TheSilentPhoneModeHeldInMemoryTurnsTheRingerOn) {
  if (rerunOnFastClock(kSpeed)) return;
  Phone phone;
  silence(phone, false);
  phone.set({{kEnableProfilesSwitch, true}, {kVolume, nullptr}});  // another process's change is not seen
  std::string output;
  EXPECT_GE(restore(false, &output), 4.8) << "five one-second pauses";
  json status = phone.status();
  EXPECT_FALSE(status["marker"]);
  EXPECT_EQ(status["notifications"].back(), json::array({"com.apple.springboard.ringerstate", 1}));
  EXPECT_EQ(simulatedNotifyRegistrations(), 0) << "a long-lived process must not keep its tokens";
  EXPECT_EQ(status["volume"], 0.5) << "no saved volume";
  EXPECT_TRUE(contains(output, "Set volume to: 0.500000\n"));
  EXPECT_TRUE(contains(output, "] Profiles are disabled\n"));
  EXPECT_FALSE(contains(output, "Revert to original"));
}

// The mode changed since the silence: the silent-phone restore gives back the files it left too.
TEST(ApplicationRestore, TheSilentPhoneModeAlsoGivesBackAUserProfileSilence) {
  if (rerunOnFastClock(kSpeed)) return;
  Phone phone;
  const Sounds before = phone.sounds();
  silence(phone, true);
  std::string output;
  EXPECT_TRUE(restore(false, &output) > 0 && contains(output, "] Profiles are disabled\n")) << output;
  EXPECT_EQ(phone.sounds(), before);
  EXPECT_FALSE(phone.exists(kMarkerPath));
}

// Nothing given back: the marker stays, for a later revert to finish the restore.
TEST(ApplicationRestore, WithoutGraphicsServicesTheUserProfileRestoreStopsAndKeepsTheMarker) {
  Phone phone;
  silence(phone, true);
  const Sounds silenced = phone.sounds();
  phone.remove(kGraphicsServicesPath);
  std::string output;
  restore(true, &output);
  EXPECT_TRUE(phone.exists(kMarkerPath));
  EXPECT_TRUE(phone.status()["settings"].contains(kUpdatedRevert));
  EXPECT_EQ(phone.sounds(), silenced);
  EXPECT_FALSE(contains(output, "Revert to original"));
}

}  // namespace
