#pragma once
// The subcommands of `phonesim`. Each returns the process's exit status.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

// One line on standard error, headed "phonesim COMMAND:", and the status to exit with: 1 for
// what failed, 2 for a command line that asks for what cannot be.
inline int commandFailed(const char* command, const std::string& message, int status = 1) {
  std::fprintf(stderr, "phonesim %s: %s\n", command, message.c_str());
  return status;
}

// Refuses a folder that holds other things than a phone unless `force` is given. `timeZone`
// "" keeps the zone a phone already has, or takes the host's.
int initCommand(const std::string& root, const std::string& iosVersion, const std::string& timeZone, bool force);

enum class StatusForm {
  Auto,     // one screen for a person when standard output is a terminal, else JSON
  Screen,   // one screen for a person
  Json,     // every fact as one JSON object
  Summary,  // one line of what a person watches change, for scripts that print it
};
int statusCommand(const std::string& root, StatusForm form);

struct EventOptions {
  std::string root;
  std::string start;  // Unix seconds, or +N / -N seconds from now
  std::string end;
  std::string title = "Event";
  int calendar = 1;
  int availability = 0;
  std::optional<std::string> notes;
  bool allDay = false;
  std::optional<long long> every;  // seconds between occurrences
  std::optional<long long> count;  // number of occurrences
};
int eventCommand(const EventOptions& options);

// Writes settings keys in one update of the settings file, each value parsed by its key's
// type; KEY= removes the key. Unknown keys are refused unless `force` is given.
int setCommand(const std::string& root, const std::vector<std::string>& assignments, bool force);

// `speed` other than 1 runs every program of the phone on a clock that many times fast.
int bootCommand(const std::string& root, double speed);
int appCommand(const std::string& root);
struct LogOptions {
  std::string root;
  std::string program;  // "" for every program
  std::string since;    // "" for the whole log
  std::string grep;     // "" for every line
  bool follow = false;
  bool quietLocks = false;
};
int logCommand(const LogOptions& options);

// The directory that holds phonesim and the other built programs.
// phonesim explain: why the phone is (not) silenced at a moment, by the daemon's own rules.
struct ExplainOptions {
  std::string root;
  std::string at = "now";
  std::string from;  // the events listed; "" for the day of `at`
  std::string to;
  bool json = false;
};
int explainCommand(const ExplainOptions& options);

// phonesim timeline: a picture of a span, events against the silence the phone lived.
struct TimelineOptions {
  std::string root;
  std::string from;  // "" for today
  std::string to;
  std::string svg;   // a file to write the picture to, as SVG; "" for the terminal
};
int timelineCommand(const TimelineOptions& options);

// phonesim import: an iCalendar file into the phone's calendar.
struct ImportOptions {
  std::string root;
  std::string file;
  std::optional<std::string> calendar;  // the calendar's title; default the file's own name
  std::string from;  // the window of occurrences; "" for 30 days before today to a year after
  std::string to;
  bool dryRun = false;
};
int importCommand(const ImportOptions& options);

std::string binDirectory();
