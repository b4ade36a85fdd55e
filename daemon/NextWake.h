#pragma once
// The next event boundary and the device wake for it.
#include <cstdint>
#include <ctime>

// This system's identifier in the platform's wake schedule.
constexpr const char* kWakeIdentifier = "com.velbrant.Mutaro";

// The next qualifying event start (no event in progress) or end (one in progress) at or after
// `now`, the pass's one reading of the clock, in Unix seconds; 0 when there is none, and when a
// writer keeps the calendar locked (calendarBusy is then set).
int32_t getWakeUpDate(time_t now);

// Cancels every wake this system scheduled before and schedules one at `date` (Unix seconds).
void updateNextWake(time_t date);
