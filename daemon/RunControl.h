#pragma once
// The daemon's pass and its event state machine over "EventInProgress" and
// "DisableEventSwitch".

// Stamps "Updated"; true only when "EnabledSwitch" is present and true.
bool needToRun();

// One event check; runs "./Mutarodh 1" when an event started.
void Mutaro();

// The event state machine; true exactly when an event started in this call.
bool haveEvent();

bool eventStarted();  // an event is running now
bool eventEnded();    // no event is running now

// Copies the phone's current sound settings into the settings file, one write per key.
void saveOriginalSettings();

// Runs "./Mutarodh 0".
void revertToOriginalSettings();

// The user switched the system off: revert an event in progress if need be, then exit 0.
[[noreturn]] void exitBecauseDisabled();

// One pass. Returns when the next boundary is less than 60 seconds ahead (after a 10-second
// pause); otherwise ends the process.
void runPass();
