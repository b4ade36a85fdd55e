#include "switcher/DoWork.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
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

namespace {

// Copies a system file to its ".orig" backup, unless the file in place is already the bundle's
// replacement: then an earlier silence swapped it (and no revert put the backup back, as it
// checks that it did), so the backup holds the user's original.
void backUp(const char* systemPath, const char* backupPath, const char* replacementPath) {
  if (holdsReplacement(systemPath, replacementPath)) {
    NSLog("Already replaced, keeping %s", backupPath);
    return;
  }
  runShellCommand(copyFileCommand(systemPath, backupPath));
}

void writeIfRead(const std::unique_ptr<NSMutableDictionary>& preferences, const char* path) {
  if (preferences) preferences->writeToFileAtomically(path);
}

// Stores the level the revert restores; not over the level of a silence already applied, which
// is the user's, while the level now is the silenced one. A level that could not be stored (a
// full disk) would be lost with the volume at 0: the volume goes back to `before` instead.
void storeVolume(const char* level, bool keepSavedVolume, float before) {
  if (keepSavedVolume) {
    NSLog("Silent profile already applied, keeping the saved volume");
    return;
  }
  updatePlistString(kVolume, level);
  char* stored = readPlistString(kVolume);
  bool saved = stored != nullptr && std::strcmp(stored, level) == 0;
  std::free(stored);
  if (!saved) {
    NSLog("Could not save the volume, leaving it as it was");
    AVController::avController()->setVolume(before);
  }
}

void silencePhone(bool keepSavedVolume) {
  NSLog(">>>>> Silent phone");
  const float before = AVController::avController()->volume();
  sendRingerState(kRingerOff);
  runShellCommand(killMediaServerCommand());
  sleep(2);
  AVController::avController()->setVolume(0.0f);
  sleep(1);
  // Revert turns the volume up to full.
  storeVolume("1.0", keepSavedVolume, before);
  NSLog("Profiles are disabled");
}

void silenceUserProfile(bool ringtone, bool vibrate, bool voicemail, bool newMail, bool calendar,
                        bool sms, bool sentMail, bool lockUnlock, bool keyboard,
                        bool keepSavedVolume) {
  NSLog("Do work started");
  // A file that cannot be read yields no dictionary: its edits and its write are skipped,
  // its announcements are not.
  auto springBoard = NSMutableDictionary::initWithContentsOfFile(kSpringBoardPreferencesPath);
  auto phone = NSMutableDictionary::initWithContentsOfFile(kPhonePreferencesPath);
  auto mail = NSMutableDictionary::initWithContentsOfFile(kMailPreferencesPath);
  auto sounds = NSMutableDictionary::initWithContentsOfFile(kSoundsPreferencesPath);
  bool springBoardChanged = false;
  bool mailChanged = false;

  try {
    updatePlistString(kUpdatedSilent, localTimeStamp().c_str());
    NSLog("Update silent time");
  } catch (const std::exception&) {
    // The stamp is diagnostic only; the silence goes on without it.
  }

  if (!ringtone) {
    if (springBoard) springBoard->setString(kRingtoneKey, kSilentRingtone);
    springBoardChanged = true;
  }
  if (!vibrate) {
    if (springBoard) springBoard->setInt(kRingVibrateKey, 0);
    springBoardChanged = true;
  }
  if (!calendar) {
    if (springBoard) springBoard->setString(kCalendarAlarmKey, "");
    springBoardChanged = true;
  }
  if (!sms) {
    if (springBoard) springBoard->setInt(kSmsSoundKey, 1);
    backUp(kSmsTonePath, kSmsToneBackupPath, kSilentSmsTonePath);
    runShellCommand(copyFileCommand(kSilentSmsTonePath, kSmsTonePath));
    springBoardChanged = true;
  }
  NSLog("Change SMS");
  if (!lockUnlock) {
    if (springBoard) springBoard->setBool(kLockUnlockKey, false);
    springBoardChanged = true;
  }
  if (springBoardChanged) {
    writeIfRead(springBoard, kSpringBoardPreferencesPath);
    NSLog("Change springboard file");
    GSSendAppPreferencesChanged(kSpringBoardDomain, kRingtoneKey);
    NSLog("Change key,value");
    GSSendAppPreferencesChanged(kSpringBoardDomain, kSmsSoundKey);
    GSSendAppPreferencesChanged(kSpringBoardDomain, kRingVibrateKey);
    GSSendAppPreferencesChanged(kSpringBoardDomain, kCalendarAlarmKey);
    GSSendAppPreferencesChanged(kSpringBoardDomain, kLockUnlockKey);
  }
  NSLog("Change SpringBoard");

  if (!voicemail) {
    if (phone) phone->setBool(kVoicemailToneEnabledKey, false);
    writeIfRead(phone, kPhonePreferencesPath);
    GSSendAppPreferencesChanged(kPhoneDomain, kVoicemailToneEnabledKey);
  }

  if (!newMail) {
    if (mail) mail->setBool(kPlayNewMailSoundKey, false);
    mailChanged = true;
  }
  if (!sentMail) {
    if (mail) mail->setBool(kPlaySentMailSoundKey, false);
    mailChanged = true;
  }
  if (mailChanged) {
    writeIfRead(mail, kMailPreferencesPath);
    GSSendAppPreferencesChanged(kMailDomain, kPlayNewMailSoundKey);
    GSSendAppPreferencesChanged(kMailDomain, kPlaySentMailSoundKey);
  }

  if (!keyboard) {
    if (sounds) sounds->setBool(kKeyboardKey, false);
    writeIfRead(sounds, kSoundsPreferencesPath);
    GSSendAppPreferencesChanged(kSoundsDomain, kKeyboardKey);
  }

  springBoard.reset();
  phone.reset();
  mail.reset();
  sounds.reset();
  NSLog("silent volume...");

  backUp(kSoundBehaviourPath, kSoundBehaviourBackupPath, kVibrateSoundBehaviourPath);
  runShellCommand(copyFileCommand(kVibrateSoundBehaviourPath, kSoundBehaviourPath));

  // The media server picks the swapped files up when it starts again.
  runShellCommand(killMediaServerCommand());
  sleep(2);

  volume = AVController::avController()->volume();
  std::printf("Current volume: %f\n", volume);
  std::fflush(stdout);
  AVController::avController()->setVolume(0.0f);
  sleep(1);

  char level[64];
  std::snprintf(level, sizeof level, "%f", volume);
  storeVolume(level, keepSavedVolume, static_cast<float>(volume));
}

}  // namespace

void doWork(bool ringtone, bool vibrate, bool voicemail, bool newMail, bool calendar, bool sms,
            bool sentMail, bool lockUnlock, bool keyboard) {
  NSLog("Do work");
  bool profilesEnabled = false;
  readPlistBool(kEnableProfilesSwitch, &profilesEnabled);

  // A volume already at 0 is still silenced by a silence (or revert) that did not finish: the
  // level saved before is the user's and must survive it. The marker does not tell: a silence
  // that could not write (a full disk) leaves it, yet saved nothing.
  bool keepSavedVolume = false;
  if (AVController::avController()->volume() == 0.0f) {
    char* saved = readPlistString(kVolume);
    keepSavedVolume = saved != nullptr;
    std::free(saved);
  }
  runShellCommand(touchMarkerCommand());

  if (!profilesEnabled) {
    silencePhone(keepSavedVolume);
  } else {
    silenceUserProfile(ringtone, vibrate, voicemail, newMail, calendar, sms, sentMail, lockUnlock,
                       keyboard, keepSavedVolume);
  }
}
