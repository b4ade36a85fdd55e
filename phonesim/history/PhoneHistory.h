#pragma once
// What the phone lived through, read back from its system log (when it was silenced and given
// its sounds back, when the daemon ran and what it did, which wakes it scheduled) and from its
// settings journal (the settings and the marker at any moment the phone was booted).
#include <ctime>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

struct Interval {
  time_t from = 0;
  time_t to = 0;
};

// A pass of the daemon (a run makes one, or several 10 s apart) and what it did, in words
// ("silenced the phone", ...); empty when it found nothing to do.
struct DaemonPass {
  time_t at = 0;
  std::vector<std::string> did;
};

struct PhoneHistory {
  std::vector<Interval> silences;  // from the switcher's silence to a revert or the restore (or `until`)
  std::vector<DaemonPass> daemonPasses;  // by pass
  std::vector<time_t> scheduledWakes;
  std::vector<time_t> releases;
  time_t logBegins = 0;  // the first line's time; 0 for an empty log
};

// The history in `log` (the phone's system log); a silence still on at the end lasts `until`.
PhoneHistory readHistory(const std::string& log, time_t until);

// The parts of `a` not covered by `b`, both sets of closed intervals, longer than `longer`.
std::vector<Interval> uncovered(const std::vector<Interval>& a, const std::vector<Interval>& b, time_t longer);

// The settings file (as JSON, null when unreadable) and the marker as they were from `at` on.
struct SettingsRecord {
  double at = 0;
  nlohmann::json settings;
  bool marker = false;
};

struct SettingsJournal {
  std::vector<std::pair<double, double>> booted;  // the spans the journal covers
  std::vector<SettingsRecord> records;
};

// The journal's records (SettingsJournal.h); a boot still running at the end reaches `now`.
SettingsJournal readSettingsJournal(const std::vector<std::vector<std::string>>& records, double now);

// The settings in force at `moment`; nothing where the journal does not reach, and then
// `why` says so ("before the first boot", "the phone was off", "the phone was never booted").
std::optional<SettingsRecord> settingsAt(const SettingsJournal& journal, double moment, std::string* why = nullptr);
