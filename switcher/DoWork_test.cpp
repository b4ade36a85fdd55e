// "./Mutarodh 1" in user-profile mode: which files change, what is announced, what is swapped.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "settings-store/SettingsKeys.h"
#include "switcher/SwitcherPhone.h"
#include "system-files/SystemFiles.h"

using ::testing::IsEmpty;

namespace {

const char* kPreferenceFiles[] = {kSpringBoardPreferencesPath, kPhonePreferencesPath,
                                  kMailPreferencesPath, kSoundsPreferencesPath};
const Announcements kSpringBoard = {
    {kSpringBoardDomain, "ringtone"},     {kSpringBoardDomain, "sms-sound"},
    {kSpringBoardDomain, "ring-vibrate"}, {kSpringBoardDomain, "calendar-alarm"},
    {kSpringBoardDomain, "lock-unlock"}};
const Announcements kMail = {{kMailDomain, "PlayNewMailSound"}, {kMailDomain, "PlaySentMailSound"}};

struct OneSwitchOff {
  const char* name;
  const char* switchKey;  // null: every switch on
  const char* file;       // the one file written
  std::function<void(NSMutableDictionary&)> silence;
  Announcements announced;
};

void PrintTo(const OneSwitchOff& param, std::ostream* out) { *out << param.name; }

class UserProfileSilence : public ::testing::TestWithParam<OneSwitchOff> {};

}  // namespace

TEST_P(UserProfileSilence, EditsAndAnnouncesOnlyWhatTheSwitchSilences) {
  const OneSwitchOff& param = GetParam();
  SwitcherPhone phone;
  phone.setSetting(kEnableProfilesSwitch, true);
  if (param.switchKey != nullptr) phone.setSetting(param.switchKey, false);
  phone.setVolume(0.25f);
  std::vector<std::string> before;
  for (const char* file : kPreferenceFiles) before.push_back(phone.bytes(file));
  std::string smsTone = phone.bytes(kSmsTonePath);
  std::string soundBehaviour = phone.bytes(kSoundBehaviourPath);
  std::string expected;
  if (param.file != nullptr) {
    auto silenced = phone.dictionary(param.file);
    param.silence(*silenced);
    expected = values(*silenced);
  }

  SwitcherRun run = phone.run({"1"});

  EXPECT_EQ(0, run.exitStatus);
  EXPECT_EQ("Current volume: 0.250000\n", run.out);
  EXPECT_EQ(0.0f, phone.volume());
  EXPECT_EQ("0.250000", phone.settings()->stringForKey(kVolume));
  EXPECT_TRUE(phone.settings()->stringForKey(kUpdatedSilent).has_value());
  EXPECT_TRUE(phone.exists(kMarkerPath));
  EXPECT_THAT(phone.notifyPosts(), IsEmpty());
  EXPECT_EQ(param.announced, phone.announcements());
  for (size_t i = 0; i < before.size(); ++i) {
    const char* file = kPreferenceFiles[i];
    if (param.file != nullptr && std::string(param.file) == file) {
      EXPECT_EQ(expected, phone.values(file));
    } else {
      EXPECT_EQ(before[i], phone.bytes(file)) << file;
    }
  }
  // The behaviour table is swapped in every user-profile silence, the tone only for SMS.
  EXPECT_EQ(soundBehaviour, phone.bytes(kSoundBehaviourBackupPath));
  EXPECT_EQ(phone.bytes(kVibrateSoundBehaviourPath), phone.bytes(kSoundBehaviourPath));
  bool sms = param.switchKey != nullptr && std::string(param.switchKey) == kSMSSwitch;
  EXPECT_EQ(sms, phone.exists(kSmsToneBackupPath));
  EXPECT_EQ(sms ? phone.bytes(kSilentSmsTonePath) : smsTone, phone.bytes(kSmsTonePath));
  if (sms) {
    EXPECT_EQ(smsTone, phone.bytes(kSmsToneBackupPath));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Switches, UserProfileSilence,
    ::testing::Values(
        OneSwitchOff{"AllOn", nullptr, nullptr, nullptr, {}},
        OneSwitchOff{"Ringtone", kRingtoneSwitch, kSpringBoardPreferencesPath,
                     [](auto& d) { d.setString("ringtone", "system:Mutaro"); }, kSpringBoard},
        OneSwitchOff{"Vibrate", kVibrateSwitch, kSpringBoardPreferencesPath,
                     [](auto& d) { d.setInt("ring-vibrate", 0); }, kSpringBoard},
        OneSwitchOff{"Calendar", kCalendarSwitch, kSpringBoardPreferencesPath,
                     [](auto& d) { d.setString("calendar-alarm", ""); }, kSpringBoard},
        OneSwitchOff{"SMS", kSMSSwitch, kSpringBoardPreferencesPath,
                     [](auto& d) { d.setInt("sms-sound", 1); }, kSpringBoard},
        OneSwitchOff{"Lockunlock", kLockunlockSwitch, kSpringBoardPreferencesPath,
                     [](auto& d) { d.setBool("lock-unlock", false); }, kSpringBoard},
        OneSwitchOff{"Voicemail", kVoicemailSwitch, kPhonePreferencesPath,
                     [](auto& d) { d.setBool("VoicemailToneEnabled", false); },
                     {{kPhoneDomain, "VoicemailToneEnabled"}}},
        OneSwitchOff{"Newmail", kNewmailSwitch, kMailPreferencesPath,
                     [](auto& d) { d.setBool("PlayNewMailSound", false); }, kMail},
        OneSwitchOff{"Sentmail", kSentmailSwitch, kMailPreferencesPath,
                     [](auto& d) { d.setBool("PlaySentMailSound", false); }, kMail},
        OneSwitchOff{"Keyboard", kKeyboardSwitch, kSoundsPreferencesPath,
                     [](auto& d) { d.setBool("keyboard", false); }, {{kSoundsDomain, "keyboard"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Silence, MissingFileIsLeftAloneAndBinaryFileIsRewrittenAsXml) {
  SwitcherPhone phone;
  phone.setSetting(kEnableProfilesSwitch, true);
  phone.setSetting(kRingtoneSwitch, false);
  phone.setSetting(kNewmailSwitch, false);
  phone.remove(kSpringBoardPreferencesPath);
  auto mail = phone.dictionary(kMailPreferencesPath);
  char* binary = nullptr;
  uint32_t length = 0;
  plist_to_bin(mail->node(), &binary, &length);
  phone.writeBytes(kMailPreferencesPath, std::string(binary, length));
  free(binary);

  phone.run({"1"});

  EXPECT_FALSE(phone.exists(kSpringBoardPreferencesPath));
  Announcements expected = kSpringBoard;
  expected.insert(expected.end(), kMail.begin(), kMail.end());
  EXPECT_EQ(expected, phone.announcements());
  mail->setBool("PlayNewMailSound", false);
  EXPECT_EQ(0u, phone.bytes(kMailPreferencesPath).rfind("<?xml", 0));
  EXPECT_EQ(values(*mail), phone.values(kMailPreferencesPath));
}

TEST(Silence, SecondSilenceWithoutRevertKeepsTheOriginalBackups) {
  SwitcherPhone phone;
  phone.setSetting(kEnableProfilesSwitch, true);
  phone.setSetting(kSMSSwitch, false);
  phone.saveSoundsAsTheDaemonDoes();
  std::string smsTone = phone.bytes(kSmsTonePath);
  std::string soundBehaviour = phone.bytes(kSoundBehaviourPath);

  phone.run({"1"});
  phone.run({"1"});
  EXPECT_EQ(smsTone, phone.bytes(kSmsToneBackupPath));
  EXPECT_EQ(soundBehaviour, phone.bytes(kSoundBehaviourBackupPath));

  phone.run({"0"});
  EXPECT_EQ(smsTone, phone.bytes(kSmsTonePath));
  EXPECT_EQ(soundBehaviour, phone.bytes(kSoundBehaviourPath));
}
