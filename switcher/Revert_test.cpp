// "./Mutarodh 0", mostly after "./Mutarodh 1": what comes back, announced in which order.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "settings-store/SettingsKeys.h"
#include "switcher/SwitcherPhone.h"
#include "system-files/SystemFiles.h"

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

const char* kBanner = "(((((((((((((((((((((( mutarodh ))))))))))))))))))";
const char* kPreferenceFiles[] = {kSpringBoardPreferencesPath, kPhonePreferencesPath,
                                  kMailPreferencesPath, kSoundsPreferencesPath};
const Announcements kEverythingReverted = {
    {kSpringBoardDomain, "ringtone"},       {kSpringBoardDomain, "sms-sound"},
    {kSpringBoardDomain, "calendar-alarm"}, {kSpringBoardDomain, "ring-vibrate"},
    {kSpringBoardDomain, "lock-unlock"},    {kPhoneDomain, "VoicemailToneEnabled"},
    {kMailDomain, "PlayNewMailSound"},      {kMailDomain, "PlaySentMailSound"},
    {kSoundsDomain, "keyboard"}};

std::pair<std::string, std::optional<uint64_t>> ringer(uint64_t state) {
  return {"com.apple.springboard.ringerstate", state};
}

// The four preference files' values and the two swapped files' bytes.
std::vector<std::string> soundsOf(const SwitcherPhone& phone) {
  std::vector<std::string> sounds;
  for (const char* file : kPreferenceFiles) sounds.push_back(phone.values(file));
  sounds.push_back(phone.bytes(kSmsTonePath));
  sounds.push_back(phone.bytes(kSoundBehaviourPath));
  return sounds;
}

}  // namespace

TEST(Revert, SilentPhoneModeTouchesOnlyRingerAndVolume) {
  SwitcherPhone phone;  // no "EnableProfilesSwitch"
  phone.setSetting(kRingtoneSwitch, false);
  std::vector<std::string> files;
  for (const char* file : kPreferenceFiles) files.push_back(phone.bytes(file));

  SwitcherRun silence = phone.run({"1"});
  EXPECT_EQ(0, silence.exitStatus);
  EXPECT_THAT(logMessages(silence.err),
              ElementsAre(kBanner, "Change...", "Do work", ">>>>> Silent phone",
                          "Profiles are disabled", "Set status bar NEW", "Done!", "Changed"));
  EXPECT_TRUE(phone.exists(kMarkerPath));
  EXPECT_EQ(0.0f, phone.volume());
  EXPECT_EQ("1.0", phone.settings()->stringForKey(kVolume));
  EXPECT_FALSE(phone.settings()->stringForKey(kUpdatedSilent).has_value());

  SwitcherRun revert = phone.run({"0"});
  EXPECT_EQ(0, revert.exitStatus);
  EXPECT_THAT(logMessages(revert.err), ElementsAre(kBanner, "Profiles are disabled", "Reverted"));
  EXPECT_EQ("Set volume to: 1.000000\nUnset status bar NEW\n", revert.out);
  EXPECT_FALSE(phone.exists(kMarkerPath));
  EXPECT_TRUE(phone.settings()->stringForKey(kUpdatedRevert).has_value());
  EXPECT_EQ(1.0f, phone.volume());

  EXPECT_THAT(phone.notifyPosts(), ElementsAre(ringer(0), ringer(1)));
  EXPECT_EQ(2 * kVibrationsPerCue, phone.vibrations());
  EXPECT_THAT(phone.announcements(), IsEmpty());
  for (size_t i = 0; i < files.size(); ++i) EXPECT_EQ(files[i], phone.bytes(kPreferenceFiles[i]));
  EXPECT_FALSE(phone.exists(kSmsToneBackupPath));
  EXPECT_FALSE(phone.exists(kSoundBehaviourBackupPath));
}

TEST(Revert, UserProfileSilenceAndRevertLeaveThePhoneAsItWas) {
  SwitcherPhone phone;
  phone.setSetting(kEnableProfilesSwitch, true);
  for (const char* off : {kRingtoneSwitch, kSMSSwitch, kVoicemailSwitch, kSentmailSwitch,
                          kKeyboardSwitch}) {
    phone.setSetting(off, false);
  }
  phone.setVolume(0.6f);
  phone.saveSoundsAsTheDaemonDoes();
  std::vector<std::string> before = soundsOf(phone);

  SwitcherRun silence = phone.run({"1"});
  EXPECT_EQ("Current volume: 0.600000\n", silence.out);
  EXPECT_THAT(logMessages(silence.err),
              ElementsAre(kBanner, "Change...", "Do work", "Do work started", "Update silent time",
                          "Change SMS", "Change springboard file", "Change key,value",
                          "Change SpringBoard", "silent volume...", "Set status bar NEW", "Done!",
                          "Changed"));
  EXPECT_EQ("system:Mutaro", phone.dictionary(kSpringBoardPreferencesPath)->stringForKey("ringtone"));
  SwitcherRun revert = phone.run({"0"});

  EXPECT_EQ(0, revert.exitStatus);
  std::optional<std::string> savedRingtone = phone.settings()->stringForKey(kSavedRingtone);
  ASSERT_TRUE(savedRingtone.has_value());
  EXPECT_THAT(logMessages(revert.err),
              ElementsAre(kBanner, "User profile", "Setting Ringtone", "Revert Ringtone",
                          *savedRingtone, "Reverting sounds back to original", "Reverted"));
  EXPECT_EQ("Set volume to: 0.600000\nUnset status bar NEW\n", revert.out);
  EXPECT_EQ(before, soundsOf(phone));
  EXPECT_FLOAT_EQ(0.6f, phone.volume());
  EXPECT_FALSE(phone.exists(kMarkerPath));
  Announcements expected = {
      {kSpringBoardDomain, "ringtone"},     {kSpringBoardDomain, "sms-sound"},
      {kSpringBoardDomain, "ring-vibrate"}, {kSpringBoardDomain, "calendar-alarm"},
      {kSpringBoardDomain, "lock-unlock"},  {kPhoneDomain, "VoicemailToneEnabled"},
      {kMailDomain, "PlayNewMailSound"},    {kMailDomain, "PlaySentMailSound"},
      {kSoundsDomain, "keyboard"}};
  expected.insert(expected.end(), kEverythingReverted.begin(), kEverythingReverted.end());
  EXPECT_EQ(expected, phone.announcements());
  EXPECT_THAT(phone.notifyPosts(), IsEmpty());
  EXPECT_EQ(2 * kVibrationsPerCue, phone.vibrations());
}

TEST(Revert, WithoutSavedCopiesRewritesTheFilesUnchangedAndCopiesBothBackupsBack) {
  SwitcherPhone phone;
  phone.setSetting(kEnableProfilesSwitch, true);
  phone.remove(kSoundsPreferencesPath);
  phone.writeBytes(kSmsToneBackupPath, "saved tone");
  phone.writeBytes(kSoundBehaviourBackupPath, "saved table");
  std::vector<std::string> before = soundsOf(phone);

  SwitcherRun run = phone.run({"0"});

  EXPECT_EQ("Set volume to: 0.500000\nUnset status bar NEW\n", run.out);
  EXPECT_FLOAT_EQ(0.5f, phone.volume());
  std::vector<std::string> after = soundsOf(phone);
  for (size_t i = 0; i < std::size(kPreferenceFiles); ++i) EXPECT_EQ(before[i], after[i]);
  EXPECT_FALSE(phone.exists(kSoundsPreferencesPath));
  EXPECT_EQ(kEverythingReverted, phone.announcements());
  EXPECT_EQ("saved tone", phone.bytes(kSmsTonePath));
  EXPECT_EQ("saved table", phone.bytes(kSoundBehaviourPath));
  EXPECT_TRUE(phone.exists(kSmsToneBackupPath));
}

TEST(Revert, FollowsTheModeAtRevertTimeNotAtSilenceTime) {
  SwitcherPhone phone;
  phone.saveSoundsAsTheDaemonDoes();
  std::string springBoard = phone.values(kSpringBoardPreferencesPath);
  phone.run({"1"});  // silent-phone mode
  phone.setSetting(kEnableProfilesSwitch, true);
  auto changed = phone.dictionary(kSpringBoardPreferencesPath);
  changed->setString("ringtone", "changed during the event");
  phone.writeDictionary(kSpringBoardPreferencesPath, *changed);

  SwitcherRun run = phone.run({"0"});

  EXPECT_THAT(logMessages(run.err), Contains("User profile"));
  EXPECT_EQ(springBoard, phone.values(kSpringBoardPreferencesPath));
  EXPECT_EQ(kEverythingReverted, phone.announcements());
  EXPECT_THAT(phone.notifyPosts(), ElementsAre(ringer(0)));
  EXPECT_EQ(1.0f, phone.volume());
}

TEST(Revert, VolumeThatIsNotANumberIsZero) {
  SwitcherPhone phone;
  phone.setSetting(kVolume, "loud");
  SwitcherRun run = phone.run({"0"});
  EXPECT_EQ("Set volume to: 0.000000\nUnset status bar NEW\n", run.out);
  EXPECT_EQ(0.0f, phone.volume());
}

TEST(Revert, SavedRingtoneThatIsNotPlainAsciiLeavesTheSilentRingtone) {
  SwitcherPhone phone;
  phone.setSetting(kEnableProfilesSwitch, true);
  phone.setSetting(kRingtoneSwitch, false);
  phone.setSetting(kVibrateSwitch, false);
  phone.saveSoundsAsTheDaemonDoes();
  phone.setSetting(kSavedRingtone, "Klänge");
  auto before = phone.dictionary(kSpringBoardPreferencesPath);

  phone.run({"1"});
  SwitcherRun run = phone.run({"0"});

  auto after = phone.dictionary(kSpringBoardPreferencesPath);
  EXPECT_EQ("system:Mutaro", after->stringForKey("ringtone"));
  EXPECT_EQ(before->intForKey("ring-vibrate"), after->intForKey("ring-vibrate"));
  EXPECT_THAT(logMessages(run.err), Not(Contains("Revert Ringtone")));
}
