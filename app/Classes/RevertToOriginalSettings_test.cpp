#include "app/Classes/RevertToOriginalSettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/Classes/ProcessGlobals.h"
#include "app/testing/AppTestSupport.h"
#include "platform/AudioToolbox/AudioServices.h"
#include "platform/Celestial/AVController.h"
#include "platform/GraphicsServices/GraphicsServices.h"
#include "platform/notify/notify.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsPaths.h"

// The restore waits 4 to 5 seconds: the tests that run it run again under sped-up faketime.

namespace {

constexpr const char* kSpringBoard = "/private/var/mobile/Library/Preferences/com.apple.springboard.plist";
constexpr const char* kPhone = "/private/var/mobile/Library/Preferences/com.apple.mobilephone.plist";
constexpr const char* kMail = "/private/var/mobile/Library/Preferences/com.apple.mobilemail.plist";
constexpr const char* kSounds = "/private/var/mobile/Library/Preferences/com.apple.preferences.sounds.plist";
constexpr const char* kSmsTone = "/System/Library/Audio/UISounds/sms-received1.caf";
constexpr const char* kSoundBehaviour = "/System/Library/PrivateFrameworks/Celestial.framework/SystemSoundBehaviour.plist";

using Announcements = std::vector<std::pair<std::string, std::string>>;

std::string contents(const std::string& realPath) {
  std::ifstream in(realPath, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void editPreferences(const char* path, const std::function<void(NSMutableDictionary&)>& edit) {
  auto preferences = NSMutableDictionary::initWithContentsOfFile(path);
  ASSERT_TRUE(preferences);
  edit(*preferences);
  ASSERT_TRUE(preferences->writeToFileAtomically(path));
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A phone silenced by the switcher in the user-profile mode with every sound off, the
// daemon's saved copies in the settings file.
class SilencedPhone : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(phone.ready());
    originalTone = contents(phone.at(kSmsTone));
    originalBehaviour = contents(phone.at(kSoundBehaviour));
    originalPreferences = {contents(phone.at(kSpringBoard)), contents(phone.at(kPhone)),
                           contents(phone.at(kMail)), contents(phone.at(kSounds))};
    phone.editSettings([](NSMutableDictionary& settings) {
      settings.setBool(kEventInProgress, true);
      settings.setString(kSavedRingtone, "<default>");
      settings.setInt(kSavedRingVibrate, 1);
      settings.setString(kSavedCalendarAlarm, "Alarm");
      settings.setInt(kSavedSmsSound, 2);
      settings.setBool(kSavedLockUnlock, true);
      settings.setBool(kSavedVoicemailToneEnabled, true);
      settings.setBool(kSavedPlayNewMailSound, true);
      settings.setBool(kSavedPlaySentMailSound, true);
      settings.setBool(kSavedKeyboard, true);
    });
  }

  void silenceInUserProfileMode() {
    std::ofstream(phone.at(kSmsTone) + ".orig", std::ios::binary) << originalTone;
    std::ofstream(phone.at(kSmsTone), std::ios::binary) << "silent tone";
    std::ofstream(phone.at(kSoundBehaviour) + ".orig", std::ios::binary) << originalBehaviour;
    std::ofstream(phone.at(kSoundBehaviour), std::ios::binary) << "vibrate table";
    editPreferences(kSpringBoard, [](NSMutableDictionary& preferences) {
      preferences.setString("ringtone", "system:Mutaro");
      preferences.setInt("ring-vibrate", 0);
      preferences.setString("calendar-alarm", "");
      preferences.setInt("sms-sound", 1);
      preferences.setBool("lock-unlock", false);
    });
    editPreferences(kPhone, [](NSMutableDictionary& preferences) { preferences.setBool("VoicemailToneEnabled", false); });
    editPreferences(kMail, [](NSMutableDictionary& preferences) {
      preferences.setBool("PlayNewMailSound", false);
      preferences.setBool("PlaySentMailSound", false);
    });
    editPreferences(kSounds, [](NSMutableDictionary& preferences) { preferences.setBool("keyboard", false); });
    phone.editSettings([](NSMutableDictionary& settings) {
      settings.setBool(kEnableProfilesSwitch, true);
      settings.setString(kVolume, "0.250000");
    });
    std::ofstream(phone.at(kMarkerPath));
    AVController::avController()->setVolume(0);
  }

  void silenceInSilentPhoneMode() {
    phone.editSettings([](NSMutableDictionary& settings) { settings.setString(kVolume, "1.0"); });
    std::ofstream(phone.at(kMarkerPath));
    AVController::avController()->setVolume(0);
  }

  std::vector<std::string> preferenceFiles() {
    return {contents(phone.at(kSpringBoard)), contents(phone.at(kPhone)), contents(phone.at(kMail)),
            contents(phone.at(kSounds))};
  }

  TestPhone phone;
  std::string originalTone;
  std::string originalBehaviour;
  std::vector<std::string> originalPreferences;
};

TEST_F(SilencedPhone, DisableEventRestoresTheSavedSoundsInTheUserProfileMode) {
  if (reranUnderFaketime()) return;
  silenceInUserProfileMode();
  auto ui = launchApplication();
  ASSERT_TRUE(enableProfiles);
  std::string output = capturedOutput([&] { ASSERT_TRUE(ui->tapSwitch("Disable Event")); });

  auto settings = phone.settingsSnapshot();
  EXPECT_EQ(settings[kDisableEventSwitch], "true");
  EXPECT_EQ(settings[kEventInProgress], "true");
  EXPECT_TRUE(settings.count(kUpdatedRevert));
  EXPECT_FALSE(phone.exists(kMarkerPath));
  // Every saved copy is back in its file (init wrote the original values).
  EXPECT_EQ(preferenceFiles(), originalPreferences);
  EXPECT_EQ(contents(phone.at(kSmsTone)), originalTone);
  EXPECT_EQ(contents(phone.at(kSoundBehaviour)), originalBehaviour);
  EXPECT_TRUE(phone.exists(std::string(kSmsTone) + ".orig"));
  EXPECT_EQ(simulatedAnnouncements(),
            (Announcements{{"com.apple.springboard", "ringtone"},
                           {"com.apple.springboard", "sms-sound"},
                           {"com.apple.springboard", "calendar-alarm"},
                           {"com.apple.springboard", "ring-vibrate"},
                           {"com.apple.springboard", "lock-unlock"},
                           {"com.apple.mobilephone", "VoicemailToneEnabled"},
                           {"com.apple.mobilemail", "PlayNewMailSound"},
                           {"com.apple.mobilemail", "PlaySentMailSound"},
                           {"com.apple.preferences.sounds", "keyboard"}}));
  EXPECT_TRUE(simulatedNotifyPosts().empty());
  EXPECT_FLOAT_EQ(AVController::avController()->volume(), 0.25f);
  EXPECT_EQ(simulatedVibrationCount(), 3);

  EXPECT_TRUE(contains(output, "Revert to original\n"));
  EXPECT_TRUE(contains(output, "Reverting sounds back to original"));
  EXPECT_TRUE(contains(output, "Set volume to: 0.250000\n"));
  EXPECT_TRUE(contains(output, "Unset status bar\n"));
  EXPECT_TRUE(contains(output, "Revert to original - Done"));
  for (const char* notWritten : {"Unset status bar NEW", "User profile", "Setting Ringtone", "Revert Ringtone",
                                 "Reverted", "Profiles are disabled"}) {
    EXPECT_FALSE(contains(output, notWritten)) << notWritten;
  }
}

TEST_F(SilencedPhone, EnabledOffRestoresTheWholePhoneInTheModeHeldInMemory) {
  if (reranUnderFaketime()) return;
  silenceInSilentPhoneMode();
  auto ui = launchApplication();
  ASSERT_FALSE(enableProfiles);
  // Changed by another process after the start: the application does not see it.
  phone.editSettings([](NSMutableDictionary& settings) { settings.setBool(kEnableProfilesSwitch, true); });
  std::string tone = contents(phone.at(kSmsTone));
  std::string output = capturedOutput([&] { ASSERT_TRUE(ui->tapSwitch("Enabled")); });

  auto settings = phone.settingsSnapshot();
  EXPECT_EQ(settings[kEnabledSwitch], "false");
  EXPECT_EQ(settings[kEventInProgress], "false");
  EXPECT_TRUE(settings.count(kUpdatedRevert));
  EXPECT_FALSE(phone.exists(kMarkerPath));
  EXPECT_EQ(preferenceFiles(), originalPreferences);
  EXPECT_EQ(contents(phone.at(kSmsTone)), tone);
  EXPECT_FALSE(phone.exists(std::string(kSmsTone) + ".orig"));
  EXPECT_TRUE(simulatedAnnouncements().empty());
  ASSERT_EQ(simulatedNotifyPosts().size(), 1u);
  EXPECT_EQ(simulatedNotifyPosts()[0].first, "com.apple.springboard.ringerstate");
  EXPECT_EQ(simulatedNotifyPosts()[0].second, std::optional<uint64_t>(1));
  EXPECT_FLOAT_EQ(AVController::avController()->volume(), 1.0f);
  EXPECT_EQ(simulatedVibrationCount(), 3);
  EXPECT_TRUE(contains(output, "Set volume to: 1.000000\n"));
  EXPECT_TRUE(contains(output, "Unset status bar\n"));
  EXPECT_TRUE(contains(output, "Profiles are disabled"));
  EXPECT_FALSE(contains(output, "Revert to original"));
}

TEST_F(SilencedPhone, WithoutASavedVolumeTheLevelIsOneHalf) {
  if (reranUnderFaketime()) return;
  silenceInSilentPhoneMode();
  phone.removeSetting(kVolume);
  enableProfiles = false;
  std::string output = capturedOutput([] { revertToOriginalSettings(); });
  EXPECT_TRUE(contains(output, "Set volume to: 0.500000\n"));
  EXPECT_FLOAT_EQ(AVController::avController()->volume(), 0.5f);
}

TEST_F(SilencedPhone, WithoutGraphicsServicesTheUserProfileRestoreStopsAfterTheMarker) {
  silenceInUserProfileMode();
  std::filesystem::remove(phone.at(kGraphicsServicesPath));
  std::vector<std::string> silencedPreferences = preferenceFiles();
  enableProfiles = true;
  std::string output = capturedOutput([] { revertToOriginalSettings(); });
  EXPECT_TRUE(phone.settingsSnapshot().count(kUpdatedRevert));
  EXPECT_FALSE(phone.exists(kMarkerPath));
  EXPECT_EQ(preferenceFiles(), silencedPreferences);
  EXPECT_EQ(contents(phone.at(kSmsTone)), "silent tone");
  EXPECT_FLOAT_EQ(AVController::avController()->volume(), 0.0f);
  EXPECT_EQ(simulatedVibrationCount(), 0);
  EXPECT_FALSE(contains(output, "Revert to original"));
  EXPECT_FALSE(contains(output, "Set volume to"));
}

}  // namespace
