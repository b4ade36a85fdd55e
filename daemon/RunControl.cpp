#include "daemon/RunControl.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

// When the daemon last found the phone silenced for the event in progress; none outside events.
std::optional<time_t> silencedCheckedAt() {
  char* text = readPlistString(kSilencedCheckedAt);
  if (text == nullptr) return std::nullopt;
  char* end = nullptr;
  long long seen = strtoll(text, &end, 10);
  bool number = end != text && *end == '\0';
  free(text);
  return number ? std::optional<time_t>(seen) : std::nullopt;
}

void noteSilencedCheck(time_t now) { updatePlistString(kSilencedCheckedAt, std::to_string(now).c_str()); }

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
  if (silencedCheckedAt()) updatePlistString(kSilencedCheckedAt, nullptr);
  updatePlistBool(kEventInProgress, false);
  setMiddleOfEvent(false);
}

// The event in progress was released by the user. The release covers the events that had started
// when the daemon last found the phone silenced (the daemon wakes at every start during an event);
// one that started later is a new start, and the release ends with the last event it covers.
// True when a new event started.
bool passReleased(time_t now) {
  time_t covered = silencedCheckedAt().value_or(now);
  if (eventStarted(now, covered + 1)) {
    updatePlistBool(kDisableEventSwitch, false);
    noteSilencedCheck(now);
    saveOriginalSettings();
    return true;
  }
  if (!calendarBusy && eventEnded(now)) leaveEvent("Not reverting - Current Event was disabled");
  return false;
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
    bool released = false;
    if (readPlistBool(kDisableEventSwitch, &released) && released) return passReleased(now);
    if (eventEnded(now)) {
      leaveEvent("Not reverting - Current Event was disabled");
    } else if (!calendarBusy) {
      noteSilencedCheck(now);
    }
    return false;
  }

  if (eventStarted(now)) {
    updatePlistBool(kEventInProgress, true);
    // A release belongs to the event it was given in: one left from before this event would keep
    // its end from giving the sounds back.
    bool released = false;
    if (readPlistBool(kDisableEventSwitch, &released) && released) updatePlistBool(kDisableEventSwitch, false);
    noteSilencedCheck(now);
    saveOriginalSettings();
    setMiddleOfEvent(true);
    return true;
  }
  return false;
}

bool eventStarted(time_t now, std::optional<time_t> startedSince) {
  if (!runningEvent(now, startedSince) || calendarBusy) return false;
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

  time_t wake = getWakeUpDate(passTime, true);
  if (wake > 0) updateNextWake(wake);

  updatePlistString(kUpdatedExit, localTimeStamp().c_str());

  time_t now = time(nullptr);
  // Locked passes in a row: a pass that reads the calendar ends the run.
  static int lockedPasses = 0;
  lockedPasses = calendarBusy ? lockedPasses + 1 : 0;
  if (lockedPasses > 0 && lockedPasses < kLockedCalendarPasses) {
    // A locked calendar is no answer: try again 10 seconds after this pass began, for about a
    // minute, then leave the state as it is and come back in a minute.
    NSLog("Calendar DB locked - checking again in 10 seconds");
    // A clock set back meanwhile must not stretch the pause.
    time_t pause = std::min<time_t>(passTime + 10 - now, 10);
    if (pause > 0) sleep(static_cast<unsigned>(pause));
    return;
  }
  if (lockedPasses > 0) {
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
