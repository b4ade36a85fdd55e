#pragma once
// The settings keys.

// User settings
constexpr const char* kEnabledSwitch = "EnabledSwitch";
constexpr const char* kEnableProfilesSwitch = "EnableProfilesSwitch";
constexpr const char* kDisableEventSwitch = "DisableEventSwitch";
constexpr const char* kCalendarID = "CalendarID";
constexpr const char* kRingtoneSwitch = "RingtoneSwitch";
constexpr const char* kVibrateSwitch = "VibrateSwitch";
constexpr const char* kVoicemailSwitch = "VoicemailSwitch";
constexpr const char* kNewmailSwitch = "NewmailSwitch";
constexpr const char* kSentmailSwitch = "SentmailSwitch";
constexpr const char* kSMSSwitch = "SMSSwitch";
constexpr const char* kCalendarSwitch = "CalendarSwitch";
constexpr const char* kLockunlockSwitch = "LockunlockSwitch";
constexpr const char* kKeyboardSwitch = "KeyboardSwitch";

// Event state
constexpr const char* kEventInProgress = "EventInProgress";
// When the daemon last found the phone silenced for the event in progress, Unix seconds as text:
// a release the user gives after it covers the events that had started by then.
constexpr const char* kSilencedCheckedAt = "SilencedCheckedAt";

// Saved original sounds
constexpr const char* kSavedRingtone = "Ringtone";
constexpr const char* kSavedRingVibrate = "Ring-vibrate";
constexpr const char* kSavedCalendarAlarm = "Calendar-alarm";
constexpr const char* kSavedSmsSound = "Sms-sound";
constexpr const char* kSavedLockUnlock = "Lock-unlock";
constexpr const char* kSavedVoicemailToneEnabled = "VoicemailToneEnabled";
constexpr const char* kSavedPlayNewMailSound = "PlayNewMailSound";
constexpr const char* kSavedPlaySentMailSound = "PlaySentMailSound";
constexpr const char* kSavedKeyboard = "Keyboard";
constexpr const char* kVolume = "volume";

// Status stamps
constexpr const char* kUpdatedStart = "Updated-start";
constexpr const char* kUpdated = "Updated";
constexpr const char* kUpdatedExit = "Updated-Exit";
constexpr const char* kUpdatedNextWait1Found = "Updated-NextWait1Found";
constexpr const char* kUpdatedNextWait2Found = "Updated-NextWait2Found";
constexpr const char* kUpdatedAutoWake = "Updated-AutoWake";
constexpr const char* kUpdatedSilent = "Updated-silent";
constexpr const char* kUpdatedRevert = "Updated-revert";
