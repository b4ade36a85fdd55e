#include "daemon/RunControl.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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
#include "settings-store/SoundsLock.h"
#include "system-files/SystemFiles.h"

namespace {

// Passes in a row that find the calendar locked before the daemon gives up for a minute.
constexpr int kLockedCalendarPasses = 6;
// Seconds until a revert that could not finish is tried again: past the 60-second window, so the
// daemon does not stay for it.
constexpr time_t kRevertRetry = 90;

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

bool markerExists() {
  struct stat marker;
  return stat(devicePath(kMarkerPath).c_str(), &marker) == 0;
}

// Set when a revert could not give everything back; the pass then comes back in a while to
// finish it.
bool revertUnfinished = false;

// The end of the event's silence: revert unless the user already released the event (then
// only that flag is cleared and `alreadyReleased` logged), and clear the event state. A marker
// that is still there means sounds are still owed, released or not; when the revert cannot give
// them all back, the event state stays, so that the next pass (or the settings application's
// restore) finishes it.
void leaveEvent(const char* alreadyReleased) {
  bool disabled = false;
  readPlistBool(kDisableEventSwitch, &disabled);
  if (disabled && !markerExists()) {
    NSLog("%s", alreadyReleased);
  } else {
    NSLog(disabled ? "Current event was disabled, but its sounds are not back" : "Current event was not disabled");
    revertToOriginalSettings();
    if (markerExists()) {
      NSLog("Sounds not all back - reverting again at the next pass");
      revertUnfinished = true;
      return;
    }
  }
  if (disabled) updatePlistBool(kDisableEventSwitch, false);
  if (silencedCheckedAt()) updatePlistString(kSilencedCheckedAt, nullptr);
  updatePlistBool(kEventInProgress, false);
  setMiddleOfEvent(false);
}

// What a sound's saved copy is, where it is copied from and the value the silence gives it.
struct SavedSound {
  const char* savedKey;
  const char* file;
  const char* key;
  enum { kText, kNumber, kFlag } type;
  std::string silent;        // as text: "1", "0" or the string
  std::string whenMissing;   // likewise; for a text, a missing source removes the saved key
};

const std::vector<SavedSound>& savedSounds() {
  static const std::vector<SavedSound> table = {
      {kSavedRingtone, kSpringBoardPreferencesPath, kRingtoneKey, SavedSound::kText, kSilentRingtone, ""},
      {kSavedRingVibrate, kSpringBoardPreferencesPath, kRingVibrateKey, SavedSound::kNumber, "0", "0"},
      {kSavedCalendarAlarm, kSpringBoardPreferencesPath, kCalendarAlarmKey, SavedSound::kText, "", ""},
      {kSavedSmsSound, kSpringBoardPreferencesPath, kSmsSoundKey, SavedSound::kNumber, "1", "0"},
      {kSavedLockUnlock, kSpringBoardPreferencesPath, kLockUnlockKey, SavedSound::kFlag, "0", "0"},
      {kSavedVoicemailToneEnabled, kPhonePreferencesPath, kVoicemailToneEnabledKey, SavedSound::kFlag, "0", "1"},
      {kSavedPlayNewMailSound, kMailPreferencesPath, kPlayNewMailSoundKey, SavedSound::kFlag, "0", "1"},
      {kSavedPlaySentMailSound, kMailPreferencesPath, kPlaySentMailSoundKey, SavedSound::kFlag, "0", "1"},
      {kSavedKeyboard, kSoundsPreferencesPath, kKeyboardKey, SavedSound::kFlag, "0", "1"},
  };
  return table;
}

// The sound's value as text, or nothing when the file lacks it.
std::optional<std::string> currentValue(const NSMutableDictionary& preferences, const SavedSound& sound) {
  switch (sound.type) {
    case SavedSound::kText:
      return preferences.stringForKey(sound.key);
    case SavedSound::kNumber:
      if (auto number = preferences.intForKey(sound.key)) return std::to_string(*number);
      return std::nullopt;
    case SavedSound::kFlag:
      if (auto flag = preferences.boolForKey(sound.key)) return *flag ? "1" : "0";
      return std::nullopt;
  }
  return std::nullopt;
}

bool hasSavedCopy(const SavedSound& sound) {
  if (sound.type == SavedSound::kText) {
    char* text = readPlistString(sound.savedKey);
    bool present = text != nullptr;
    std::free(text);
    return present;
  }
  int32_t number = 0;
  return readPlistNumber(sound.savedKey, &number);
}

void save(const SavedSound& sound, const std::optional<std::string>& value) {
  switch (sound.type) {
    case SavedSound::kText:
      saveString(sound.savedKey, value);
      break;
    case SavedSound::kNumber:
      updatePlistNumber(sound.savedKey, std::atoi(value.value_or(sound.whenMissing).c_str()));
      break;
    case SavedSound::kFlag:
      updatePlistBool(sound.savedKey, value.value_or(sound.whenMissing) == "1");
      break;
  }
}

// The event in progress was released by the user. The release covers the events that had started
// when the daemon last found the phone silenced (the daemon wakes at every start during an event);
// one that started later is a new start, and the release ends with the last event it covers.
// True when a new event started.
bool passReleased(time_t now) {
  time_t covered = silencedCheckedAt().value_or(now);
  if (eventStarted(now, covered + 1)) {
    lockSounds();
    updatePlistBool(kDisableEventSwitch, false);
    noteSilencedCheck(now);
    saveOriginalSettings();
    unlockSounds();
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
    // The start's bookkeeping is one step for the settings application's restore, which waits
    // for it rather than restore half-saved sounds.
    lockSounds();
    updatePlistBool(kEventInProgress, true);
    // A release belongs to the event it was given in: one left from before this event would keep
    // its end from giving the sounds back.
    bool released = false;
    if (readPlistBool(kDisableEventSwitch, &released) && released) updatePlistBool(kDisableEventSwitch, false);
    noteSilencedCheck(now);
    saveOriginalSettings();
    unlockSounds();
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

// A sound that holds the value the silence gives it is still (partly) silenced, by a silence or
// a revert that could not finish: its value now is not the user's, and an earlier saved copy
// is kept.
void saveOriginalSettings() {
  std::map<std::string, std::unique_ptr<NSMutableDictionary>> files;
  for (const SavedSound& sound : savedSounds()) {
    auto& preferences = files[sound.file];
    if (!preferences) preferences = systemPreferences(sound.file);
    std::optional<std::string> value = currentValue(*preferences, sound);
    if (value == sound.silent && hasSavedCopy(sound)) {
      NSLog("Silent value found, keeping the saved %s", sound.savedKey);
      continue;
    }
    save(sound, value);
  }
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
  if (revertUnfinished && (wake <= 0 || wake > time(nullptr) + kRevertRetry)) wake = time(nullptr) + kRevertRetry;
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
