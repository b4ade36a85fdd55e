#pragma once
// A moment as people give it to phonesim: "now", "+N" or "-N" seconds from now, Unix seconds,
// "YYYY-MM-DD HH:MM[:SS]" or "HH:MM[:SS]" today, in the phone's local time.
#include <ctime>
#include <optional>
#include <string>

std::optional<time_t> parseMoment(const std::string& text, time_t now);

// Local midnight of the day that holds `moment`.
time_t startOfDay(time_t moment);
