#pragma once
// Phone paths of the system files that the switcher and the settings application's restore
// edit and swap, the preference domains they announce, and the bundle files they copy from.
// Each program keeps its own procedures; only these names are shared.

// The system's sound preference files and the domains that own them.
constexpr const char* kSpringBoardPreferencesPath =
    "/private/var/mobile/Library/Preferences/com.apple.springboard.plist";
constexpr const char* kPhonePreferencesPath =
    "/private/var/mobile/Library/Preferences/com.apple.mobilephone.plist";
constexpr const char* kMailPreferencesPath =
    "/private/var/mobile/Library/Preferences/com.apple.mobilemail.plist";
constexpr const char* kSoundsPreferencesPath =
    "/private/var/mobile/Library/Preferences/com.apple.preferences.sounds.plist";

constexpr const char* kSpringBoardDomain = "com.apple.springboard";
constexpr const char* kPhoneDomain = "com.apple.mobilephone";
constexpr const char* kMailDomain = "com.apple.mobilemail";
constexpr const char* kSoundsDomain = "com.apple.preferences.sounds";

// Keys of the system preference files.
constexpr const char* kRingtoneKey = "ringtone";
constexpr const char* kRingVibrateKey = "ring-vibrate";
constexpr const char* kCalendarAlarmKey = "calendar-alarm";
constexpr const char* kSmsSoundKey = "sms-sound";
constexpr const char* kLockUnlockKey = "lock-unlock";
constexpr const char* kVoicemailToneEnabledKey = "VoicemailToneEnabled";
constexpr const char* kPlayNewMailSoundKey = "PlayNewMailSound";
constexpr const char* kPlaySentMailSoundKey = "PlaySentMailSound";
constexpr const char* kKeyboardKey = "keyboard";

// The ringtone identifier of the silent ringtone.
constexpr const char* kSilentRingtone = "system:Mutaro";

// The two swapped system files, their backups and the bundle's replacements.
constexpr const char* kSmsTonePath = "/System/Library/Audio/UISounds/sms-received1.caf";
constexpr const char* kSmsToneBackupPath = "/System/Library/Audio/UISounds/sms-received1.caf.orig";
constexpr const char* kSilentSmsTonePath = "/Applications/Mutaro.app/sms-received1.caf.silent";

constexpr const char* kSoundBehaviourPath =
    "/System/Library/PrivateFrameworks/Celestial.framework/SystemSoundBehaviour.plist";
constexpr const char* kSoundBehaviourBackupPath =
    "/System/Library/PrivateFrameworks/Celestial.framework/SystemSoundBehaviour.plist.orig";
constexpr const char* kVibrateSoundBehaviourPath =
    "/Applications/Mutaro.app/SystemSoundBehaviour.plist.vibrate";

// The bundle tools.
constexpr const char* kCopyFileToolPath = "/Applications/Mutaro.app/CopyFile";
constexpr const char* kVibrateToolPath = "/Applications/Mutaro.app/Vibrate";
