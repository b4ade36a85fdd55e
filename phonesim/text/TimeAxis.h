#pragma once
// The marks of a time axis over a span: round moments of the phone's local time, as many as
// fit, with a step that suits the span (seconds, minutes, hours, days, weeks, months, years).
#include <ctime>
#include <string>
#include <vector>

struct Tick {
  time_t at = 0;
  std::string label;  // "09:30", "09:30:15", "Mon 12-07", "2026-12", ...
  bool newDay = false;  // the first mark of a day, where a date belongs when the span crosses one
};

// Marks for an axis `width` units wide where a character of a label takes `perCharacter` units.
std::vector<Tick> timeAxis(time_t from, time_t to, double width, double perCharacter);

// The date of the day that holds `moment` as the axis writes it: "Mon 12-07".
std::string dayLabel(time_t moment);
