// The daemon as a whole: each test lays out a phone under a temporary device root, runs
// ./Mutarod from the application bundle under libfaketime, and reads what it left behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "daemon/DaemonTestSupport.h"
#include "platform/AppSupport/CPWake.h"
#include "platform/Foundation/NSLog.h"
#include "platform/Foundation/NSMutableDictionary.h"
#include "platform/Foundation/TempDeviceRoot.h"
#include "platform/IOKit/IOPMLib.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsPaths.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kBundle = "/Applications/Mutaro.app";
constexpr const char* kPreferences = "/private/var/mobile/Library/Preferences/";

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

size_t occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

void writeScript(const std::string& path, const std::string& body) {
  std::ofstream(path) << "#!/bin/sh\n" << body;
  chmod(path.c_str(), 0755);
}

// A running ./Mutarod with its log (standard error) and standard output in files.
class Daemon {
 public:
  Daemon(const std::string& bundle, const std::string& fakeTime, const std::string& outputDirectory)
      : log_(outputDirectory + "/daemon.log"), output_(outputDirectory + "/daemon.out") {
    pid_ = fork();
    if (pid_ == 0) {
      if (chdir(bundle.c_str()) != 0) _exit(126);
      setenv("TZ", kTestTimeZone, 1);
      setenv("LD_PRELOAD", kFakeTimeLibrary, 1);
      setenv("FAKETIME", fakeTime.c_str(), 1);
      allowPreloadBeforeSanitizer();
      freopen(log_.c_str(), "w", stderr);
      freopen(output_.c_str(), "w", stdout);
      execl("./Mutarod", "./Mutarod", static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~Daemon() {
    if (!finished_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  pid_t pid() const { return pid_; }
  std::string log() const { return readFile(log_); }
  std::string output() const { return readFile(output_); }
  std::string lastLogLine() const {
    std::vector<std::string> all = lines(log());
    return all.empty() ? "" : all.back();
  }

  // True once the log holds `text`, false after `seconds`.
  bool waitForLog(const std::string& text, double seconds = 20) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
      if (log().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  // The wait status, or -1 when the daemon is still running after `seconds` (it is then
  // killed). `whileRunning` is called between polls.
  int wait(double seconds = 30, const std::function<void()>& whileRunning = {}) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        finished_ = true;
        return status;
      }
      if (whileRunning) whileRunning();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }

 private:
  std::string log_;
  std::string output_;
  pid_t pid_ = -1;
  bool finished_ = false;
};

// Assertions the process `pid` holds now.
std::vector<SimulatedAssertion> assertionsOf(pid_t pid) {
  std::vector<SimulatedAssertion> held;
  for (const SimulatedAssertion& assertion : simulatedPowerAssertions()) {
    if (assertion.pid == pid) held.push_back(assertion);
  }
  return held;
}

std::vector<time_t> mutaroWakes() {
  std::vector<time_t> times;
  for (const ScheduledWake& wake : simulatedWakes()) {
    if (wake.scheduledby == "com.velbrant.Mutaro") times.push_back(wake.time);
  }
  return times;
}

class MutarodTest : public testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", kTestTimeZone, 1);
    tzset();
    bundle_ = root_.at(kBundle);
    fs::create_directories(bundle_);
    fs::copy_file(MUTARO_BIN_DIR "/Mutarod", bundle_ + "/Mutarod");
    fs::create_directories(fs::path(root_.at(kGraphicsServices)).parent_path());
    fs::copy_file(MUTARO_BIN_DIR "/GraphicsServices", root_.at(kGraphicsServices));
    // Records its argument, the "EventInProgress" it saw and whether the sounds were saved.
    writeScript(bundle_ + "/Mutarodh",
                "settings=" + root_.at(kSettingsPath) + "\n"
                "seen=$(sed -n '/<key>EventInProgress<\\/key>/{n;p;}' \"$settings\" | tr -d ' \\t')\n"
                "saved=$(grep -c '<key>Keyboard</key>' \"$settings\")\n"
                "echo \"$1 $seen $saved\" >> " + root_.path() + "/switcher-runs\n");
    root_.write(std::string(kBundle) + "/SystemSoundBehaviour.plist", "behaviour");
    root_.write(std::string(kBundle) + "/sms-received1.caf", "caf");

    NSMutableDictionary springboard;
    springboard.setString("ringtone", "itunes:Marimba");
    springboard.setInt("ring-vibrate", 1);
    springboard.setInt("sms-sound", 2);
    springboard.setBool("lock-unlock", true);
    writePlist(std::string(kPreferences) + "com.apple.springboard.plist", springboard);
    for (const char* file : {"com.apple.mobiletimer.plist", "com.apple.mobilemail.plist",
                             "com.apple.mobilephone.plist", "com.apple.preferences.sounds.plist"}) {
      writePlist(std::string(kPreferences) + file, NSMutableDictionary());
    }
    setSystemVersion("7.0.4");

    NSMutableDictionary alarm;
    alarm.setString("scheduledby", "com.apple.alarm");
    alarm.setDate("time", localTime("2026-12-08 07:00:00"));
    NSMutableDictionary schedule;
    plist_t wakes = plist_new_array();
    plist_array_append_item(wakes, plist_copy(alarm.node()));
    plist_dict_set_item(schedule.node(), "wake", wakes);
    writePlist(kAutoWakePath, schedule);

    writeSettings(true, false, false);
  }

  void writePlist(const std::string& phonePath, const NSMutableDictionary& values) {
    fs::create_directories(fs::path(root_.at(phonePath)).parent_path());
    ASSERT_TRUE(values.writeToFileAtomically(phonePath));
  }

  void setSystemVersion(const char* version) {
    NSMutableDictionary system;
    system.setString("ProductVersion", version);
    writePlist("/System/Library/CoreServices/SystemVersion.plist", system);
  }

  // No value leaves the key out.
  void writeSettings(std::optional<bool> enabled, std::optional<bool> inProgress,
                     std::optional<bool> disableEvent) {
    NSMutableDictionary settings;
    if (enabled) settings.setBool(kEnabledSwitch, *enabled);
    if (inProgress) settings.setBool(kEventInProgress, *inProgress);
    if (disableEvent) settings.setBool(kDisableEventSwitch, *disableEvent);
    writePlist(kSettingsPath, settings);
  }

  std::unique_ptr<NSMutableDictionary> settings() {
    return NSMutableDictionary::initWithContentsOfFile(kSettingsPath);
  }

  std::vector<std::string> switcherRuns() { return lines(readFile(root_.path() + "/switcher-runs")); }

  std::unique_ptr<Daemon> start(const std::string& fakeTime) {
    return std::make_unique<Daemon>(bundle_, fakeTime, root_.path());
  }

  static constexpr const char* kGraphicsServices =
      "/System/Library/PrivateFrameworks/GraphicsServices.framework/GraphicsServices";
  TempDeviceRoot root_;
  std::string bundle_;
  CalendarDatabase calendar_{root_.at(kTestCalendarPath)};
};

// One row of the event state machine: the state between passes, what the pass finds, and
// what it must leave.
struct Transition {
  const char* name;
  std::optional<bool> enabled;
  bool inProgress;
  bool disableEvent;
  bool eventRunning;
  std::vector<std::string> switcherRuns;  // "argument EventInProgress-seen sounds-saved"
  bool inProgressAfter;
  bool disableEventAfter;
  const char* message;
  bool wakeAtEventEnd;  // otherwise no wake of this system
};

void PrintTo(const Transition& row, std::ostream* out) { *out << row.name; }

class TransitionTest : public MutarodTest, public testing::WithParamInterface<Transition> {};

TEST_P(TransitionTest, PassMovesTheEventState) {
  const Transition& row = GetParam();
  writeSettings(row.enabled, row.inProgress, row.disableEvent);
  if (row.eventRunning) calendar_.add({"2026-12-07 09:00:00", "2026-12-07 10:00:00"});

  auto daemon = start("@2026-12-07 09:30:00");
  int status = daemon->wait();
  ASSERT_TRUE(WIFEXITED(status)) << daemon->log();
  EXPECT_EQ(0, WEXITSTATUS(status));
  EXPECT_EQ(row.switcherRuns, switcherRuns());
  EXPECT_EQ(row.inProgressAfter, settings()->boolForKey(kEventInProgress));
  EXPECT_EQ(row.disableEventAfter, settings()->boolForKey(kDisableEventSwitch).value_or(false));
  EXPECT_NE(std::string::npos, daemon->log().find(row.message)) << daemon->log();
  EXPECT_EQ(row.wakeAtEventEnd ? std::vector<time_t>{localTime("2026-12-07 10:00:00")} : std::vector<time_t>{},
            mutaroWakes());
}

INSTANTIATE_TEST_SUITE_P(
    EventStates, TransitionTest,
    testing::Values(
        Transition{"IdleEventStarts", true, false, false, true, {"1 <true/> 1"}, true, false,
                   "Has an event............", true},
        Transition{"IdleStaysIdle", true, false, false, false, {}, false, false,
                   "Exit main program thread - NEW NEW NEW", false},
        Transition{"SilencedStaysSilenced", true, true, false, true, {}, true, false,
                   "*** Found event1", true},
        Transition{"SilencedEventEnds", true, true, false, false, {"0 <true/> 0"}, false, false,
                   "Current event was not disabled", false},
        Transition{"ReleasedStaysReleased", true, true, true, true, {}, true, true,
                   "*** Found event1", true},
        Transition{"ReleasedEventEnds", true, true, true, false, {}, false, false,
                   "Not reverting - Current Event was disabled", false},
        Transition{"SilencedDisabled", false, true, false, true, {"0 <true/> 0"}, false, false,
                   "Exit Application. Mutaro is disabled", false},
        Transition{"ReleasedDisabled", std::nullopt, true, true, true, {}, false, false,
                   "Current event was already disabled", false},
        Transition{"IdleDisabled", false, false, false, true, {}, false, false,
                   "Exit Application. Mutaro is disabled", false}),
    [](const testing::TestParamInfo<Transition>& info) { return info.param.name; });

TEST_F(MutarodTest, EventStartSavesTheSystemSoundsOrTheirDefaults) {
  NSMutableDictionary earlier;
  earlier.setBool(kEnabledSwitch, true);
  earlier.setBool(kEventInProgress, false);
  earlier.setString(kSavedCalendarAlarm, "from an earlier event");
  writePlist(kSettingsPath, earlier);
  NSMutableDictionary mail;
  mail.setBool("PlayNewMailSound", false);
  writePlist(std::string(kPreferences) + "com.apple.mobilemail.plist", mail);
  fs::remove(root_.at(std::string(kPreferences) + "com.apple.mobilephone.plist"));
  calendar_.add({"2026-12-07 09:00:00", "2026-12-07 10:00:00"});

  auto daemon = start("@2026-12-07 09:30:00");
  ASSERT_EQ(0, daemon->wait());
  auto saved = settings();
  EXPECT_EQ("itunes:Marimba", saved->stringForKey(kSavedRingtone));
  EXPECT_EQ(1, saved->intForKey(kSavedRingVibrate));
  EXPECT_FALSE(saved->objectForKey(kSavedCalendarAlarm)) << "removed, not written empty";
  EXPECT_EQ(2, saved->intForKey(kSavedSmsSound));
  EXPECT_EQ(true, saved->boolForKey(kSavedLockUnlock));
  EXPECT_EQ(true, saved->boolForKey(kSavedVoicemailToneEnabled));
  EXPECT_EQ(false, saved->boolForKey(kSavedPlayNewMailSound));
  EXPECT_EQ(true, saved->boolForKey(kSavedPlaySentMailSound));
  EXPECT_EQ(true, saved->boolForKey(kSavedKeyboard));
}

TEST_F(MutarodTest, BoundarySixtySecondsAheadEndsTheRun) {
  calendar_.add({"2026-12-07 09:00:00", "2026-12-07 10:00:00"});
  auto daemon = start("2026-12-07 08:59:00");
  ASSERT_EQ(0, daemon->wait(20));
  EXPECT_NE(std::string::npos, daemon->lastLogLine().find("Exit main program thread - NEW NEW NEW"));
  EXPECT_EQ(std::string::npos, daemon->log().find("in the range of 60 seconds"));
  EXPECT_EQ(std::vector<time_t>{localTime("2026-12-07 09:00:00")}, mutaroWakes());
  EXPECT_EQ(2u, simulatedWakes().size()) << "the alarm's wake stays";
}

TEST_F(MutarodTest, BoundaryFiftyNineSecondsAheadKeepsTheDaemonUntilSigterm) {
  calendar_.add({"2026-12-07 09:00:00", "2026-12-07 10:00:00"});
  root_.write(kSystemLogPath, "");
  auto daemon = start("2026-12-07 08:59:01");
  ASSERT_TRUE(daemon->waitForLog("Next event is in the range of 60 seconds - main thread")) << daemon->log();

  std::vector<SimulatedAssertion> held = assertionsOf(daemon->pid());
  ASSERT_EQ(1u, held.size());
  EXPECT_EQ("NoIdleSleepAssertion", held[0].type);
  EXPECT_EQ(255, held[0].level);

  kill(daemon->pid(), SIGTERM);
  int status = daemon->wait(10);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(0, WEXITSTATUS(status));
  EXPECT_NE(std::string::npos, daemon->lastLogLine().find("] terminate signal catched"))
      << daemon->lastLogLine();
  std::vector<std::string> systemLog = lines(root_.read(kSystemLogPath));
  ASSERT_FALSE(systemLog.empty());
  EXPECT_NE(std::string::npos, systemLog.back().find("] terminate signal catched")) << systemLog.back();
  EXPECT_TRUE(assertionsOf(daemon->pid()).empty());
}

TEST_F(MutarodTest, PassesRepeatUntilTheEventStartsWithOneAssertionThroughout) {
  calendar_.add({"2026-12-07 09:00:00", "2026-12-07 10:00:00"});
  auto daemon = start("@2026-12-07 08:59:35 x10");
  size_t mostHeld = 0;
  int status = daemon->wait(30, [&] {
    mostHeld = std::max(mostHeld, assertionsOf(daemon->pid()).size());
  });
  ASSERT_EQ(0, status) << daemon->log();
  EXPECT_EQ(1u, mostHeld);
  EXPECT_TRUE(assertionsOf(daemon->pid()).empty());

  std::string log = daemon->log();
  EXPECT_GE(occurrences(log, "Checking for event - main thread"), 3u);
  EXPECT_EQ(1u, occurrences(log, "CREATE THREAD"));
  EXPECT_EQ(std::vector<std::string>{"1 <true/> 1"}, switcherRuns());
  EXPECT_EQ(std::vector<time_t>{localTime("2026-12-07 10:00:00")}, mutaroWakes());
  EXPECT_EQ(2u, simulatedWakes().size());
}

TEST_F(MutarodTest, MissingGraphicsServicesEndsWithStatus255) {
  fs::remove(root_.at(kGraphicsServices));
  auto daemon = start("@2026-12-07 09:30:00");
  int status = daemon->wait();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(255, WEXITSTATUS(status));
  EXPECT_NE(std::string::npos, daemon->lastLogLine().find("Could not open library"));
  EXPECT_FALSE(settings()->stringForKey(kUpdatedStart));
}

TEST_F(MutarodTest, OldSystemReadsTheEventTable) {
  setSystemVersion("4.2.1");
  fs::remove(root_.at(kTestCalendarPath));
  CalendarDatabase oldCalendar(root_.at(kTestCalendarPath), "event");
  oldCalendar.add({"2026-12-07 09:00:00", "2026-12-07 10:00:00"});
  auto daemon = start("@2026-12-07 09:30:00");
  ASSERT_EQ(0, daemon->wait());
  EXPECT_NE(std::string::npos, daemon->log().find("IOS version major: 4\n"));
  EXPECT_EQ(std::vector<std::string>{"1 <true/> 1"}, switcherRuns());
}

TEST_F(MutarodTest, MissingFilesArePreparedAtStart) {
  fs::remove(root_.at(std::string(kPreferences) + "com.apple.mobiletimer.plist"));
  fs::remove(bundle_ + "/SystemSoundBehaviour.plist");
  fs::remove(bundle_ + "/sms-received1.caf");
  writeScript(bundle_ + "/CopyFile", "echo \"$1 $2\" >> " + root_.path() + "/copies\n");

  auto daemon = start("@2026-12-07 09:30:00");
  ASSERT_EQ(0, daemon->wait());
  EXPECT_TRUE(root_.exists(std::string(kPreferences) + "com.apple.mobiletimer.plist"));
  const std::string& r = root_.path();
  EXPECT_EQ((std::vector<std::string>{
                r + "/System/Library/PrivateFrameworks/Celestial.framework/SystemSoundBehaviour.plist " +
                    r + "/Applications/Mutaro.app/SystemSoundBehaviour.plist",
                r + "/System/Library/PrivateFrameworks/Celestial.framework/SystemSoundBehaviour.plist " +
                    r + "/private/var/mobile/Documents/SystemSoundBehaviour.plist",
                r + "/System/Library/Audio/UISounds/sms-received1.caf " + r +
                    "/Applications/Mutaro.app/sms-received1.caf",
                r + "/System/Library/Audio/UISounds/sms-received1.caf " + r +
                    "/private/var/mobile/Documents/sms-received1.caf"}),
            lines(readFile(r + "/copies")));
}

TEST_F(MutarodTest, CalendarWithoutTablesDoesNotStopTheDaemon) {
  fs::remove(root_.at(kTestCalendarPath));
  root_.write(kTestCalendarPath, "");
  auto daemon = start("@2026-12-07 09:30:00");
  ASSERT_EQ(0, daemon->wait());
  std::string log = daemon->log();
  for (const char* message : {"Error1 in prepare statement", "Error2 in prepare statement (cache)",
                              "Error11 in prepare statement: no such table: CalendarItem",
                              "Error22 in prepare statement (cache): no such table: OccurrenceCache"}) {
    EXPECT_NE(std::string::npos, log.find(message)) << message;
  }
  EXPECT_NE(std::string::npos, daemon->lastLogLine().find("Exit main program thread - NEW NEW NEW"));
  EXPECT_TRUE(mutaroWakes().empty());
}

}  // namespace

namespace {

// The whole road of one event on a phone laid out by `phonesim init`, with the real switcher.
TEST(MutarodOnSimulatedPhoneTest, SilencesDuringTheEventAndWakesAtItsBoundaries) {
  if (!fs::exists(MUTARO_BIN_DIR "/phonesim") || !fs::exists(MUTARO_BIN_DIR "/Mutarodh")) {
    GTEST_SKIP() << "phonesim or Mutarodh is not built";
  }
  setenv("TZ", kTestTimeZone, 1);
  tzset();
  char pattern[] = "/tmp/mutaro-phone-XXXXXX";
  const std::string directory = mkdtemp(pattern);
  struct RemoveAtEnd {
    std::string path;
    ~RemoveAtEnd() {
      unsetenv("MUTARO_DEVICE_ROOT");
      std::error_code ignored;
      fs::remove_all(path, ignored);
    }
  } cleanup{directory};
  const std::string phone = directory + "/phone";
  const std::string phonesim = MUTARO_BIN_DIR "/phonesim";
  ASSERT_EQ(0, std::system((phonesim + " init " + phone + " > /dev/null").c_str()));
  setenv("MUTARO_DEVICE_ROOT", phone.c_str(), 1);
  auto addEvent = [&](const char* start, const char* end) {
    std::string command = phonesim + " event " + phone + " --start " +
                          std::to_string(localTime(start)) + " --end " + std::to_string(localTime(end)) +
                          " > /dev/null";
    ASSERT_EQ(0, std::system(command.c_str()));
  };
  addEvent("2026-12-07 09:00:00", "2026-12-07 10:00:00");
  CPScheduleWakeAtDateWithIdentifier(localTime("2026-12-08 07:00:00"), "com.apple.alarm");
  const std::string bundle = phone + kBundle;

  {
    Daemon daemon(bundle, "@2026-12-07 09:30:00 x10", directory);
    ASSERT_EQ(0, daemon.wait(60)) << daemon.log();
    auto settings = NSMutableDictionary::initWithContentsOfFile(kSettingsPath);
    EXPECT_EQ(true, settings->boolForKey(kEventInProgress));
    for (const char* key : {kSavedRingtone, kSavedRingVibrate, kSavedCalendarAlarm, kSavedSmsSound, kSavedLockUnlock,
                            kSavedVoicemailToneEnabled, kSavedPlayNewMailSound,
                            kSavedPlaySentMailSound, kSavedKeyboard}) {
      EXPECT_TRUE(settings->objectForKey(key)) << key;
    }
    EXPECT_TRUE(fs::exists(phone + kMarkerPath)) << "the switcher silenced the phone";
    EXPECT_EQ(std::vector<time_t>{localTime("2026-12-07 10:00:00")}, mutaroWakes());
  }

  addEvent("2026-12-07 11:00:00", "2026-12-07 12:00:00");
  {
    Daemon daemon(bundle, "@2026-12-07 10:00:30 x10", directory);
    ASSERT_EQ(0, daemon.wait(60)) << daemon.log();
    EXPECT_EQ(false, NSMutableDictionary::initWithContentsOfFile(kSettingsPath)->boolForKey(kEventInProgress));
    EXPECT_FALSE(fs::exists(phone + kMarkerPath)) << "the switcher reverted";
    EXPECT_EQ(std::vector<time_t>{localTime("2026-12-07 11:00:00")}, mutaroWakes());
  }
  std::vector<ScheduledWake> wakes = simulatedWakes();
  EXPECT_EQ(1, std::count_if(wakes.begin(), wakes.end(), [](const ScheduledWake& wake) {
              return wake.scheduledby == "com.apple.alarm" && wake.time == localTime("2026-12-08 07:00:00");
            }));
}

}  // namespace
