// "./Mutarodh 1": what the silence changes, announces and swaps, in each mode.
#include <gtest/gtest.h>

#include "platform/Celestial/AVController.h"
#include "tests/support/Phone.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;
const Pairs kSpringBoardAnnounced = {{"com.apple.springboard", "ringtone"}, {"com.apple.springboard", "sms-sound"},
                                     {"com.apple.springboard", "ring-vibrate"}, {"com.apple.springboard", "calendar-alarm"},
                                     {"com.apple.springboard", "lock-unlock"}};
const Pairs kMailAnnounced = {{"com.apple.mobilemail", "PlayNewMailSound"}, {"com.apple.mobilemail", "PlaySentMailSound"}};

struct OneSwitchOff {
  const char* name;
  const char* switchKey;  // null: every switch on
  const char* file;       // the one preference file written
  std::function<void(NSMutableDictionary&)> silence;
  Pairs announced;
};

void PrintTo(const OneSwitchOff& row, std::ostream* out) { *out << row.name; }

class UserProfileSilence : public testing::TestWithParam<OneSwitchOff> {};

TEST_P(UserProfileSilence, ChangesAndAnnouncesOnlyWhatTheSwitchSilences) {
  const OneSwitchOff& row = GetParam();
  Phone phone;
  phone.set({{kEnableProfilesSwitch, true}});
  if (row.switchKey != nullptr) phone.set({{row.switchKey, false}});
  AVController::avController()->setVolume(0.25f);
  const Sounds before = phone.sounds();
  Sounds expected = before;
  if (row.file != nullptr) {
    auto silenced = phone.plist(row.file);
    row.silence(*silenced);
    expected.preferences[row.file] = valuesOf(*silenced);
  }

  Outcome run = phone.switcher("1");
  ASSERT_TRUE(run.exited(0));
  EXPECT_EQ(run.out, "Current volume: 0.250000\n");
  json status = phone.status();
  EXPECT_EQ(status["settings"][kVolume], "0.250000");
  EXPECT_TRUE(status["settings"].contains(kUpdatedSilent));
  EXPECT_TRUE(status["marker"]);
  EXPECT_EQ(status["notifications"], json::array());
  EXPECT_EQ(status["announcements"], json(row.announced));
  EXPECT_EQ(status["mediaServerRestarts"], 1);

  // The behaviour table is swapped in every user-profile silence, the SMS tone only with its switch.
  bool sms = row.switchKey != nullptr && std::string(row.switchKey) == kSMSSwitch;
  expected.soundBehaviour = phone.read(kVibrateSoundBehaviourPath);
  if (sms) expected.smsTone = phone.read(kSilentSmsTonePath);
  expected.volume = 0;
  EXPECT_EQ(phone.sounds(), expected);
  EXPECT_EQ(phone.read(kSoundBehaviourBackupPath), before.soundBehaviour);
  EXPECT_EQ(phone.read(kSmsToneBackupPath), sms ? before.smsTone : "");
}

INSTANTIATE_TEST_SUITE_P(
    Switches, UserProfileSilence,
    testing::Values(
        OneSwitchOff{"AllOn", nullptr, nullptr, nullptr, {}},
        OneSwitchOff{"Ringtone", kRingtoneSwitch, kSpringBoardPreferencesPath, [](auto& d) { d.setString("ringtone", "system:Mutaro"); }, kSpringBoardAnnounced},
        OneSwitchOff{"Vibrate", kVibrateSwitch, kSpringBoardPreferencesPath, [](auto& d) { d.setInt("ring-vibrate", 0); }, kSpringBoardAnnounced},
        OneSwitchOff{"Calendar", kCalendarSwitch, kSpringBoardPreferencesPath, [](auto& d) { d.setString("calendar-alarm", ""); }, kSpringBoardAnnounced},
        OneSwitchOff{"SMS", kSMSSwitch, kSpringBoardPreferencesPath, [](auto& d) { d.setInt("sms-sound", 1); }, kSpringBoardAnnounced},
        OneSwitchOff{"Lockunlock", kLockunlockSwitch, kSpringBoardPreferencesPath, [](auto& d) { d.setBool("lock-unlock", false); }, kSpringBoardAnnounced},
        OneSwitchOff{"Voicemail", kVoicemailSwitch, kPhonePreferencesPath, [](auto& d) { d.setBool("VoicemailToneEnabled", false); },
                     {{"com.apple.mobilephone", "VoicemailToneEnabled"}}},
        OneSwitchOff{"Newmail", kNewmailSwitch, kMailPreferencesPath, [](auto& d) { d.setBool("PlayNewMailSound", false); }, kMailAnnounced},
        OneSwitchOff{"Sentmail", kSentmailSwitch, kMailPreferencesPath, [](auto& d) { d.setBool("PlaySentMailSound", false); }, kMailAnnounced},
        OneSwitchOff{"Keyboard", kKeyboardSwitch, kSoundsPreferencesPath, [](auto& d) { d.setBool("keyboard", false); },
                     {{"com.apple.preferences.sounds", "keyboard"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Silence, AMissingFileIsLeftAloneButAnnouncedAndABinaryOneIsWrittenAsXml) {
  Phone phone;
  phone.set({{kEnableProfilesSwitch, true}, {kRingtoneSwitch, false}, {kNewmailSwitch, false}});
  phone.remove(kSpringBoardPreferencesPath);
  auto mail = phone.plist(kMailPreferencesPath);
  char* binary = nullptr;
  uint32_t length = 0;
  plist_to_bin(mail->node(), &binary, &length);
  phone.write(kMailPreferencesPath, std::string(binary, length));
  free(binary);

  ASSERT_TRUE(phone.switcher("1").exited(0));
  EXPECT_FALSE(phone.exists(kSpringBoardPreferencesPath));
  Pairs announced = kSpringBoardAnnounced;
  announced.insert(announced.end(), kMailAnnounced.begin(), kMailAnnounced.end());
  EXPECT_EQ(phone.status()["announcements"], json(announced));
  EXPECT_EQ(phone.read(kMailPreferencesPath).rfind("<?xml", 0), 0u);
  EXPECT_EQ(phone.plist(kMailPreferencesPath)->boolForKey("PlayNewMailSound"), false);
}

// A second silence without a revert between keeps what the first saved: the backups of the
// files it swapped and the level to restore. A backup from an older cycle is never kept.
TEST(Silence, ASecondSilenceKeepsWhatTheFirstSaved) {
  Phone phone;
  phone.set({{kEnableProfilesSwitch, true}});
  phone.write(kSmsToneBackupPath, "a tone of an older cycle");
  AVController::avController()->setVolume(0.25f);
  const Sounds before = phone.sounds();
  phone.switcher("1");
  phone.set({{kSMSSwitch, false}});
  phone.switcher("1");
  EXPECT_EQ(phone.read(kSmsToneBackupPath), before.smsTone);
  EXPECT_EQ(phone.read(kSoundBehaviourBackupPath), before.soundBehaviour);
  EXPECT_EQ(phone.setting(kVolume), "0.250000");
  phone.set({{kEnableProfilesSwitch, false}});
  phone.switcher("1");
  EXPECT_EQ(phone.setting(kVolume), "0.250000") << "not the silent-phone mode's full volume either";
}

}  // namespace
