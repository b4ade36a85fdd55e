// "./Mutarodh 0", mostly after "./Mutarodh 1": what comes back, in which order, in each mode.
#include <gtest/gtest.h>

#include "platform/Celestial/AVController.h"
#include "tests/support/Phone.h"

namespace {

using Messages = std::vector<std::string>;
using Pairs = std::vector<std::pair<std::string, std::string>>;
const Pairs kEverythingReverted = {
    {"com.apple.springboard", "ringtone"},     {"com.apple.springboard", "sms-sound"},
    {"com.apple.springboard", "calendar-alarm"}, {"com.apple.springboard", "ring-vibrate"},
    {"com.apple.springboard", "lock-unlock"},  {"com.apple.mobilephone", "VoicemailToneEnabled"},
    {"com.apple.mobilemail", "PlayNewMailSound"}, {"com.apple.mobilemail", "PlaySentMailSound"},
    {"com.apple.preferences.sounds", "keyboard"}};
const json kRingerOff = json::array({"com.apple.springboard.ringerstate", 0});
const json kRingerOn = json::array({"com.apple.springboard.ringerstate", 1});

TEST(Revert, SilentPhoneModeTouchesOnlyTheRingerAndTheVolume) {
  Phone phone;
  phone.set({{kRingtoneSwitch, false}});
  const Sounds before = phone.sounds();

  Outcome silence = phone.switcher("1");
  EXPECT_EQ(logMessages(silence.err, "Mutarodh"),
            (Messages{kSwitcherBanner, "Change...", "Do work", ">>>>> Silent phone", "Profiles are disabled",
                      "Set status bar NEW", "Done!", "Changed"}));
  json status = phone.status();
  EXPECT_TRUE(status["marker"]);
  EXPECT_EQ(status["volume"], 0.0);
  EXPECT_EQ(status["settings"][kVolume], "1.0");
  EXPECT_FALSE(status["settings"].contains(kUpdatedSilent));

  Outcome revert = phone.switcher("0");
  ASSERT_TRUE(revert.exited(0));
  EXPECT_EQ(logMessages(revert.err, "Mutarodh"), (Messages{kSwitcherBanner, "Profiles are disabled", "Reverted"}));
  EXPECT_EQ(revert.out, "Set volume to: 1.000000\nUnset status bar NEW\n");
  status = phone.status();
  EXPECT_FALSE(status["marker"]);
  EXPECT_TRUE(status["settings"].contains(kUpdatedRevert));
  EXPECT_EQ(status["notifications"], json::array({kRingerOff, kRingerOn}));
  EXPECT_EQ(status["vibrations"], 6) << "two cues of three records each";
  EXPECT_EQ(status["mediaServerRestarts"], 2);
  EXPECT_EQ(status["announcements"], json::array());
  Sounds after = phone.sounds();
  after.volume = before.volume;
  EXPECT_EQ(after, before);
  EXPECT_FALSE(phone.exists(kSmsToneBackupPath) || phone.exists(kSoundBehaviourBackupPath));
}

TEST(Revert, AUserProfileSilenceAndItsRevertLeaveThePhoneAsItWas) {
  Phone phone;
  phone.set({{kEnableProfilesSwitch, true}, {kRingtoneSwitch, false}, {kSMSSwitch, false},
             {kVoicemailSwitch, false}, {kSentmailSwitch, false}, {kKeyboardSwitch, false}});
  AVController::avController()->setVolume(0.6f);
  phone.saveSounds();
  const Sounds before = phone.sounds();

  Outcome silence = phone.switcher("1");
  EXPECT_EQ(logMessages(silence.err, "Mutarodh"),
            (Messages{kSwitcherBanner, "Change...", "Do work", "Do work started", "Update silent time", "Change SMS",
                      "Change springboard file", "Change key,value", "Change SpringBoard", "silent volume...",
                      "Set status bar NEW", "Done!", "Changed"}));
  Outcome revert = phone.switcher("0");
  EXPECT_EQ(logMessages(revert.err, "Mutarodh"),
            (Messages{kSwitcherBanner, "User profile", "Setting Ringtone", "Revert Ringtone", "<default>",
                      "Reverting sounds back to original", "Reverted"}));
  EXPECT_EQ(revert.out, "Set volume to: 0.600000\nUnset status bar NEW\n");
  EXPECT_EQ(phone.sounds(), before);
  json status = phone.status();
  EXPECT_FALSE(status["marker"]);
  EXPECT_EQ(Pairs(status["announcements"].end() - 9, status["announcements"].end()), kEverythingReverted);
  EXPECT_EQ(status["notifications"], json::array());
  EXPECT_EQ(status["mediaServerRestarts"], 2);
}

TEST(Revert, WithoutSavedCopiesItRewritesTheFilesUnchangedAndCopiesBothBackupsBack) {
  Phone phone;
  phone.set({{kEnableProfilesSwitch, true}, {kVolume, nullptr}});
  phone.remove(kSoundsPreferencesPath);
  phone.write(kSmsToneBackupPath, "saved tone");
  phone.write(kSoundBehaviourBackupPath, "saved table");
  const Sounds before = phone.sounds();

  EXPECT_EQ(phone.switcher("0").out, "Set volume to: 0.500000\nUnset status bar NEW\n");
  EXPECT_EQ(phone.sounds().preferences, before.preferences);
  EXPECT_FALSE(phone.exists(kSoundsPreferencesPath));
  EXPECT_EQ(phone.status()["announcements"], json(kEverythingReverted));
  EXPECT_EQ(phone.read(kSmsTonePath), "saved tone");
  EXPECT_EQ(phone.read(kSoundBehaviourPath), "saved table");
}

TEST(Revert, FollowsTheModeAtRevertTimeNotAtSilenceTime) {
  Phone phone;
  phone.saveSounds();
  const Sounds before = phone.sounds();
  phone.switcher("1");  // silent-phone mode
  phone.set({{kEnableProfilesSwitch, true}});
  auto changed = phone.plist(kSpringBoardPreferencesPath);
  changed->setString("ringtone", "changed during the event");
  phone.writePlist(kSpringBoardPreferencesPath, *changed);

  Outcome run = phone.switcher("0");
  EXPECT_EQ(logMessages(run.err, "Mutarodh")[1], "User profile");
  EXPECT_EQ(phone.sounds().preferences, before.preferences);
  json status = phone.status();
  EXPECT_EQ(status["announcements"], json(kEverythingReverted));
  EXPECT_EQ(status["notifications"], json::array({kRingerOff})) << "no ringer message in user-profile mode";
  EXPECT_EQ(status["volume"], 1.0);
}

// The other way round: the silent-phone revert's steps, and all a user-profile silence took.
TEST(Revert, InSilentPhoneModeAUserProfileSilenceStillGivesItsSoundsBack) {
  Phone phone;
  phone.set({{kEnableProfilesSwitch, true}, {kRingtoneSwitch, false}, {kSMSSwitch, false}, {kKeyboardSwitch, false}});
  AVController::avController()->setVolume(0.6f);
  phone.saveSounds();
  const Sounds before = phone.sounds();
  phone.switcher("1");
  phone.set({{kEnableProfilesSwitch, false}});

  Outcome run = phone.switcher("0");
  EXPECT_EQ(logMessages(run.err, "Mutarodh"), (Messages{kSwitcherBanner, "Profiles are disabled", "Reverted"}));
  EXPECT_EQ(phone.sounds(), before);
  EXPECT_FALSE(phone.status()["marker"]);
}

TEST(Revert, AVolumeThatIsNotANumberIsZeroAndANonAsciiRingtoneIsNotRestored) {
  Phone phone;
  phone.set({{kEnableProfilesSwitch, true}, {kRingtoneSwitch, false}});
  phone.saveSounds();
  phone.switcher("1");
  phone.set({{kVolume, "loud"}, {kSavedRingtone, "Klänge"}});
  EXPECT_EQ(phone.switcher("0").out, "2 - Could not convert to cString\nSet volume to: 0.000000\nUnset status bar NEW\n");
  EXPECT_EQ(phone.status()["volume"], 0.0);
  EXPECT_EQ(phone.plist(kSpringBoardPreferencesPath)->stringForKey("ringtone"), "system:Mutaro");
}

}  // namespace
