#pragma once
// Values the application's screens share for the life of the process.
#include "platform/GraphicsServices/GraphicsServices.h"

// The in-memory copy of "EnableProfilesSwitch": read by main at start, changed only by the
// "Enable Profiles" switch.
extern bool enableProfiles;

// The major number of the running system version, set when the switches screen loads.
extern long VersionMajor;

// The system's preference-change broadcast, bound by the application's revert.
extern GSSendAppPreferencesChangedFunction GSSendAppPreferencesChanged;
