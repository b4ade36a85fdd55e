#pragma once
// The subcommands of `phonesim`. Each returns the process's exit status.
#include <optional>
#include <string>
#include <vector>

int initCommand(const std::string& root, const std::string& iosVersion);
// With `summary`, one line of what a person watches change: event, marker, volume, ringer,
// status-bar images and the system ringtone.
int statusCommand(const std::string& root, bool summary = false);

struct EventOptions {
  std::string root;
  std::string start;  // Unix seconds, or +N / -N seconds from now
  std::string end;
  std::string title = "Event";
  int calendar = 1;
  int availability = 0;
  std::optional<std::string> notes;
  bool allDay = false;
  std::optional<long> every;  // seconds between occurrences
  std::optional<int> count;   // number of occurrences
};
int eventCommand(const EventOptions& options);

// Writes settings keys: KEY=true|false|INTEGER|TEXT, KEY= removes the key.
int setCommand(const std::string& root, const std::vector<std::string>& assignments);

int bootCommand(const std::string& root);
int appCommand(const std::string& root);
int logCommand(const std::string& root);

// The directory that holds phonesim and the other built programs.
std::string binDirectory();
