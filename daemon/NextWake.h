#pragma once
// The next event boundary and the device wake for it.
#include <cstdint>
#include <ctime>

// This system's identifier in the platform's wake schedule.
constexpr const char* kWakeIdentifier = "com.velbrant.Mutaro";

// The next qualifying event start (no event in progress) or end (one in progress), in Unix
// seconds; 0 when there is none.
int32_t getWakeUpDate();

// Cancels every wake this system scheduled before and schedules one at `date` (Unix seconds).
void updateNextWake(time_t date);
