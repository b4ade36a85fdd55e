#include "daemon/RunControl.h"

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "daemon/DaemonState.h"
#include "daemon/EventDetection.h"
#include "daemon/NextWake.h"
#include "daemon/ShellCommand.h"
#include "platform/Foundation/NSDate.h"
#include "platform/Foundation/NSException.h"
#include "platform/Foundation/NSLog.h"
#include "platform/Foundation/NSMutableDictionary.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsStore.h"

namespace {

// A system preference file as a whole dictionary; one that cannot be read is empty.
std::unique_ptr<NSMutableDictionary> systemPreferences(const char* phonePath) {
  std::unique_ptr<NSMutableDictionary> preferences =
      NSMutableDictionary::initWithContentsOfFile(phonePath);
  return preferences ? std::move(preferences) : std::make_unique<NSMutableDictionary>();
}

// A missing text removes the key.
void saveString(const char* key, const std::optional<std::string>& value) {
  updatePlistString(key, value ? value->c_str() : nullptr);
}

// The end of the event's silence: revert unless the user already released the event (then
// only that flag is cleared and `alreadyReleased` logged), and clear the event state.
void leaveEvent(const char* alreadyReleased) {
  bool disabled = false;
  readPlistBool(kDisableEventSwitch, &disabled);
  if (disabled) {
    NSLog("%s", alreadyReleased);
    updatePlistBool(kDisableEventSwitch, false);
  } else {
    NSLog("Current event was not disabled");
    revertToOriginalSettings();
  }
  updatePlistBool(kEventInProgress, false);
  setMiddleOfEvent(false);
}

}  // namespace

bool needToRun() {
  try {
    updatePlistString(kUpdated, localTimeStamp().c_str());
  } catch (const NSException&) {
    // A failed stamp does not stop the pass.
  }
  bool enabled = false;
  if (!readPlistBool(kEnabledSwitch, &enabled)) return false;
  if (!enabled) {
    NSLog("Mutaro is disabled");
    return false;
  }
  return true;
}

void exitBecauseDisabled() {
  bool inProgress = false;
  if (readPlistBool(kEventInProgress, &inProgress) && inProgress) {
    leaveEvent("Current event was already disabled");
  }
  NSLog("Exit Application. Mutaro is disabled");
  exit(0);
}

void Mutaro() {
  if (haveEvent()) {
    NSLog("Has an event............");
    runShellCommand("./Mutarodh 1");
  }
}

bool haveEvent() {
  NSLog("Check if event in progress");
  bool inProgress = false;
  if (!readPlistBool(kEventInProgress, &inProgress)) {
    NSLog("Error - could not check event in progress");
    return false;
  }
  NSLog("After check ...");

  if (inProgress) {
    setMiddleOfEvent(true);
    if (eventEnded()) leaveEvent("Not reverting - Current Event was disabled");
    return false;
  }

  if (eventStarted()) {
    updatePlistBool(kEventInProgress, true);
    saveOriginalSettings();
    setMiddleOfEvent(true);
    return true;
  }
  return false;
}

bool eventStarted() {
  if (!runningEvent()) return false;
  NSLog("Event started");
  return true;
}

bool eventEnded() {
  if (runningEvent()) return false;
  NSLog("Event ended");
  return true;
}

void saveOriginalSettings() {
  auto springboard = systemPreferences("/private/var/mobile/Library/Preferences/com.apple.springboard.plist");
  saveString(kSavedRingtone, springboard->stringForKey("ringtone"));
  updatePlistNumber(kSavedRingVibrate, springboard->intForKey("ring-vibrate").value_or(0));
  saveString(kSavedCalendarAlarm, springboard->stringForKey("calendar-alarm"));
  updatePlistNumber(kSavedSmsSound, springboard->intForKey("sms-sound").value_or(0));
  updatePlistBool(kSavedLockUnlock, springboard->boolForKey("lock-unlock").value_or(false));

  auto phone = systemPreferences("/private/var/mobile/Library/Preferences/com.apple.mobilephone.plist");
  updatePlistBool(kSavedVoicemailToneEnabled, phone->boolForKey("VoicemailToneEnabled").value_or(true));

  auto mail = systemPreferences("/private/var/mobile/Library/Preferences/com.apple.mobilemail.plist");
  updatePlistBool(kSavedPlayNewMailSound, mail->boolForKey("PlayNewMailSound").value_or(true));
  updatePlistBool(kSavedPlaySentMailSound, mail->boolForKey("PlaySentMailSound").value_or(true));

  auto sounds = systemPreferences("/private/var/mobile/Library/Preferences/com.apple.preferences.sounds.plist");
  updatePlistBool(kSavedKeyboard, sounds->boolForKey("keyboard").value_or(true));
}

void revertToOriginalSettings() { runShellCommand("./Mutarodh 0"); }

void runPass() {
  if (!needToRun()) exitBecauseDisabled();

  NSLog("*********** Checking for event - main thread");
  Mutaro();

  int32_t wake = getWakeUpDate();
  if (wake > 0) updateNextWake(static_cast<time_t>(wake));

  updatePlistString(kUpdatedExit, localTimeStamp().c_str());

  time_t now = time(nullptr);
  // An event found in progress whose end is no longer ahead ended while this pass ran (it
  // read the clock twice): one more pass gives the sounds back rather than leaving the phone
  // silenced with no wake scheduled.
  bool eventEndedDuringPass = wake <= 0 && readMiddleOfEvent();
  if ((wake > 0 && wake < now + 60) || eventEndedDuringPass) {
    NSLog("Next event is in the range of 60 seconds - main thread");
    sleep(10);
    return;
  }
  NSLog("Exit main program thread - NEW NEW NEW");
  exit(0);
}
