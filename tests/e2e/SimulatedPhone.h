#pragma once
// End-to-end fixture: a phone made by `phonesim init` in a temporary device root, booted with
// `phonesim boot` (SpringBoard with its extension, and the launcher that starts the daemon at
// boot and at every wake) on a clock that faketime moves to a chosen moment and speeds up.
#include <sys/types.h>

#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// What the user hears: the system preference files' values, the two system sound files and
// the volume. Two snapshots compare equal when the phone sounds the same.
struct Sounds {
  std::map<std::string, std::string> preferences;  // file -> its values as XML
  std::string smsTone;
  std::string soundBehaviour;
  double volume = 0;
  bool operator==(const Sounds&) const = default;
};

class SimulatedPhone {
 public:
  static constexpr const char* kTimeZone = "Europe/Berlin";

  SimulatedPhone();
  ~SimulatedPhone();
  SimulatedPhone(const SimulatedPhone&) = delete;
  SimulatedPhone& operator=(const SimulatedPhone&) = delete;

  const std::string& root() const { return root_; }
  std::string at(const std::string& phonePath) const { return root_ + phonePath; }

  // A moment of 2026-12-07 in the phone's time zone, as Unix seconds.
  static time_t localTime(int hour, int minute, int second = 0, int dayOffset = 0);

  // `phonesim event` with these times and further options (--calendar 2, --notes ...).
  void addEvent(time_t start, time_t end, const std::vector<std::string>& options = {});
  // Sets settings keys before the phone boots.
  void setSetting(const char* key, bool value);

  // Boots the phone with its clock at `phoneTime`, running `speed` times faster than real time.
  void boot(time_t phoneTime, int speed);
  void shutdown();
  // The phone's clock now (derived from the real clock; a little behind the phone's own).
  time_t now() const;
  // Runs a program of build/bin (or an absolute path) on the phone's clock; its exit status.
  int runOnPhoneClock(const std::vector<std::string>& command);

  nlohmann::json status() const;
  // Polls the status until `condition` holds or the phone's clock passes `deadline`.
  bool waitFor(const std::function<bool(const nlohmann::json&)>& condition, time_t deadline,
               nlohmann::json* last = nullptr) const;
  Sounds sounds() const;
  // The system log so far.
  std::string log() const;
  int count(const std::string& logMessage) const;

 private:
  std::string root_;
  pid_t faketime_ = -1;
  time_t bootPhoneTime_ = 0;
  double bootRealTime_ = 0;
  int speed_ = 1;
};

// Status helpers.
bool silenced(const nlohmann::json& status);  // EventInProgress, marker and the image
bool released(const nlohmann::json& status);  // none of the three
std::vector<std::string> mutaroWakes(const nlohmann::json& status);
std::string isoUtc(time_t when);
