#pragma once
// AppSupport's wake schedule: the platform's list of scheduled wakes, a "wake" array of
// dictionaries with "scheduledby" and a date "time". Entries of other schedulers are kept;
// concurrent schedulers lose no entry.
#include <ctime>
#include <string>
#include <vector>

constexpr const char* kAutoWakePath =
    "/private/var/preferences/SystemConfiguration/com.apple.AutoWake.plist";

void CPScheduleWakeAtDateWithIdentifier(time_t date, const char* identifier);
void CPCancelWakeAtDateWithIdentifier(time_t date, const char* identifier);

struct ScheduledWake {
  std::string scheduledby;
  time_t time;
};
// The wake schedule as it stands.
std::vector<ScheduledWake> simulatedWakes();
