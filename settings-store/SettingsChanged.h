#pragma once
// The notification the settings application posts after storing a change the daemon must act
// on at once (the watched calendar, "EnabledSwitch", "DisableEventSwitch" turned off). The
// daemon's launch job names it, so the launcher starts the daemon when it is posted.
constexpr const char* kSettingsChangedNotification = "com.velbrant.mutaro.changed";
