#pragma once
// The phone's state, as `phonesim status` gathers it (one JSON object), put in words for a
// person: one screen of what the phone does now, with times in local time.
#include <ctime>
#include <string>

#include <nlohmann/json.hpp>

using Json = nlohmann::ordered_json;

// At most about twenty lines: silenced or not and since when, the event state keys, volume,
// ringer, ringtone, indicator, next wake ("in 12 min"), power assertions, and the last few
// announcements and notifications. `now` decides what "next" and "ago" mean.
std::string statusScreen(const Json& status, time_t now);

// One line of what a person watches change, without relative times, so that it changes only
// when the phone does. It starts with "silenced" or "not silenced".
std::string statusLine(const Json& status);
