#pragma once
// The daemon's pass and its event state machine over "EventInProgress" and
// "DisableEventSwitch".

// Stamps "Updated"; true only when "EnabledSwitch" is present and true.
bool needToRun();

#include <ctime>
#include <optional>

// One event check at `now`, the pass's one reading of the clock; runs "./Mutarodh 1" when an
// event started.
void Mutaro(time_t now);

// The event state machine; true exactly when an event started in this call. A calendar that a
// writer keeps locked is no answer: the state stays as it is.
bool haveEvent(time_t now);

// An event is running at `now` (with `startedSince`: one that started at or after that moment).
bool eventStarted(time_t now, std::optional<time_t> startedSince = std::nullopt);
bool eventEnded(time_t now);    // no event is running at `now`

// Copies the phone's current sound settings into the settings file, one write per key; not
// while the silent profile is applied (the marker file exists), when those are silenced values.
void saveOriginalSettings();

// Runs "./Mutarodh 0".
void revertToOriginalSettings();

// The user switched the system off: revert an event in progress if need be, then exit 0.
[[noreturn]] void exitBecauseDisabled();

// One pass. Returns when the next boundary is less than 60 seconds ahead, or the calendar was
// locked and the pass is to be tried again (after a 10-second pause); otherwise ends the process.
void runPass();
