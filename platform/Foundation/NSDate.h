#pragma once
#include <ctime>
#include <string>

// Local time in the pattern "yyyy-MM-dd HH:mm:ss" (the settings file's status stamps).
std::string localTimeStamp(time_t when);
inline std::string localTimeStamp() { return localTimeStamp(time(nullptr)); }

// A date's standard description: "YYYY-MM-DD HH:MM:SS +0000" (UTC).
std::string dateDescription(time_t when);
// The same moment as ISO 8601 in UTC: "YYYY-MM-DDTHH:MM:SSZ".
std::string iso8601(time_t when);

// Seconds between 1970-01-01 and 2001-01-01, the reference date of property-list dates
// and of the calendar database.
constexpr long kReferenceDateOffset = 978307200;
