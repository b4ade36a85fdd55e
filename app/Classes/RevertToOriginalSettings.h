#pragma once
// The application's restore of the phone's sounds, run in its own process when the user
// ends the silence from the switches screen.

// Restores the sounds when the feature is switched off during a silenced event.
void handleDisabled();

// Restores the sounds when the event in progress is disabled, and stores the release.
void handleDisableEvent();

// The application's copy of the switcher's revert: its mode comes from enableProfiles, it
// binds GSSendAppPreferencesChanged itself, waits 1 second (not 2) after ending the media
// server in the user-profile mode and writes its own lines. True when every sound is back; the
// marker goes only then.
bool revertToOriginalSettings();
