#include "tests/support/Phone.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include "platform/Foundation/PropertyList.h"

namespace fs = std::filesystem;

namespace {

double realSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string valuesAsXml(plist_t root) {
  char* xml = nullptr;
  uint32_t length = 0;
  if (root != nullptr) plist_to_xml(root, &xml, &length);
  std::string text(xml != nullptr ? xml : "", length);
  std::free(xml);
  return text;
}

std::string quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

std::string repeated(const std::string& text, int times) {
  std::string all;
  while (times-- > 0) all += text;
  return all;
}

std::string calendarSeconds(time_t unixSeconds) { return std::to_string(static_cast<int64_t>(unixSeconds) - 978307200); }

}  // namespace

time_t localTime(const std::string& text) {
  setenv("TZ", kTestTimeZone, 1);
  tzset();
  struct tm parts = {};
  if (strptime(text.c_str(), "%Y-%m-%d %H:%M:%S", &parts) == nullptr) throw std::invalid_argument(text);
  parts.tm_isdst = -1;
  return mktime(&parts);
}

void PrintTo(const Sounds& sounds, std::ostream* out) {
  for (const auto& [file, values] : sounds.preferences) *out << file << ":\n" << values;
  *out << "SMS tone " << sounds.smsTone.size() << " bytes, behaviour table " << sounds.soundBehaviour.size()
       << " bytes, volume " << sounds.volume;
}

std::string randomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random());
  return bytes;
}

std::string valuesOf(const NSMutableDictionary& values) { return valuesAsXml(values.node()); }

std::string nestedPropertyList(int depth, bool binary, int width) {
  if (!binary) return "<plist>" + repeated("<array>", depth) + repeated("</array>", depth) + "</plist>";
  // "bplist00", array i holding array i + 1, the offset table, the trailer (4-byte numbers).
  auto number = [](uint64_t value, int bytes) {
    std::string out;
    while (bytes-- > 0) out += static_cast<char>(value >> (8 * bytes));
    return out;
  };
  std::string list = "bplist00", offsets;
  for (int object = 0; object < depth; ++object) {
    offsets += number(list.size(), 4);
    int members = object + 1 < depth ? width : 0;
    list += static_cast<char>(0xA0 | members) + repeated(number(object + 1, 4), members);
  }
  return list + offsets + std::string(6, '\0') + "\x04\x04" + number(depth, 8) + number(0, 8) + number(list.size(), 8);
}

std::vector<BadFile> badFiles(const std::string& wrongTypes) {
  const std::string dict = "<plist><dict><key>EnabledSwitch</key><true/>";
  return {{"Empty", ""}, {"Truncated", dict + "<key>EventIn"}, {"Noise", randomBytes(4096, 7)},
          {"BrokenBinary", "bplist00" + randomBytes(200, 11)}, {"ArrayRoot", "<plist><array/></plist>"},
          {"NestedDeepXml", nestedPropertyList(200000, false)}, {"NestedDeepBinary", nestedPropertyList(100000, true)},
          {"TenMegabytes", dict + "<key>Padding</key><string>" + std::string(10 << 20, 'A')},
          {"Fifo", "", S_IFIFO}, {"Folder", "", S_IFDIR}, {"DanglingLink", "", S_IFLNK},
          {"WrongValueTypes", wrongTypes, S_IFREG, true}};
}

std::string builtProgram(const std::string& name) { return std::string(MUTARO_BIN_DIR) + "/" + name; }

Phone::Phone(const std::string& iosVersion, bool bare) : eventTable_(std::atoi(iosVersion.c_str()) < 5 ? "event" : "CalendarItem") {
  setenv("TZ", kTestTimeZone, 1);
  tzset();
  char pattern[] = "/tmp/mutaro-phone-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  if (bare) {
    fs::create_directories(at("/private/var/mobile/Library/Preferences"));
    fs::create_directory_symlink("private/var", at("/var"));
  } else if (Outcome init = runProgram({builtProgram("phonesim"), "init", root_, "--ios", iosVersion}); !init.exited(0)) {
    throw std::runtime_error("phonesim init failed: " + init.err);
  }
  setenv("MUTARO_DEVICE_ROOT", root_.c_str(), 1);
  setenv(kTestPreload, builtProgram("libmutaro_fulldisk.so").c_str(), 1);
  // In-process code finds the phone's own tools first, as the phone's programs do.
  hostPath_ = getenv("PATH") != nullptr ? getenv("PATH") : "/usr/bin:/bin";
  setenv("PATH", (at("/usr/bin") + ":" + hostPath_).c_str(), 1);
}

Phone::~Phone() {
  shutdown();
  if (testing::Test::HasFailure()) {
    std::string tail = log();
    std::fprintf(stderr, "--- the phone's system log, last lines ---\n%s\n",
                 tail.substr(tail.size() > 8000 ? tail.size() - 8000 : 0).c_str());
  }
  unsetenv("MUTARO_DEVICE_ROOT");
  unsetenv(kTestPreload);
  setenv("PATH", hostPath_.c_str(), 1);
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

void Phone::fillDisk(const std::vector<std::string>& phonePaths) const {
  std::string list;
  for (const std::string& path : phonePaths) list += path + "\n";
  write("/private/var/sim/full-disk", list);
}

std::vector<pid_t> Phone::running(const std::string& name) const {
  std::vector<pid_t> pids;
  std::error_code error;
  fs::path bundle = fs::weakly_canonical(at(kBundleDirectory), error);
  for (const auto& entry : fs::directory_iterator("/proc", error)) {
    std::string pid = entry.path().filename();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string comm;
    std::getline(std::ifstream(entry.path() / "comm"), comm);
    if (comm == name && fs::read_symlink(entry.path() / "cwd", error) == bundle) pids.push_back(std::stoi(pid));
  }
  return pids;
}

bool Phone::exists(const std::string& phonePath) const {
  struct stat info;
  return lstat(at(phonePath).c_str(), &info) == 0;
}

std::string Phone::read(const std::string& phonePath) const {
  return readFile(at(phonePath));
}

void Phone::write(const std::string& phonePath, const std::string& contents) const {
  fs::create_directories(fs::path(at(phonePath)).parent_path());
  std::ofstream(at(phonePath), std::ios::binary | std::ios::trunc) << contents;
}

void Phone::remove(const std::string& phonePath) const {
  std::error_code ignored;
  fs::remove_all(at(phonePath), ignored);
}

void Phone::plant(const std::string& phonePath, const BadFile& file) const {
  remove(phonePath);
  write(phonePath, file.contents);
  if (file.type != S_IFREG) remove(phonePath);
  if (file.type == S_IFIFO) mkfifo(at(phonePath).c_str(), 0666);
  if (file.type == S_IFDIR) fs::create_directory(at(phonePath));
  if (file.type == S_IFLNK) fs::create_symlink(at(phonePath) + ".missing", at(phonePath));
}

std::string Phone::shape(const std::string& phonePath) const {
  struct stat info;
  if (lstat(at(phonePath).c_str(), &info) != 0) return "missing";
  if (S_ISREG(info.st_mode)) return read(phonePath);
  if (S_ISLNK(info.st_mode)) return "link to " + fs::read_symlink(at(phonePath)).string();
  return S_ISDIR(info.st_mode) ? "folder" : "type " + std::to_string(info.st_mode & S_IFMT);
}

void Phone::moveTo(const std::string& root) {
  fs::rename(root_, root);
  root_ = root;
  setenv("MUTARO_DEVICE_ROOT", root_.c_str(), 1);
  setenv("PATH", (at("/usr/bin") + ":" + hostPath_).c_str(), 1);
}

void Phone::writePlist(const std::string& phonePath, const NSMutableDictionary& values) const {
  fs::create_directories(fs::path(at(phonePath)).parent_path());
  if (!values.writeToFileAtomically(phonePath)) throw std::runtime_error("cannot write " + phonePath);
}

void Phone::set(const json& values) const {
  auto settings = plist(kSettingsPath);
  if (!settings) throw std::runtime_error("the settings file is not a dictionary");
  for (const auto& [key, value] : values.items()) {
    if (value.is_boolean()) settings->setBool(key.c_str(), value.get<bool>());
    else if (value.is_number_integer()) settings->setInt(key.c_str(), value.get<int32_t>());
    else if (value.is_string()) settings->setString(key.c_str(), value.get<std::string>());
    else settings->removeObjectForKey(key.c_str());
  }
  writePlist(kSettingsPath, *settings);
}

void Phone::saveSounds() const {
  auto springBoard = plist(kSpringBoardPreferencesPath);
  set({{kSavedRingtone, *springBoard->stringForKey("ringtone")}, {kSavedRingVibrate, *springBoard->intForKey("ring-vibrate")},
       {kSavedCalendarAlarm, *springBoard->stringForKey("calendar-alarm")}, {kSavedSmsSound, *springBoard->intForKey("sms-sound")},
       {kSavedLockUnlock, *springBoard->boolForKey("lock-unlock")}, {kSavedVoicemailToneEnabled, true},
       {kSavedPlayNewMailSound, true}, {kSavedPlaySentMailSound, true}, {kSavedKeyboard, true}});
}

long long Phone::addEvent(const Event& event) const {
  long long id = 0;
  sql("INSERT INTO " + eventTable_ + " (summary, start_date, end_date, description, calendar_id, availability, all_day) VALUES ('Event', " +
          calendarSeconds(event.start) + ", " + calendarSeconds(event.end) + ", " +
          (event.notes ? quoted(*event.notes) : "NULL") + ", " + std::to_string(event.calendar) + ", " +
          std::to_string(event.availability) + ", " + (event.allDay ? "1" : "0") + ");",
      &id);
  for (time_t start : event.occurrences) {
    sql("INSERT INTO OccurrenceCache (occurrence_date, event_id, calendar_id) VALUES (" + calendarSeconds(start) + ", " +
        std::to_string(id) + ", " + std::to_string(event.calendar) + ")");
  }
  return id;
}

void Phone::sql(const std::string& statements, long long* insertedRow) const {
  sqlite3* db = nullptr;
  sqlite3_open_v2(at(kCalendarDatabasePath).c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  sqlite3_busy_timeout(db, 5000);
  char* message = nullptr;
  int result = sqlite3_exec(db, statements.c_str(), nullptr, nullptr, &message);
  std::string error = message != nullptr ? message : "";
  sqlite3_free(message);
  if (insertedRow != nullptr) *insertedRow = sqlite3_last_insert_rowid(db);
  sqlite3_close(db);
  if (result != SQLITE_OK) throw std::runtime_error(error + ": " + statements.substr(0, 200));
}

// The device root and the phone's tools are passed on (the tools unless the test gives a PATH).
std::vector<std::string> Phone::onPhone(const std::vector<std::string>& argv, RunOptions* options) const {
  std::vector<std::string> line = argv;
  if (line[0].rfind("./", 0) == 0) {
    if (options->directory.empty()) options->directory = at(kBundleDirectory);
  } else if (line[0].find('/') == std::string::npos) {
    line[0] = builtProgram(line[0]);
  }
  options->environment["MUTARO_DEVICE_ROOT"] = root_;
  options->environment.try_emplace("PATH", at("/usr/bin") + ":" + hostPath_);
  return line;
}

Outcome Phone::run(const std::vector<std::string>& argv, RunOptions options) const {
  std::vector<std::string> line = onPhone(argv, &options);
  return runProgram(line, options);
}

std::unique_ptr<Process> Phone::start(const std::vector<std::string>& argv, RunOptions options,
                                      const std::string& outputPath) const {
  std::vector<std::string> line = onPhone(argv, &options);
  return std::make_unique<Process>(line, options, outputPath);
}

json Phone::status() const {
  Outcome status = runProgram({builtProgram("phonesim"), "status", root_, "--json"});
  return json::parse(status.out, nullptr, false).is_object() ? json::parse(status.out) : json::object();
}

Sounds Phone::sounds(const json* status) const {
  Sounds sounds;
  for (const char* file : {kSpringBoardPreferencesPath, kPhonePreferencesPath, kMailPreferencesPath, kSoundsPreferencesPath}) {
    sounds.preferences[file] = valuesAsXml(readPropertyListFile(file).get());
  }
  sounds.smsTone = read(kSmsTonePath);
  sounds.soundBehaviour = read(kSoundBehaviourPath);
  sounds.volume = (status != nullptr ? *status : this->status()).value("volume", -1.0);
  return sounds;
}

std::vector<std::string> Phone::daemonStarts() const {
  std::vector<std::string> triggers;
  for (const std::string& record : linesOf(read("/private/var/sim/daemon-starts"))) triggers.push_back(record.substr(record.find('\t') + 1));
  return triggers;
}

int Phone::count(const std::string& message) const {
  std::vector<std::string> messages = logMessages(log());
  return static_cast<int>(std::count(messages.begin(), messages.end(), message));
}

void Phone::boot(time_t phoneTime, int speed) {
  speed_ = speed;
  bootPhoneTime_ = phoneTime;
  bootRealTime_ = realSeconds();
  bootClockOffset_ = static_cast<long>(phoneTime - time(nullptr));
  writeClockFile();
  // Under faketime's wrapper, whose shared memory gives all the phone's processes one clock; the
  // setting comes from a file (not the wrapper's), so setClock() can move it. The file is read
  // again once a real second: libfaketime that reads it at every reading (FAKETIME_NO_CACHE) is
  // not safe across threads, and now and then gives a thread the real time.
  booted_ = start({"/usr/bin/faketime", "-f", clock(), "/usr/bin/env", "-u", "FAKETIME", builtProgram("phonesim"), "boot", root_},
                  {.environment = {{"FAKETIME_TIMESTAMP_FILE", at("/boot.clock")}, {"FAKETIME_CACHE_DURATION", "1"}}},
                  at("/boot.out"));
}

void Phone::setClock(time_t phoneTime) {
  time_t jump = phoneTime - now();
  bootPhoneTime_ += jump;
  bootClockOffset_ += jump;
  writeClockFile();
}

// The offset taken at boot, moved by every setClock() since (the speed counts from the wrapper's
// start); replaced whole, so that no process reads half a setting.
void Phone::writeClockFile() const {
  write("/boot.clock.new", (bootClockOffset_ >= 0 ? "+" : "") + std::to_string(bootClockOffset_) + " x" +
                               std::to_string(speed_) + "\n");
  fs::rename(at("/boot.clock.new"), at("/boot.clock"));
}

// An offset from the real clock: libfaketime applies the speed from the process's start, now.
std::string Phone::clock() const {
  long offset = static_cast<long>(now() - time(nullptr));
  return (offset >= 0 ? "+" : "") + std::to_string(offset) + " x" + std::to_string(speed_);
}

void Phone::shutdown() {
  if (!booted_) return;
  // phonesim is the wrapper's only child; stopped, it stops the phone's processes.
  std::string children = "/proc/" + std::to_string(booted_->pid()) + "/task/" + std::to_string(booted_->pid()) + "/children";
  pid_t phonesim = -1;
  eventually(2, [&] { return static_cast<bool>(std::ifstream(children) >> phonesim); });
  if (phonesim > 0) kill(phonesim, SIGTERM);
  booted_->waitGroup(20);
  booted_.reset();
}

time_t Phone::now() const { return bootPhoneTime_ + static_cast<time_t>((realSeconds() - bootRealTime_) * speed_); }

bool Phone::waitFor(const std::function<bool(const json&)>& condition, time_t deadline, json* last) const {
  json current;
  bool held = eventually(1e6, [&] {
    current = status();
    return condition(current) || now() > deadline;
  }) && condition(current);
  if (last != nullptr) *last = current;
  return held;
}

std::vector<std::string> logMessages(const std::string& log, const std::string& program) {
  std::vector<std::string> messages;
  for (const std::string& line : linesOf(log)) {
    size_t process = program.empty() ? 23 : line.find(" " + program + "[");
    size_t end = line.find("] ", process);
    if (process == std::string::npos || end == std::string::npos) continue;
    if (line.compare(end + 2, std::string::npos, "Lock file was deleted") != 0) messages.push_back(line.substr(end + 2));
  }
  return messages;
}

static bool showsImage(const json& status) {
  json images = status.value("statusBarImages", json::array());
  return std::find(images.begin(), images.end(), "Mutaro") != images.end();
}

bool silenced(const json& status) {
  return status.value("eventInProgress", json()) == true && status.value("marker", false) && showsImage(status);
}

bool released(const json& status) {
  return status.value("eventInProgress", json()) == false && !status.value("marker", true) && !showsImage(status);
}

std::vector<std::string> mutaroWakes(const json& status) {
  std::vector<std::string> wakes;
  for (const auto& wake : status.value("wakes", json::array())) {
    if (wake.value("scheduledby", "") == "com.velbrant.Mutaro") wakes.push_back(wake.value("time", ""));
  }
  return wakes;
}

