#pragma once
// What the phone lived through, read back from its system log: when it was silenced and given
// its sounds back, when the daemon ran, which wakes it scheduled, and when it let a released
// event end without a revert.
#include <ctime>
#include <string>
#include <vector>

struct Interval {
  time_t from = 0;
  time_t to = 0;
};

struct PhoneHistory {
  std::vector<Interval> silences;  // from the switcher's silence to a revert or the restore (or `until`)
  std::vector<time_t> daemonRuns;
  std::vector<time_t> scheduledWakes;
  std::vector<time_t> releases;
};

// The history in `log` (the phone's system log); a silence still on at the end lasts `until`.
PhoneHistory readHistory(const std::string& log, time_t until);

// The parts of `a` not covered by `b`, both sets of closed intervals, longer than `longer`.
std::vector<Interval> uncovered(const std::vector<Interval>& a, const std::vector<Interval>& b, time_t longer);
