#include "app/Classes/RevertToOriginalSettings.h"

#include <sys/stat.h>
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
#include "settings-store/SoundsLock.h"
#include "system-files/Backups.h"
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

// The marker stays while sounds are owed, the volume included: a later revert (or a restore
// after this one was cut short) then finishes it.
void settleMarker(bool back) {
  if (back) {
    run("rm -rf " + shellDevicePath(kMarkerPath));
  } else {
    NSLog("Not all sounds are back, keeping the marker");
  }
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

// False only when a file that was read could not be written back: its sounds are not back.
bool write(const NSMutableDictionary* preferences, const char* path) {
  return !preferences || preferences->writeToFileAtomically(path);
}

// True when the system file holds its backup afterwards.
bool copyBack(const char* systemFile, const char* backup) {
  run(shellDevicePath(kCopyFileToolPath) + " " + shellDevicePath(backup) + " " + shellDevicePath(systemFile));
  return backupIsBack(systemFile, backup);
}

// Binds the announcer of preference changes; false without the library that has it.
bool bindAnnouncer() {
  void* library = loadGraphicsServices();
  if (!library) return false;
  GSSendAppPreferencesChanged = lookupGSSendAppPreferencesChanged(library);
  return true;
}

// The saved copies back into the four preference files and the two swapped files back from
// their backups; true when every file is back. `steps` logs the steps, as the user-profile
// mode does.
bool giveBackProfileSounds(bool steps) {
  auto springboard = NSMutableDictionary::initWithContentsOfFile(kSpringBoardPreferencesPath);
  restoreString(springboard.get(), kSavedRingtone, "ringtone");
  restoreNumber(springboard.get(), kSavedRingVibrate, "ring-vibrate");
  restoreString(springboard.get(), kSavedCalendarAlarm, "calendar-alarm");
  restoreNumber(springboard.get(), kSavedSmsSound, "sms-sound");
  restoreBool(springboard.get(), kSavedLockUnlock, "lock-unlock");
  bool back = write(springboard.get(), kSpringBoardPreferencesPath);
  for (const char* key : {"ringtone", "sms-sound", "calendar-alarm", "ring-vibrate", "lock-unlock"}) {
    announce("com.apple.springboard", key);
  }

  auto phone = NSMutableDictionary::initWithContentsOfFile(kPhonePreferencesPath);
  restoreBool(phone.get(), kSavedVoicemailToneEnabled, "VoicemailToneEnabled");
  back = write(phone.get(), kPhonePreferencesPath) && back;
  announce("com.apple.mobilephone", "VoicemailToneEnabled");

  auto mail = NSMutableDictionary::initWithContentsOfFile(kMailPreferencesPath);
  restoreBool(mail.get(), kSavedPlayNewMailSound, "PlayNewMailSound");
  restoreBool(mail.get(), kSavedPlaySentMailSound, "PlaySentMailSound");
  back = write(mail.get(), kMailPreferencesPath) && back;
  announce("com.apple.mobilemail", "PlayNewMailSound");
  announce("com.apple.mobilemail", "PlaySentMailSound");

  auto sounds = NSMutableDictionary::initWithContentsOfFile(kSoundsPreferencesPath);
  restoreBool(sounds.get(), kSavedKeyboard, "keyboard");
  back = write(sounds.get(), kSoundsPreferencesPath) && back;
  announce("com.apple.preferences.sounds", "keyboard");

  springboard.reset();
  phone.reset();
  mail.reset();
  sounds.reset();
  if (steps) NSLog("Reverting sounds back to original");

  back = copyBack(kSoundBehaviourPath, kSoundBehaviourBackupPath) && back;
  return copyBack(kSmsTonePath, kSmsToneBackupPath) && back;
}

// Each mode answers whether every file it gives back is back. Nothing of the silent-phone
// mode lives in a file, unless a user-profile silence is applied (the mode changed since).
bool silentPhoneMode() {
  bool back = !profileSilenceApplied() || (bindAnnouncer() && giveBackProfileSounds(false));
  sendRingerState(1);
  run("killall mediaserverd");
  sleep(2);
  restoreVolume();
  settleMarker(back);
  closingSteps();
  NSLog("Profiles are disabled");
  return back;
}

bool userProfileMode() {
  if (!bindAnnouncer()) return false;
  NSLog("Revert to original");
  bool back = giveBackProfileSounds(true);
  run("killall mediaserverd");
  sleep(1);
  restoreVolume();
  settleMarker(back);
  closingSteps();
  NSLog("Revert to original - Done");
  return back;
}

}  // namespace

// Both handlers hold the sounds lock for the whole restore: a silence or revert under way ends
// first (the screen says why it waits), and one that comes meanwhile waits for the restore.
// Without the marker nothing is silenced (the silence has not begun, or a revert finished), and
// a restore would only set the volume to a level saved for another event.
namespace {
bool silenced() {
  struct stat marker;
  return stat(devicePath(kMarkerPath).c_str(), &marker) == 0;
}
}  // namespace

void handleDisabled() {
  bool eventInProgress = false;
  if (!readPlistBool(kEventInProgress, &eventInProgress) || !eventInProgress) return;
  bool eventDisabled = false;
  readPlistBool(kDisableEventSwitch, &eventDisabled);
  if (!eventDisabled) {
    IgnoringInteractionEvents restoring("Restoring sounds…");
    lockSounds();
    // Sounds not all back keep the event, so that the daemon finishes the revert.
    if (!silenced() || revertToOriginalSettings()) updatePlistBool(kEventInProgress, false);
    unlockSounds();
  }
}

void handleDisableEvent() {
  IgnoringInteractionEvents restoring("Restoring sounds…");
  lockSounds();
  bool eventInProgress = false;
  if (readPlistBool(kEventInProgress, &eventInProgress) && eventInProgress && silenced()) revertToOriginalSettings();
  // Stored while the lock is held: a silence waiting for it then sees the release.
  updatePlist(kDisableEventSwitch, true);
  unlockSounds();
}

bool revertToOriginalSettings() {
  try {
    updatePlistString(kUpdatedRevert, localTimeStamp().c_str());
  } catch (...) {
    // The stamp is diagnostic only; the restore goes on without it.
  }
  return enableProfiles ? userProfileMode() : silentPhoneMode();
}
