#pragma once
// Test support for the fault tests: a simulated phone in its own temporary device root, the
// deliverables run on it as on the phone (from the bundle directory, with a sped-up or moved
// clock from libfaketime), and a few direct looks at its files.
#include <sys/types.h>

#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// Every test runs in this time zone (east of UTC, so local and UTC texts differ).
constexpr const char* kFaultTimeZone = "Europe/Berlin";

constexpr const char* kSettingsFile = "/var/mobile/Library/Preferences/com.velbrant.mutaro.plist";
constexpr const char* kLockFile = "/var/mobile/Library/Preferences/com.velbrant.lock_file";
constexpr const char* kMarkerFile = "/var/mobile/Library/Preferences/mutaro.lck";
constexpr const char* kCalendarFile = "/private/var/mobile/Library/Calendar/Calendar.sqlitedb";
constexpr const char* kPreferencesDirectory = "/private/var/mobile/Library/Preferences";

// Unix seconds of a local time "YYYY-MM-DD HH:MM:SS" in kFaultTimeZone.
time_t localTime(const std::string& text);

struct RunResult {
  int exitStatus = -1;  // when the process exited
  int signal = 0;       // when a signal ended it
  bool timedOut = false;
  std::string out;
  std::string err;
  bool exitedWith(int status) const { return !timedOut && signal == 0 && exitStatus == status; }
};

// How a program is run: the clock ("" is the real clock; otherwise a libfaketime
// setting such as "@2026-12-07 09:00:05 x20" or "+0 x20"), extra environment, where.
struct RunOptions {
  std::string fakeTime;
  std::string directory;
  std::map<std::string, std::string> environment;
  double timeoutSeconds = 60;
};

// A process started in the background, leader of its own process group: the programs it
// starts stay in that group, so the test can wait for all of them.
class Background {
 public:
  Background(const std::vector<std::string>& argv, const RunOptions& options, const std::string& logPath);
  ~Background();
  Background(const Background&) = delete;
  Background& operator=(const Background&) = delete;

  pid_t pid() const { return pid_; }
  void signal(int number);
  // Reaps the leader; true when it ended within the time. `status` as from waitpid.
  bool waitLeader(double timeoutSeconds, int* status = nullptr);
  // Waits until no process of the group is left (orphans come back to this process, which is
  // their subreaper); kills what is left after the time. True when the group ended by itself.
  bool waitGroup(double timeoutSeconds);

 private:
  pid_t pid_ = -1;
  bool leaderReaped_ = false;
};

// Runs a program to its end, capturing its output.
RunResult runProgram(const std::vector<std::string>& argv, const RunOptions& options);

class FaultPhone {
 public:
  // Lays out a fresh phone with phonesim init.
  FaultPhone();
  ~FaultPhone();
  FaultPhone(const FaultPhone&) = delete;
  FaultPhone& operator=(const FaultPhone&) = delete;

  const std::string& root() const { return root_; }
  std::string at(const std::string& phonePath) const { return root_ + phonePath; }
  std::string bundleDirectory() const { return at("/Applications/Mutaro.app"); }

  bool exists(const std::string& phonePath) const;
  std::string read(const std::string& phonePath) const;
  void write(const std::string& phonePath, const std::string& contents) const;
  // Device and inode of a file: a file rewritten through a new file gets a new inode.
  std::optional<std::pair<dev_t, ino_t>> identity(const std::string& phonePath) const;

  // The daemon, run from the bundle directory as on the phone.
  RunResult runDaemon(const std::string& fakeTime = "", double timeoutSeconds = 60) const;
  // The switcher with its one argument, from the bundle directory.
  RunResult runSwitcher(const std::string& argument, const std::string& fakeTime = "+0 x20") const;
  RunOptions optionsFor(const std::string& fakeTime) const;
  // phonesim status as JSON.
  nlohmann::json status() const;

  // A value of the settings file read directly (null when the file or key is missing).
  nlohmann::json setting(const std::string& key) const;
  void setSettings(const std::map<std::string, nlohmann::json>& values) const;

  // Adds a row to the calendar's event table; returns its row id. Times are Unix seconds.
  long long addEvent(time_t start, time_t end, int availability,
                     const std::optional<std::string>& notes, int calendar = 1, bool allDay = false) const;
  // Runs SQL on the calendar database (throws on failure).
  void calendarSql(const std::string& sql) const;

 private:
  std::string root_;
};

// The settings file parses as a dictionary (any property-list form).
bool parsesAsDictionary(const std::string& realPath);
// Path of a program built beside the deliverables.
std::string builtProgram(const std::string& name);
