#include "tests/e2e/SimulatedPhone.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "platform/Foundation/NSMutableDictionary.h"
#include "platform/Foundation/PropertyList.h"

extern char** environ;

namespace {

const std::string kBin = MUTARO_BIN_DIR;

double realSeconds() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

std::string program(const std::string& name) { return name.rfind('/', 0) == 0 ? name : kBin + "/" + name; }

// Runs a command to its end; its exit status, with standard output in `out`.
int run(const std::vector<std::string>& command, std::string* out = nullptr) {
  char outPath[] = "/tmp/mutaro-e2e-out-XXXXXX";
  int outFd = mkstemp(outPath);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
  std::vector<char*> argv;
  for (const auto& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  int status = -1;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    waitpid(pid, &status, 0);
  }
  posix_spawn_file_actions_destroy(&actions);
  close(outFd);
  if (out) {
    std::ifstream in(outPath);
    *out = std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  unlink(outPath);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// faketime runs its program as a child and waits for it: the program to signal is that child.
pid_t onlyChildOf(pid_t parent) {
  std::ifstream children("/proc/" + std::to_string(parent) + "/task/" + std::to_string(parent) + "/children");
  pid_t child = -1;
  children >> child;
  return child;
}

}  // namespace

SimulatedPhone::SimulatedPhone() {
  setenv("TZ", kTimeZone, 1);
  tzset();
  char pattern[] = "/tmp/mutaro-e2e-XXXXXX";
  root_ = mkdtemp(pattern);
  if (run({program("phonesim"), "init", root_}) != 0) throw std::runtime_error("phonesim init failed");
  setenv("MUTARO_DEVICE_ROOT", root_.c_str(), 1);
}

SimulatedPhone::~SimulatedPhone() {
  shutdown();
  // What the phone did, for the reader of a failed test.
  if (testing::Test::HasFailure()) {
    std::string tail = log();
    if (tail.size() > 12000) tail = tail.substr(tail.size() - 12000);
    std::fprintf(stderr, "--- the phone's system log, last lines ---\n%s\n--- boot output ---\n%s\n",
                 tail.c_str(), readFile(at("/boot.err")).c_str());
  }
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

time_t SimulatedPhone::localTime(int hour, int minute, int second, int dayOffset) {
  struct tm local = {};
  local.tm_year = 2026 - 1900;
  local.tm_mon = 11;
  local.tm_mday = 7 + dayOffset;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  return mktime(&local);
}

void SimulatedPhone::addEvent(time_t start, time_t end, const std::vector<std::string>& options) {
  std::vector<std::string> command = {program("phonesim"), "event", root_, "--start", std::to_string(start),
                                      "--end", std::to_string(end)};
  command.insert(command.end(), options.begin(), options.end());
  if (run(command) != 0) throw std::runtime_error("phonesim event failed");
}

void SimulatedPhone::setSetting(const char* key, bool value) {
  auto settings = NSMutableDictionary::initWithContentsOfFile("/var/mobile/Library/Preferences/com.velbrant.mutaro.plist");
  settings->setBool(key, value);
  settings->writeToFileAtomically("/var/mobile/Library/Preferences/com.velbrant.mutaro.plist");
}

void SimulatedPhone::boot(time_t phoneTime, int speed) {
  speed_ = speed;
  bootPhoneTime_ = phoneTime;
  bootRealTime_ = realSeconds();
  long offset = static_cast<long>(phoneTime - time(nullptr));
  std::string clock = (offset >= 0 ? "+" : "") + std::to_string(offset) + " x" + std::to_string(speed);
  std::vector<std::string> command = {"faketime", "-f", clock, program("phonesim"), "boot", root_};
  std::vector<char*> argv;
  for (const auto& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  std::string errPath = root_ + "/boot.err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (posix_spawnp(&faketime_, "faketime", &actions, nullptr, argv.data(), environ) != 0) faketime_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  if (faketime_ < 0) throw std::runtime_error("cannot start faketime");
}

void SimulatedPhone::shutdown() {
  if (faketime_ < 0) return;
  for (int attempt = 0; attempt < 100; ++attempt) {
    pid_t phonesim = onlyChildOf(faketime_);
    if (phonesim > 0) {
      kill(phonesim, SIGTERM);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  waitpid(faketime_, nullptr, 0);
  faketime_ = -1;
}

time_t SimulatedPhone::now() const {
  return bootPhoneTime_ + static_cast<time_t>((realSeconds() - bootRealTime_) * speed_);
}

int SimulatedPhone::runOnPhoneClock(const std::vector<std::string>& command) {
  time_t phoneNow = now();
  long offset = static_cast<long>(phoneNow - time(nullptr));
  std::string clock = (offset >= 0 ? "+" : "") + std::to_string(offset) + " x" + std::to_string(speed_);
  std::vector<std::string> line = {"faketime", "-f", clock, program(command.front())};
  line.insert(line.end(), command.begin() + 1, command.end());
  return run(line);
}

nlohmann::json SimulatedPhone::status() const {
  std::string out;
  run({program("phonesim"), "status", root_}, &out);
  try {
    return nlohmann::json::parse(out);
  } catch (const std::exception&) {
    return nlohmann::json::object();
  }
}

bool SimulatedPhone::waitFor(const std::function<bool(const nlohmann::json&)>& condition, time_t deadline,
                             nlohmann::json* last) const {
  for (;;) {
    nlohmann::json current = status();
    if (last) *last = current;
    if (condition(current)) return true;
    if (now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

Sounds SimulatedPhone::sounds() const {
  Sounds sounds;
  for (const char* file : {"com.apple.springboard.plist", "com.apple.mobilephone.plist",
                           "com.apple.mobilemail.plist", "com.apple.preferences.sounds.plist"}) {
    PlistPtr values = readPropertyListFile(std::string("/private/var/mobile/Library/Preferences/") + file);
    char* xml = nullptr;
    uint32_t length = 0;
    if (values) plist_to_xml(values.get(), &xml, &length);
    sounds.preferences[file] = xml ? std::string(xml, length) : "";
    if (xml) plist_to_xml_free(xml);
  }
  sounds.smsTone = readFile(at("/System/Library/Audio/UISounds/sms-received1.caf"));
  sounds.soundBehaviour = readFile(at("/System/Library/PrivateFrameworks/Celestial.framework/SystemSoundBehaviour.plist"));
  sounds.volume = status().value("volume", -1.0);
  return sounds;
}

std::string SimulatedPhone::log() const { return readFile(at("/private/var/log/syslog")); }

int SimulatedPhone::count(const std::string& logMessage) const {
  std::istringstream lines(log());
  std::string line;
  int found = 0;
  std::string ending = "] " + logMessage;
  while (std::getline(lines, line)) {
    if (line.size() >= ending.size() && line.compare(line.size() - ending.size(), ending.size(), ending) == 0) ++found;
  }
  return found;
}

bool silenced(const nlohmann::json& status) {
  auto images = status.value("statusBarImages", nlohmann::json::array());
  return status.value("eventInProgress", nlohmann::json()) == true && status.value("marker", false) &&
         std::find(images.begin(), images.end(), "Mutaro") != images.end();
}

bool released(const nlohmann::json& status) {
  auto images = status.value("statusBarImages", nlohmann::json::array());
  return status.value("eventInProgress", nlohmann::json()) == false && !status.value("marker", true) &&
         std::find(images.begin(), images.end(), "Mutaro") == images.end();
}

std::vector<std::string> mutaroWakes(const nlohmann::json& status) {
  std::vector<std::string> wakes;
  for (const auto& wake : status.value("wakes", nlohmann::json::array())) {
    if (wake.value("scheduledby", "") == "com.velbrant.Mutaro") wakes.push_back(wake.value("time", ""));
  }
  return wakes;
}

std::string isoUtc(time_t when) {
  struct tm utc;
  gmtime_r(&when, &utc);
  char text[32];
  strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}
