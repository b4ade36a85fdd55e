#include "switcher/DoWork.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <memory>

#include "platform/Celestial/AVController.h"
#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/NSDate.h"
#include "platform/Foundation/NSLog.h"
#include "platform/Foundation/NSMutableDictionary.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsPaths.h"
#include "settings-store/SettingsStore.h"
#include "switcher/RingerState.h"
#include "switcher/ShellCommands.h"
#include "switcher/SwitcherState.h"
#include "system-files/SystemFiles.h"

namespace {

bool phoneFileExists(const char* phonePath) {
  struct stat info;
  return stat(devicePath(phonePath).c_str(), &info) == 0;
}

// Copies a system file to its ".orig" backup. When the silent profile was already applied
// before this run, the system file may hold the bundle's replacement by now; the backup made
// then holds the user's original and is kept.
void backUp(const char* systemPath, const char* backupPath, bool silenceAlreadyApplied) {
  if (silenceAlreadyApplied && phoneFileExists(backupPath)) {
    NSLog("Silent profile already applied, keeping %s", backupPath);
    return;
  }
  runShellCommand(copyFileCommand(systemPath, backupPath));
}

void writeIfRead(const std::unique_ptr<NSMutableDictionary>& preferences, const char* path) {
  if (preferences) preferences->writeToFileAtomically(path);
}

void silencePhone() {
  NSLog(">>>>> Silent phone");
  sendRingerState(kRingerOff);
  runShellCommand(killMediaServerCommand());
  sleep(2);
  AVController::avController()->setVolume(0.0f);
  sleep(1);
  // Revert turns the volume up to full.
  updatePlistString(kVolume, "1.0");
  NSLog("Profiles are disabled");
}

void silenceUserProfile(bool ringtone, bool vibrate, bool voicemail, bool newMail, bool calendar,
                        bool sms, bool sentMail, bool lockUnlock, bool keyboard,
                        bool silenceAlreadyApplied) {
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
    backUp(kSmsTonePath, kSmsToneBackupPath, silenceAlreadyApplied);
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

  backUp(kSoundBehaviourPath, kSoundBehaviourBackupPath, silenceAlreadyApplied);
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
  updatePlistString(kVolume, level);
}

}  // namespace

void doWork(bool ringtone, bool vibrate, bool voicemail, bool newMail, bool calendar, bool sms,
            bool sentMail, bool lockUnlock, bool keyboard) {
  NSLog("Do work");
  bool profilesEnabled = false;
  readPlistBool(kEnableProfilesSwitch, &profilesEnabled);

  // A marker file that is already there means this is a second silence without a revert
  // between; the backups of the first one must survive it.
  bool silenceAlreadyApplied = phoneFileExists(kMarkerPath);
  runShellCommand(touchMarkerCommand());

  if (!profilesEnabled) {
    silencePhone();
  } else {
    silenceUserProfile(ringtone, vibrate, voicemail, newMail, calendar, sms, sentMail, lockUnlock,
                       keyboard, silenceAlreadyApplied);
  }
}
