#pragma once
// The simulated phone every test uses: `phonesim init` in a temporary device root (the test
// process's MUTARO_DEVICE_ROOT while it lives), its files, its programs run under faketime, booted.
#include <sys/stat.h>

#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "daemon/CalendarRow.h"
#include "platform/Foundation/NSDate.h"
#include "platform/Foundation/NSMutableDictionary.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsPaths.h"
#include "system-files/SystemFiles.h"
#include "tests/support/Process.h"

using nlohmann::json;

// Every test runs in this time zone, east of UTC, so that local and UTC texts differ.
constexpr const char* kTestTimeZone = "Europe/Berlin";

// Unix seconds of a local time "YYYY-MM-DD HH:MM:SS" in the test time zone.
time_t localTime(const std::string& text);
// The same for "HH:MM:SS" on 2026-12-07, the day the booted-phone tests play in.
inline time_t todayAt(const char* time) { return localTime(std::string("2026-12-07 ") + time); }
// Booted phones run 30 times fast: a two-minute event takes four seconds.
constexpr int kBootSpeed = 30;
constexpr const char* kSwitcherBanner = "(((((((((((((((((((((( mutarodh ))))))))))))))))))";
// A built program of build/bin.
std::string builtProgram(const std::string& name);

constexpr const char* kBundleDirectory = "/Applications/Mutaro.app";

struct Event {
  time_t start = 0;
  time_t end = 0;
  int availability = 0;
  std::optional<std::string> notes = std::nullopt;
  int calendar = 1;
  bool allDay = false;
  std::vector<time_t> occurrences = {};  // rows of OccurrenceCache, by start
};

// What the user hears: the system preference files' values, the two sound files, the volume.
struct Sounds {
  std::map<std::string, std::string> preferences;  // file -> its values as XML
  std::string smsTone;
  std::string soundBehaviour;
  double volume = -1;
  bool operator==(const Sounds&) const = default;
};
void PrintTo(const Sounds& sounds, std::ostream* out);

// `size` bytes of noise, the same for the same seed.
std::string randomBytes(size_t size, unsigned seed);
// A property list's values as XML: equal exactly when the values are, whatever the file's form.
std::string valuesOf(const NSMutableDictionary& values);

// `depth` nested arrays as an XML or binary property list (binary: each holds the next `width` times).
std::string nestedPropertyList(int depth, bool binary, int width = 1);

// Files a reader cannot take whole (broken, too deep, too big, no regular file) and one it can,
// `wrongTypes`: the right shape, the wrong value types.
struct BadFile {
  std::string name;
  std::string contents;
  mode_t type = S_IFREG;  // or S_IFIFO, S_IFDIR, S_IFLNK (dangling)
  bool readable = false;
};
std::vector<BadFile> badFiles(const std::string& wrongTypes);
inline void PrintTo(const BadFile& file, std::ostream* out) { *out << file.name; }

class Phone {
 public:
  // A phone of this system version; `bare` lays out only the device root and its /var link.
  explicit Phone(const std::string& iosVersion = "7.0.4", bool bare = false);
  ~Phone();
  Phone(const Phone&) = delete;
  Phone& operator=(const Phone&) = delete;

  const std::string& root() const { return root_; }
  std::string at(const std::string& phonePath) const { return root_ + phonePath; }

  bool exists(const std::string& phonePath) const;
  std::string read(const std::string& phonePath) const;  // "" when missing
  void write(const std::string& phonePath, const std::string& contents) const;
  void remove(const std::string& phonePath) const;
  void plant(const std::string& phonePath, const BadFile& file) const;
  // What stands at the path, found without opening it: a file's contents, or its type.
  std::string shape(const std::string& phonePath) const;
  // Moves the whole phone to another device root (`phonesim init` lays out only plain names).
  void moveTo(const std::string& root);
  // A property list file; null when it cannot be read as a dictionary.
  std::unique_ptr<NSMutableDictionary> plist(const std::string& phonePath) const {
    return NSMutableDictionary::initWithContentsOfFile(phonePath);
  }
  void writePlist(const std::string& phonePath, const NSMutableDictionary& values) const;

  // The settings file, read and written directly. A key's value as JSON, null when absent.
  json setting(const std::string& key) const { return status()["settings"].value(key, json()); }
  // Sets keys (booleans, integers, strings); null removes one.
  void set(const json& values) const;
  // Copies the system's sounds into the saved-copy keys, as the daemon does at an event start.
  void saveSounds() const;

  long long addEvent(const Event& event) const;  // the event's row id
  void sql(const std::string& statements, long long* insertedRow = nullptr) const;

  // Runs "./Name" from the application bundle, any other name from build/bin, on this phone.
  Outcome run(const std::vector<std::string>& argv, RunOptions options = {}) const;
  std::unique_ptr<Process> start(const std::vector<std::string>& argv, RunOptions options,
                                 const std::string& outputPath) const;
  Outcome daemon(const std::string& clock = "") const { return run({"./Mutarod"}, {.clock = clock}); }
  Outcome switcher(const std::string& argument, const std::string& clock = "+0 x20") const {
    return run({"./Mutarodh", argument}, {.clock = clock});
  }

  // Writes of data under these phone paths fail with ENOSPC in the phone's programs until
  // freeDisk(); empty files, the phone's log and its volume stay writable.
  void fillDisk(const std::vector<std::string>& phonePaths = {"/private/var/mobile", "/System"}) const;
  void freeDisk() const { remove("/private/var/sim/full-disk"); }
  // The phone's programs of this name that run now, by the bundle they run in.
  std::vector<pid_t> running(const std::string& name) const;

  // The phone's state: `phonesim status --json`.
  json status() const;
  // The volume taken from `status` when given, else from a new one.
  Sounds sounds(const json* status = nullptr) const;
  // What started the booted phone's daemon, per start: "load", "wake", "path", "keepalive" or a
  // notification.
  std::vector<std::string> daemonStarts() const;
  // The phone's system log, and how many of its lines end in "] `message`".
  std::string log() const { return read("/private/var/log/syslog"); }
  int count(const std::string& message) const;

  // `phonesim boot` with the clock at `phoneTime`, `speed` times fast, until shutdown().
  void boot(time_t phoneTime, int speed);
  void shutdown();
  // Sets the booted phone's wall clock, as a user setting the time does; it runs on from there.
  void setClock(time_t phoneTime);
  time_t now() const;  // the booted phone's clock, as far as the test can tell
  std::string clock() const;  // that clock as a FAKETIME setting, for programs run meanwhile
  // Polls the state until `condition` holds or the phone's clock passes `deadline`.
  bool waitFor(const std::function<bool(const json&)>& condition, time_t deadline, json* last = nullptr) const;

 private:
  void writeClockFile() const;
  std::vector<std::string> onPhone(const std::vector<std::string>& argv, RunOptions* options) const;
  std::string root_;
  std::string eventTable_;  // the calendar's event table on this system version
  std::string hostPath_;
  std::unique_ptr<Process> booted_;
  time_t bootPhoneTime_ = 0;
  long bootClockOffset_ = 0;  // the booted phone's faketime offset
  double bootRealTime_ = 0;
  int speed_ = 1;
};

// The messages a program ("": every program) logged, in order, without stamps and lock lines.
std::vector<std::string> logMessages(const std::string& log, const std::string& program = "");

// Facts of the state that the booted-phone tests wait for.
bool silenced(const json& status);  // "EventInProgress", the marker and the image
bool released(const json& status);  // none of the three
std::vector<std::string> mutaroWakes(const json& status);  // this system's wakes, as iso8601()
