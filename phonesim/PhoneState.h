#pragma once
// The settings and files the daemon's state machine looks at, as the settings file holds them
// now or as the settings journal recorded them at a past moment.
#include <nlohmann/json.hpp>
#include <optional>

struct PhoneState {
  bool enabled = false;            // "EnabledSwitch" present and true
  std::optional<bool> inProgress;  // "EventInProgress"
  bool released = false;           // "DisableEventSwitch"
  int calendarChoice = 0;          // "CalendarID"
  // "SilencedCheckedAt": when the daemon last found the phone silenced; a release covers the
  // events that had started by then.
  std::optional<long long> silencedCheckedAt;
  bool marker = false;
};

// From the settings as JSON (PlistJson.h); null settings read as a missing file.
PhoneState stateFromSettings(const nlohmann::json& settings, bool marker);

// The phone's settings file as JSON (null when unreadable), and the state it and the marker
// give now.
nlohmann::json currentSettings();
PhoneState currentState();
