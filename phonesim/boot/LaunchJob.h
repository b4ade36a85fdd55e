#pragma once
// A launch-daemon job definition, the property list the platform's launcher reads from
// /Library/LaunchDaemons: what to run, where, and what starts it.
#include <optional>
#include <string>
#include <vector>

constexpr const char* kDaemonJobPath = "/Library/LaunchDaemons/com.velbrant.mutarod.plist";
// The launch-event stream whose entries name notify(3) notifications.
constexpr const char* kNotifyLaunchEvents = "com.apple.notifyd.matching";
// Posted by the platform when the wall clock is set.
constexpr const char* kClockSetNotification = "com.apple.system.clock_set";

struct LaunchJob {
  std::string label;
  std::string program;                 // phone path of the executable
  std::vector<std::string> arguments;  // its argv, argv[0] first
  std::string workingDirectory;        // phone path; "" keeps the launcher's
  bool runAtLoad = false;
  std::vector<std::string> watchPaths;     // phone paths
  std::vector<std::string> notifications;  // names that start the job when posted
  int throttleInterval = 10;               // seconds between two starts at least
  // KeepAlive = { SuccessfulExit = false; }: started again when it ends by a signal or with a
  // status other than 0.
  bool restartUnlessSuccessful = false;
};

// The job at `phonePath`; nothing, with `error` filled, when it cannot be read or names no
// program. Program falls back to the first of ProgramArguments, as the platform's does.
std::optional<LaunchJob> readLaunchJob(const std::string& phonePath, std::string* error);
