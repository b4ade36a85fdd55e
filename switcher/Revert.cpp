#include "switcher/Revert.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>

#include "platform/Celestial/AVController.h"
#include "platform/Foundation/NSDate.h"
#include "platform/Foundation/NSLog.h"
#include "platform/Foundation/NSMutableDictionary.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsStore.h"
#include "switcher/RingerState.h"
#include "switcher/ShellCommands.h"
#include "switcher/SwitcherState.h"
#include "system-files/Backups.h"
#include "system-files/SystemFiles.h"
#include "switcher/VibrationCue.h"

namespace {

// The level the silence stored; 0.5 when none was stored, 0.0 when it is not a number.
void restoreVolume() {
  char* saved = readPlistString(kVolume);
  volume = saved != nullptr ? std::atof(saved) : 0.5;
  std::free(saved);
  std::printf("Set volume to: %f\n", volume);
  std::fflush(stdout);
  // Outside float's range the conversion is undefined; the controller takes 0..1 in any case.
  AVController::avController()->setVolume(static_cast<float>(std::clamp(volume, 0.0, 1.0)));
  sleep(1);
}

// The marker goes only when every file and the volume are back: while it stays, the daemon and
// the settings application know that a revert is still owed, and the saved sounds and backups
// are kept. A revert killed before the volume then leaves the marker for the next one.
void settleMarker(bool back) {
  if (back) {
    runShellCommand(removeMarkerCommand());
  } else {
    NSLog("Not all sounds are back, keeping the marker");
  }
}

void closingSteps() {
  std::printf("Unset status bar NEW\n");
  std::fflush(stdout);
  sleep(1);
  vibrationCue();
  sleep(1);
}

// False only when a file that was read could not be written back (a full disk): its sounds are
// not back. A file that cannot be read has nothing to give back.
bool writeIfRead(const std::unique_ptr<NSMutableDictionary>& preferences, const char* path) {
  return !preferences || preferences->writeToFileAtomically(path);
}

// Copies a ".orig" backup back over its system file; true when the file then holds it.
bool copyBack(const char* backupPath, const char* systemPath) {
  runShellCommand(copyFileCommand(backupPath, systemPath));
  return backupIsBack(systemPath, backupPath);
}

void restoreBool(NSMutableDictionary* preferences, const char* savedKey, const char* key) {
  bool saved = false;
  if (readPlistBool(savedKey, &saved) && preferences != nullptr) preferences->setBool(key, saved);
}

void restoreInt(NSMutableDictionary* preferences, const char* savedKey, const char* key) {
  int32_t saved = 0;
  if (readPlistNumber(savedKey, &saved) && preferences != nullptr) preferences->setInt(key, saved);
}

// The saved copies back into the four preference files, and the two swapped files back from their
// backups; true when every file is back. `steps` logs the steps, as the user-profile revert does.
bool giveBackProfileSounds(bool steps) {
  // A file that cannot be read is neither changed nor written; its keys are still announced.
  auto springBoard = NSMutableDictionary::initWithContentsOfFile(kSpringBoardPreferencesPath);
  if (steps) NSLog("Setting Ringtone");
  if (char* ringtone = readPlistString(kSavedRingtone)) {
    if (steps) {
      NSLog("Revert Ringtone");
      NSLog("%s", ringtone);
    }
    if (springBoard) springBoard->setString(kRingtoneKey, ringtone);
    std::free(ringtone);
  }
  restoreInt(springBoard.get(), kSavedRingVibrate, kRingVibrateKey);
  if (char* alarm = readPlistString(kSavedCalendarAlarm)) {
    if (springBoard) springBoard->setString(kCalendarAlarmKey, alarm);
    std::free(alarm);
  }
  restoreInt(springBoard.get(), kSavedSmsSound, kSmsSoundKey);
  restoreBool(springBoard.get(), kSavedLockUnlock, kLockUnlockKey);
  bool back = writeIfRead(springBoard, kSpringBoardPreferencesPath);
  GSSendAppPreferencesChanged(kSpringBoardDomain, kRingtoneKey);
  GSSendAppPreferencesChanged(kSpringBoardDomain, kSmsSoundKey);
  GSSendAppPreferencesChanged(kSpringBoardDomain, kCalendarAlarmKey);
  GSSendAppPreferencesChanged(kSpringBoardDomain, kRingVibrateKey);
  GSSendAppPreferencesChanged(kSpringBoardDomain, kLockUnlockKey);

  auto phone = NSMutableDictionary::initWithContentsOfFile(kPhonePreferencesPath);
  restoreBool(phone.get(), kSavedVoicemailToneEnabled, kVoicemailToneEnabledKey);
  back = writeIfRead(phone, kPhonePreferencesPath) && back;
  GSSendAppPreferencesChanged(kPhoneDomain, kVoicemailToneEnabledKey);

  auto mail = NSMutableDictionary::initWithContentsOfFile(kMailPreferencesPath);
  restoreBool(mail.get(), kSavedPlayNewMailSound, kPlayNewMailSoundKey);
  restoreBool(mail.get(), kSavedPlaySentMailSound, kPlaySentMailSoundKey);
  back = writeIfRead(mail, kMailPreferencesPath) && back;
  GSSendAppPreferencesChanged(kMailDomain, kPlayNewMailSoundKey);
  GSSendAppPreferencesChanged(kMailDomain, kPlaySentMailSoundKey);

  auto sounds = NSMutableDictionary::initWithContentsOfFile(kSoundsPreferencesPath);
  restoreBool(sounds.get(), kSavedKeyboard, kKeyboardKey);
  back = writeIfRead(sounds, kSoundsPreferencesPath) && back;
  GSSendAppPreferencesChanged(kSoundsDomain, kKeyboardKey);

  springBoard.reset();
  phone.reset();
  mail.reset();
  sounds.reset();
  if (steps) NSLog("Reverting sounds back to original");

  // Both files go back whatever the switches were during the silence.
  back = copyBack(kSoundBehaviourBackupPath, kSoundBehaviourPath) && back;
  return copyBack(kSmsToneBackupPath, kSmsTonePath) && back;
}

// Nothing of this mode lives in a file, unless the silence was applied in user-profile mode (the
// mode changed since): then what it took is given back too.
void revertSilentPhone() {
  bool back = !profileSilenceApplied() || giveBackProfileSounds(false);
  sendRingerState(kRingerOn);
  runShellCommand(killMediaServerCommand());
  sleep(2);
  restoreVolume();
  settleMarker(back);
  closingSteps();
  NSLog("Profiles are disabled");
}

void revertUserProfile() {
  NSLog("User profile");
  bool back = giveBackProfileSounds(true);
  runShellCommand(killMediaServerCommand());
  sleep(2);
  restoreVolume();
  settleMarker(back);
  closingSteps();
}

}  // namespace

void revert() {
  try {
    updatePlistString(kUpdatedRevert, localTimeStamp().c_str());
  } catch (const std::exception&) {
    // The stamp is diagnostic only; the revert goes on without it.
  }

  bool profilesEnabled = false;
  readPlistBool(kEnableProfilesSwitch, &profilesEnabled);
  if (profilesEnabled) {
    revertUserProfile();
  } else {
    revertSilentPhone();
  }
}
