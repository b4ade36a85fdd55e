#include "app/Classes/RevertToOriginalSettings.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/Classes/ProcessGlobals.h"
#include "platform/AudioToolbox/AudioServices.h"
#include "platform/Celestial/AVController.h"
#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/NSDate.h"
#include "platform/Foundation/NSLog.h"
#include "platform/Foundation/NSMutableDictionary.h"
#include "platform/UIKit/UIApplication.h"
#include "platform/notify/notify.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsPaths.h"
#include "settings-store/SettingsStore.h"
#include "system-files/SystemFiles.h"

namespace {

constexpr const char* kRingerStateName = "com.apple.springboard.ringerstate";
constexpr double kDefaultVolume = 0.5;

void run(const std::string& command) { std::system(command.c_str()); }

// A library without the symbol leaves nothing to announce to; the restore still goes on.
void announce(const char* domain, const char* key) {
  if (GSSendAppPreferencesChanged) GSSendAppPreferencesChanged(domain, key);
}

void sendRingerState(uint64_t state) {
  int token = 0;
  notify_register_check(kRingerStateName, &token);
  notify_set_state(token, state);
  notify_post(kRingerStateName);
  notify_cancel(token);
}

void restoreVolume() {
  double volume = kDefaultVolume;
  if (char* saved = readPlistString(kVolume)) {
    volume = std::atof(saved);
    std::free(saved);
  }
  std::printf("Set volume to: %f\n", volume);
  std::fflush(stdout);
  // A level outside float's range cannot be converted; the controller takes 0..1 anyway.
  AVController::avController()->setVolume(static_cast<float>(std::clamp(volume, 0.0, 1.0)));
  sleep(1);
}

void closingSteps() {
  std::printf("Unset status bar\n");
  std::fflush(stdout);
  sleep(1);
  AudioServicesPlaySystemSound(kSystemSoundID_Vibrate);
  AudioServicesPlayAlertSound(kSystemSoundID_Vibrate);
  run(shellDevicePath(kVibrateToolPath));
  sleep(1);
}

void restoreString(NSMutableDictionary* preferences, const char* savedKey, const char* key) {
  if (char* saved = readPlistString(savedKey)) {
    if (preferences) preferences->setString(key, saved);
    std::free(saved);
  }
}

void restoreNumber(NSMutableDictionary* preferences, const char* savedKey, const char* key) {
  int32_t saved = 0;
  if (readPlistNumber(savedKey, &saved) && preferences) preferences->setInt(key, saved);
}

void restoreBool(NSMutableDictionary* preferences, const char* savedKey, const char* key) {
  bool saved = false;
  if (readPlistBool(savedKey, &saved) && preferences) preferences->setBool(key, saved);
}

void write(const NSMutableDictionary* preferences, const char* path) {
  if (preferences) preferences->writeToFileAtomically(path);
}

void copyBack(const char* systemFile) {
  run(shellDevicePath(kCopyFileToolPath) + " " + shellDevicePath(std::string(systemFile) + ".orig") + " " +
      shellDevicePath(systemFile));
}

void silentPhoneMode() {
  sendRingerState(1);
  run("killall mediaserverd");
  sleep(2);
  restoreVolume();
  closingSteps();
  NSLog("Profiles are disabled");
}

void userProfileMode() {
  void* library = loadGraphicsServices();
  if (!library) return;
  GSSendAppPreferencesChanged = lookupGSSendAppPreferencesChanged(library);
  NSLog("Revert to original");

  auto springboard = NSMutableDictionary::initWithContentsOfFile(kSpringBoardPreferencesPath);
  restoreString(springboard.get(), kSavedRingtone, "ringtone");
  restoreNumber(springboard.get(), kSavedRingVibrate, "ring-vibrate");
  restoreString(springboard.get(), kSavedCalendarAlarm, "calendar-alarm");
  restoreNumber(springboard.get(), kSavedSmsSound, "sms-sound");
  restoreBool(springboard.get(), kSavedLockUnlock, "lock-unlock");
  write(springboard.get(), kSpringBoardPreferencesPath);
  for (const char* key : {"ringtone", "sms-sound", "calendar-alarm", "ring-vibrate", "lock-unlock"}) {
    announce("com.apple.springboard", key);
  }

  auto phone = NSMutableDictionary::initWithContentsOfFile(kPhonePreferencesPath);
  restoreBool(phone.get(), kSavedVoicemailToneEnabled, "VoicemailToneEnabled");
  write(phone.get(), kPhonePreferencesPath);
  announce("com.apple.mobilephone", "VoicemailToneEnabled");

  auto mail = NSMutableDictionary::initWithContentsOfFile(kMailPreferencesPath);
  restoreBool(mail.get(), kSavedPlayNewMailSound, "PlayNewMailSound");
  restoreBool(mail.get(), kSavedPlaySentMailSound, "PlaySentMailSound");
  write(mail.get(), kMailPreferencesPath);
  announce("com.apple.mobilemail", "PlayNewMailSound");
  announce("com.apple.mobilemail", "PlaySentMailSound");

  auto sounds = NSMutableDictionary::initWithContentsOfFile(kSoundsPreferencesPath);
  restoreBool(sounds.get(), kSavedKeyboard, "keyboard");
  write(sounds.get(), kSoundsPreferencesPath);
  announce("com.apple.preferences.sounds", "keyboard");

  springboard.reset();
  phone.reset();
  mail.reset();
  sounds.reset();
  NSLog("Reverting sounds back to original");

  copyBack(kSoundBehaviourPath);
  copyBack(kSmsTonePath);
  run("killall mediaserverd");
  sleep(1);
  restoreVolume();
  closingSteps();
  NSLog("Revert to original - Done");
}

}  // namespace

void handleDisabled() {
  bool eventInProgress = false;
  if (!readPlistBool(kEventInProgress, &eventInProgress) || !eventInProgress) return;
  bool eventDisabled = false;
  readPlistBool(kDisableEventSwitch, &eventDisabled);
  if (!eventDisabled) {
    revertToOriginalSettings();
    updatePlistBool(kEventInProgress, false);
  }
}

void handleDisableEvent() {
  bool eventInProgress = false;
  if (readPlistBool(kEventInProgress, &eventInProgress) && eventInProgress) revertToOriginalSettings();
}

void revertToOriginalSettings() {
  // The restore holds the screen for seconds: the user sees why, and taps made meanwhile are
  // dropped rather than acted on afterwards.
  IgnoringInteractionEvents restoring("Restoring sounds…");
  try {
    updatePlistString(kUpdatedRevert, localTimeStamp().c_str());
  } catch (...) {
    // The stamp is diagnostic only; the restore goes on without it.
  }
  run("rm -rf " + shellDevicePath(kMarkerPath));
  if (enableProfiles) {
    userProfileMode();
  } else {
    silentPhoneMode();
  }
}
