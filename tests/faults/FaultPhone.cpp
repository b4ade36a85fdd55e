#include "tests/faults/FaultPhone.h"

#include <fcntl.h>
#include <plist/plist.h>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr const char* kFakeTimeLibrary = "/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1";

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The environment of a child: this process's, plus the time zone, the clock and the extras.
std::vector<std::string> childEnvironment(const RunOptions& options) {
  std::map<std::string, std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string text = *entry;
    size_t equals = text.find('=');
    if (equals != std::string::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
  }
  variables["TZ"] = kFaultTimeZone;
  variables.erase("LD_PRELOAD");
  variables.erase("FAKETIME");
  if (!options.fakeTime.empty()) {
    variables["LD_PRELOAD"] = kFakeTimeLibrary;
    variables["FAKETIME"] = options.fakeTime;
    // A sanitized build must accept the clock library loaded ahead of its runtime.
    std::string& sanitizer = variables["ASAN_OPTIONS"];
    sanitizer += (sanitizer.empty() ? "" : ":") + std::string("verify_asan_link_order=0");
  }
  for (const auto& [name, value] : options.environment) variables[name] = value;
  std::vector<std::string> result;
  for (const auto& [name, value] : variables) result.push_back(name + "=" + value);
  return result;
}

// Forks a child that runs `argv` as the leader of a new process group, with stdout and stderr
// on the given descriptors.
pid_t spawn(const std::vector<std::string>& argv, const RunOptions& options, int out, int err) {
  std::vector<std::string> environment = childEnvironment(options);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<char*> envp;
  for (auto& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);

  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    setpgid(0, 0);
    int devNull = open("/dev/null", O_RDONLY);
    dup2(devNull, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    if (!options.directory.empty() && chdir(options.directory.c_str()) != 0) _exit(126);
    execve(args[0], args.data(), envp.data());
    _exit(127);
  }
  setpgid(pid, pid);
  return pid;
}

// Orphaned grandchildren (a switcher whose daemon was killed) come back to the test process.
void becomeSubreaper() {
  static bool done = [] {
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    return true;
  }();
  (void)done;
}

nlohmann::json toJson(plist_t node) {
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t value = 0;
      plist_get_bool_val(node, &value);
      return value != 0;
    }
    case PLIST_UINT: {
      uint64_t value = 0;
      plist_get_uint_val(node, &value);
      return static_cast<int64_t>(value);  // negative integers are stored as their 64-bit pattern
    }
    case PLIST_REAL: {
      double value = 0;
      plist_get_real_val(node, &value);
      return value;
    }
    case PLIST_STRING: {
      char* value = nullptr;
      plist_get_string_val(node, &value);
      std::string text = value != nullptr ? value : "";
      std::free(value);
      return text;
    }
    default:
      return "<other>";
  }
}

plist_t readPlist(const std::string& realPath) {
  std::ifstream in(realPath, std::ios::binary);
  if (!in) return nullptr;
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (data.empty()) return nullptr;
  plist_t root = nullptr;
  plist_from_memory(data.data(), static_cast<uint32_t>(data.size()), &root);
  return root;
}

}  // namespace

time_t localTime(const std::string& text) {
  setenv("TZ", kFaultTimeZone, 1);
  tzset();
  struct tm parts = {};
  if (strptime(text.c_str(), "%Y-%m-%d %H:%M:%S", &parts) == nullptr) {
    throw std::invalid_argument("not a local time: " + text);
  }
  parts.tm_isdst = -1;
  return mktime(&parts);
}

std::string builtProgram(const std::string& name) { return std::string(MUTARO_BIN_DIR) + "/" + name; }

RunResult runProgram(const std::vector<std::string>& argv, const RunOptions& options) {
  becomeSubreaper();
  int outPipe[2];
  int errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  pid_t pid = spawn(argv, options, outPipe[1], errPipe[1]);
  close(outPipe[1]);
  close(errPipe[1]);

  RunResult result;
  auto started = std::chrono::steady_clock::now();
  struct pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int openPipes = 2;
  while (openPipes > 0) {
    double left = options.timeoutSeconds - secondsSince(started);
    if (left <= 0) {
      result.timedOut = true;
      kill(-pid, SIGKILL);
      break;
    }
    if (poll(fds, 2, static_cast<int>(left * 1000) + 1) < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[65536];
      ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --openPipes;
      }
    }
  }
  for (auto& fd : fds) {
    if (fd.fd >= 0) close(fd.fd);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  // Whatever the program left running in its group is not wanted after a timeout.
  if (result.timedOut) {
    kill(-pid, SIGKILL);
    while (waitpid(-pid, nullptr, 0) > 0) {
    }
  }
  return result;
}

Background::Background(const std::vector<std::string>& argv, const RunOptions& options,
                       const std::string& logPath) {
  becomeSubreaper();
  int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (log < 0) throw std::runtime_error("cannot open " + logPath);
  pid_ = spawn(argv, options, log, log);
  close(log);
}

Background::~Background() {
  if (pid_ > 0) {
    kill(-pid_, SIGKILL);
    if (!leaderReaped_) waitpid(pid_, nullptr, 0);
    while (waitpid(-pid_, nullptr, WNOHANG) > 0) {
    }
  }
}

void Background::signal(int number) { kill(pid_, number); }

bool Background::waitLeader(double timeoutSeconds, int* status) {
  if (leaderReaped_) return true;
  auto started = std::chrono::steady_clock::now();
  while (secondsSince(started) < timeoutSeconds) {
    int result = 0;
    if (waitpid(pid_, &result, WNOHANG) == pid_) {
      leaderReaped_ = true;
      if (status != nullptr) *status = result;
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

bool Background::waitGroup(double timeoutSeconds) {
  auto started = std::chrono::steady_clock::now();
  for (;;) {
    pid_t reaped = waitpid(-pid_, nullptr, WNOHANG);
    if (reaped == pid_) leaderReaped_ = true;
    if (reaped < 0 && errno == ECHILD && kill(-pid_, 0) != 0) return true;
    if (secondsSince(started) >= timeoutSeconds) {
      kill(-pid_, SIGKILL);
      while (waitpid(-pid_, nullptr, 0) > 0) {
      }
      leaderReaped_ = true;
      return false;
    }
    if (reaped <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

FaultPhone::FaultPhone() {
  char pattern[] = "/tmp/mutaro-faults-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  RunResult init = runProgram({builtProgram("phonesim"), "init", root_}, {});
  if (!init.exitedWith(0)) throw std::runtime_error("phonesim init failed: " + init.err);
}

FaultPhone::~FaultPhone() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

bool FaultPhone::exists(const std::string& phonePath) const {
  struct stat info;
  return lstat(at(phonePath).c_str(), &info) == 0;
}

std::string FaultPhone::read(const std::string& phonePath) const {
  std::ifstream in(at(phonePath), std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void FaultPhone::write(const std::string& phonePath, const std::string& contents) const {
  fs::create_directories(fs::path(at(phonePath)).parent_path());
  std::ofstream(at(phonePath), std::ios::binary | std::ios::trunc) << contents;
}

std::optional<std::pair<dev_t, ino_t>> FaultPhone::identity(const std::string& phonePath) const {
  struct stat info;
  if (stat(at(phonePath).c_str(), &info) != 0) return std::nullopt;
  return std::make_pair(info.st_dev, info.st_ino);
}

RunOptions FaultPhone::optionsFor(const std::string& fakeTime) const {
  RunOptions options;
  options.fakeTime = fakeTime;
  options.directory = bundleDirectory();
  options.environment["MUTARO_DEVICE_ROOT"] = root_;
  return options;
}

RunResult FaultPhone::runDaemon(const std::string& fakeTime, double timeoutSeconds) const {
  RunOptions options = optionsFor(fakeTime);
  options.timeoutSeconds = timeoutSeconds;
  return runProgram({"./Mutarod"}, options);
}

RunResult FaultPhone::runSwitcher(const std::string& argument, const std::string& fakeTime) const {
  return runProgram({"./Mutarodh", argument}, optionsFor(fakeTime));
}

nlohmann::json FaultPhone::status() const {
  RunResult result = runProgram({builtProgram("phonesim"), "status", root_}, {});
  if (!result.exitedWith(0)) throw std::runtime_error("phonesim status failed: " + result.err);
  return nlohmann::json::parse(result.out);
}

nlohmann::json FaultPhone::setting(const std::string& key) const {
  plist_t root = readPlist(at(kSettingsFile));
  nlohmann::json value;
  if (root != nullptr && plist_get_node_type(root) == PLIST_DICT) {
    if (plist_t item = plist_dict_get_item(root, key.c_str())) value = toJson(item);
  }
  plist_free(root);
  return value;
}

void FaultPhone::setSettings(const std::map<std::string, nlohmann::json>& values) const {
  plist_t root = readPlist(at(kSettingsFile));
  if (root == nullptr || plist_get_node_type(root) != PLIST_DICT) {
    plist_free(root);
    throw std::runtime_error("the settings file is not a dictionary");
  }
  for (const auto& [key, value] : values) {
    plist_t node = value.is_boolean()          ? plist_new_bool(value.get<bool>())
                   : value.is_number_integer() ? plist_new_uint(static_cast<uint64_t>(value.get<int64_t>()))
                                               : plist_new_string(value.get<std::string>().c_str());
    plist_dict_set_item(root, key.c_str(), node);
  }
  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(root, &xml, &length);
  write(kSettingsFile, std::string(xml, length));
  std::free(xml);
  plist_free(root);
}

long long FaultPhone::addEvent(time_t start, time_t end, int availability,
                               const std::optional<std::string>& notes, int calendar, bool allDay) const {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(at(kCalendarFile).c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    throw std::runtime_error("cannot open the calendar");
  }
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db,
                     "INSERT INTO CalendarItem (summary, start_date, end_date, description, calendar_id,"
                     " availability, all_day) VALUES ('Fault test', ?, ?, ?, ?, ?, ?)",
                     -1, &insert, nullptr);
  sqlite3_bind_int64(insert, 1, static_cast<int64_t>(start) - 978307200);
  sqlite3_bind_int64(insert, 2, static_cast<int64_t>(end) - 978307200);
  if (notes) {
    sqlite3_bind_text(insert, 3, notes->data(), static_cast<int>(notes->size()), SQLITE_TRANSIENT);
  } else {
    sqlite3_bind_null(insert, 3);
  }
  sqlite3_bind_int(insert, 4, calendar);
  sqlite3_bind_int(insert, 5, availability);
  sqlite3_bind_int(insert, 6, allDay ? 1 : 0);
  int stepped = sqlite3_step(insert);
  sqlite3_finalize(insert);
  long long id = sqlite3_last_insert_rowid(db);
  sqlite3_close(db);
  if (stepped != SQLITE_DONE) throw std::runtime_error("cannot add the event");
  return id;
}

void FaultPhone::calendarSql(const std::string& sql) const {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(at(kCalendarFile).c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    throw std::runtime_error("cannot open the calendar");
  }
  char* message = nullptr;
  int result = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
  std::string text = message != nullptr ? message : "";
  sqlite3_free(message);
  sqlite3_close(db);
  if (result != SQLITE_OK) throw std::runtime_error("calendar SQL failed: " + text);
}

bool parsesAsDictionary(const std::string& realPath) {
  plist_t root = readPlist(realPath);
  bool dictionary = root != nullptr && plist_get_node_type(root) == PLIST_DICT;
  plist_free(root);
  return dictionary;
}
