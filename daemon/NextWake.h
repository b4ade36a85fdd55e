#pragma once
// The next event boundary and the device wake for it.
#include <cstdint>
#include <ctime>

// This system's identifier in the platform's wake schedule.
constexpr const char* kWakeIdentifier = "com.velbrant.Mutaro";

// The next qualifying event start (no event in progress) or end (one in progress) at or after
// `now`, the pass's one reading of the clock, in Unix seconds; 0 when there is none, and when a
// writer keeps the calendar locked (calendarBusy is then set, or was already by this pass). In an
// event, `alsoNextStart` makes the next start after now count too: a release that the user gives
// meanwhile does not cover an event that starts later, which the daemon must then silence.
time_t getWakeUpDate(time_t now, bool alsoNextStart = false);

// Cancels every wake this system scheduled before and schedules one at `date` (Unix seconds).
void updateNextWake(time_t date);
