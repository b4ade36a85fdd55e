#include "phonesim/history/PhoneHistory.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <sstream>

namespace {

// A line of the system log: "YYYY-MM-DD HH:MM:SS.mmm Program[pid:tid] message".
struct LogLine {
  time_t when = 0;
  std::string program;
  std::string pid;
  std::string message;
};

bool parse(const std::string& line, LogLine* parsed) {
  struct tm parts = {};
  const char* rest = strptime(line.c_str(), "%Y-%m-%d %H:%M:%S", &parts);
  size_t open = line.find('[', 24), colon = line.find(':', open), close = line.find("] ", open);
  if (rest == nullptr || line.size() < 25 || open == std::string::npos || close == std::string::npos || colon > close) {
    return false;
  }
  parts.tm_isdst = -1;
  parsed->when = mktime(&parts);
  parsed->program = line.substr(24, open - 24);
  parsed->pid = line.substr(open + 1, colon - open - 1);
  parsed->message = line.substr(close + 2);
  return true;
}

bool isDateDescription(const std::string& message, time_t* when) {
  struct tm parts = {};
  const char* rest = strptime(message.c_str(), "%Y-%m-%d %H:%M:%S +0000", &parts);
  if (rest == nullptr || *rest != '\0') return false;
  *when = timegm(&parts);
  return true;
}

// The daemon's lines that tell what a pass did.
const std::map<std::string, std::string> kRunOutcomes = {
    {"Has an event............", "silenced the phone"},
    {"Current event was not disabled", "gave the sounds back"},
    {"Not reverting - Current Event was disabled", "let the released event end"},
    {"Current event was already disabled", "cleared the release"},
    {"Exit Application. Mutaro is disabled", "found Mutaro disabled"},
    {"Calendar DB is locked by another program", "found the calendar locked"},
};

}  // namespace

PhoneHistory readHistory(const std::string& log, time_t until) {
  PhoneHistory history;
  std::map<std::string, time_t> started;        // a program run's first line, by pid
  std::map<std::string, time_t> lastTouch;      // the application's last switch change, by pid
  std::map<std::string, bool> schedulingWake;   // the daemon just said "Update next wake time"
  std::map<std::string, size_t> runOf;          // a daemon's current pass, by pid: its index + 1
  std::map<std::string, bool> passChecked;      // that pass has logged its check
  std::istringstream lines(log);
  LogLine line;
  for (std::string text; std::getline(lines, text);) {
    if (!parse(text, &line)) continue;
    if (history.logBegins == 0) history.logBegins = line.when;
    started.try_emplace(line.pid, line.when);
    if (line.program == "Mutarod") {
      time_t wake = 0;
      // A run's first pass is dated by its check; a run that ends before any keeps its start.
      const bool check = line.message == "*********** Checking for event - main thread";
      if (line.message == "In main >>>" || (check && (runOf[line.pid] == 0 || passChecked[line.pid]))) {
        history.daemonPasses.push_back({line.when, {}});
        runOf[line.pid] = history.daemonPasses.size();
        passChecked[line.pid] = false;
      }
      if (check) {
        history.daemonPasses[runOf[line.pid] - 1].at = line.when;
        passChecked[line.pid] = true;
      }
      if (auto said = kRunOutcomes.find(line.message.substr(0, line.message.find(':')));
          said != kRunOutcomes.end() && runOf[line.pid] > 0) {
        std::vector<std::string>& did = history.daemonPasses[runOf[line.pid] - 1].did;
        if (std::find(did.begin(), did.end(), said->second) == did.end()) did.push_back(said->second);
      }
      if (line.message == "Not reverting - Current Event was disabled") history.releases.push_back(line.when);
      if (schedulingWake[line.pid] && isDateDescription(line.message, &wake)) history.scheduledWakes.push_back(wake);
      schedulingWake[line.pid] = line.message == "Update next wake time" ||
                                 (schedulingWake[line.pid] && line.message.rfind("Cancelling previous wake", 0) == 0);
    } else if (line.program == "Mutarodh") {
      // The silence touches the marker right after "Do work"; the revert removes it first thing.
      if (line.message == "Do work") history.silences.push_back({line.when, until});
      if (line.message == "Reverted" && !history.silences.empty()) history.silences.back().to = started[line.pid];
    } else if (line.program == "Mutaro") {
      // The application's restore removes the marker right after the touch that asked for it.
      if (line.message == "Switch Changed") lastTouch[line.pid] = line.when;
      bool restored = line.message == "Revert to original" || line.message == "Profiles are disabled";
      if (restored && !history.silences.empty() && history.silences.back().to == until) {
        history.silences.back().to = lastTouch.count(line.pid) ? lastTouch[line.pid] : line.when;
      }
    }
  }
  return history;
}

std::vector<Interval> uncovered(const std::vector<Interval>& a, const std::vector<Interval>& b, time_t longer) {
  std::vector<Interval> left;
  for (const Interval& piece : a) {
    std::vector<Interval> parts = {piece};
    for (const Interval& cover : b) {
      std::vector<Interval> next;
      for (const Interval& part : parts) {
        if (cover.to < part.from || cover.from > part.to) {
          next.push_back(part);
          continue;
        }
        if (cover.from > part.from) next.push_back({part.from, cover.from});
        if (cover.to < part.to) next.push_back({cover.to, part.to});
      }
      parts = next;
    }
    for (const Interval& part : parts) {
      if (part.to - part.from > longer) left.push_back(part);
    }
  }
  return left;
}

SettingsJournal readSettingsJournal(const std::vector<std::vector<std::string>>& records, double now) {
  SettingsJournal journal;
  bool on = false;
  for (const std::vector<std::string>& record : records) {
    if (record.size() < 4) continue;
    char* end = nullptr;
    double at = std::strtod(record[0].c_str(), &end);
    if (end == record[0].c_str()) continue;
    const std::string& kind = record[1];
    // A boot that ended with no record of it (killed) reaches its last record.
    if (kind == "boot") {
      journal.booted.push_back({at, at});
      on = true;
    }
    if (journal.booted.empty() || !on) continue;
    journal.booted.back().second = at;
    if (kind == "off") {
      on = false;
      continue;
    }
    SettingsRecord settings{at, nlohmann::json::parse(record[2], nullptr, false), record[3] == "marker"};
    if (settings.settings.is_discarded()) settings.settings = nullptr;
    journal.records.push_back(std::move(settings));
  }
  if (on) journal.booted.back().second = std::max(journal.booted.back().second, now);
  return journal;
}

std::optional<SettingsRecord> settingsAt(const SettingsJournal& journal, double moment, std::string* why) {
  bool reached = false;
  for (const auto& [from, to] : journal.booted) reached = reached || (from <= moment && moment <= to);
  if (!reached) {
    if (why != nullptr) {
      *why = journal.booted.empty()                   ? "the phone was never booted"
             : moment < journal.booted.front().first ? "before the first boot"
                                                      : "the phone was off";
    }
    return std::nullopt;
  }
  std::optional<SettingsRecord> found;
  for (const SettingsRecord& record : journal.records) {
    if (record.at <= moment) found = record;
  }
  return found;
}
