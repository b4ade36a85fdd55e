#pragma once
// The phone's time zone. Log stamps and the settings file's status stamps carry no zone: they
// are the phone's local time, so the phone keeps its zone (recorded at init) and everything
// that runs on it, or reads it, works in that zone.
#include <optional>
#include <string>

// Where the phone keeps the name of its zone, one line.
constexpr const char* kPhoneTimeZonePath = "/private/var/sim/timezone";

// True for a zone the system's time-zone database holds ("Europe/Berlin", "UTC").
bool isKnownTimeZone(const std::string& name);

// The host's zone: TZ when set, else /etc/timezone, else the zone /etc/localtime leads to,
// else "UTC".
std::string hostTimeZone();

// The zone recorded in the phone at the device root in use; nothing for a phone made before
// zones were recorded (it is read in the caller's zone).
std::optional<std::string> recordedTimeZone();

// Puts the phone's recorded zone in TZ for this process and the programs it starts. False,
// after one line on standard error headed "phonesim COMMAND:", when the recorded zone is
// unknown to this machine.
[[nodiscard]] bool usePhoneTimeZone(const char* command);
