#pragma once
// Phone paths of the settings file, its default copy, its lock file and the marker file.
constexpr const char* kSettingsPath = "/var/mobile/Library/Preferences/com.velbrant.mutaro.plist";
constexpr const char* kSettingsBackupPath = "/var/mobile/Library/Preferences/com.velbrant.mutaro.plist_bkp";
constexpr const char* kSettingsLockPath = "/var/mobile/Library/Preferences/com.velbrant.lock_file";
constexpr const char* kMarkerPath = "/var/mobile/Library/Preferences/mutaro.lck";
