#include "daemon/RunControl.h"

#include <sys/stat.h>
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
#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/NSDate.h"
#include "platform/Foundation/NSException.h"
#include "platform/Foundation/NSLog.h"
#include "platform/Foundation/NSMutableDictionary.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsPaths.h"
#include "settings-store/SettingsStore.h"

namespace {

// Passes in a row that find the calendar locked before the daemon gives up for a minute.
constexpr int kLockedCalendarPasses = 6;

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

void Mutaro(time_t now) {
  if (haveEvent(now)) {
    NSLog("Has an event............");
    runShellCommand("./Mutarodh 1");
  }
}

bool haveEvent(time_t now) {
  NSLog("Check if event in progress");
  bool inProgress = false;
  if (!readPlistBool(kEventInProgress, &inProgress)) {
    NSLog("Error - could not check event in progress");
    return false;
  }
  NSLog("After check ...");

  if (inProgress) {
    setMiddleOfEvent(true);
    if (eventEnded(now)) leaveEvent("Not reverting - Current Event was disabled");
    return false;
  }

  if (eventStarted(now)) {
    updatePlistBool(kEventInProgress, true);
    // A release belongs to the event it was given in: one left from before this event would keep
    // its end from giving the sounds back.
    bool released = false;
    if (readPlistBool(kDisableEventSwitch, &released) && released) updatePlistBool(kDisableEventSwitch, false);
    saveOriginalSettings();
    setMiddleOfEvent(true);
    return true;
  }
  return false;
}

bool eventStarted(time_t now) {
  if (!runningEvent(now) || calendarBusy) return false;
  NSLog("Event started");
  return true;
}

bool eventEnded(time_t now) {
  if (runningEvent(now) || calendarBusy) return false;
  NSLog("Event ended");
  return true;
}

void saveOriginalSettings() {
  struct stat marker;
  if (stat(devicePath(kMarkerPath).c_str(), &marker) == 0) {
    NSLog("Silent profile already applied, keeping the saved sounds");
    return;
  }
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
  // One reading of the clock for the whole pass: detection and the next wake agree on "now", so
  // an end that passes while the pass runs (the switcher alone takes seconds) is still ahead for
  // the next wake, which then lies less than a minute away and brings another pass.
  const time_t passTime = time(nullptr);
  calendarBusy = false;
  if (!needToRun()) exitBecauseDisabled();

  NSLog("*********** Checking for event - main thread");
  Mutaro(passTime);

  int32_t wake = getWakeUpDate(passTime);
  if (wake > 0) updateNextWake(static_cast<time_t>(wake));

  updatePlistString(kUpdatedExit, localTimeStamp().c_str());

  time_t now = time(nullptr);
  if (calendarBusy) {
    // A locked calendar is no answer: try again shortly, for about a minute, then leave the state
    // as it is and come back in a minute.
    static int lockedPasses = 0;
    if (++lockedPasses < kLockedCalendarPasses) {
      NSLog("Calendar DB locked - checking again in 10 seconds");
      sleep(10);
      return;
    }
    NSLog("Calendar DB still locked - checking again in a minute");
    updateNextWake(now + 60);
  } else if (wake > 0 && wake < now + 60) {
    NSLog("Next event is in the range of 60 seconds - main thread");
    sleep(10);
    return;
  }
  NSLog("Exit main program thread - NEW NEW NEW");
  exit(0);
}
