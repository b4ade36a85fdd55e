#include "platform/IOKit/IOPMLib.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <set>
#include <sstream>

#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/FileWrites.h"
#include "platform/Foundation/NSLog.h"
#include "platform/SimState/SimState.h"

// Each assertion is a file "<pid>-<id>" in the simulated state's "power/" directory holding
// four lines: pid, the process's start time, level and type. A pid alone would not do: once
// its holder ends, however it ends, the pid may be reused, so an assertion only counts while
// a live process with that pid has the recorded start time.

namespace {

std::atomic<IOPMAssertionID> nextAssertionID{1};
std::mutex heldLock;
std::set<IOPMAssertionID> heldByThisProcess;

std::string assertionDirectory() { return devicePath(simStatePath("power/")); }

std::string assertionFile(int pid, IOPMAssertionID id) {
  return assertionDirectory() + std::to_string(pid) + "-" + std::to_string(id);
}

// Reads a small file whole. Files under /proc report a size of 0, so read until the end.
bool readSmallFile(const std::string& path, std::string* contents) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);  // a FIFO never holds it
  if (fd < 0) return false;
  contents->clear();
  char buffer[4096];
  ssize_t count;
  while ((count = read(fd, buffer, sizeof buffer)) > 0) contents->append(buffer, count);
  close(fd);
  return count == 0;
}

struct ProcessStatus {
  char state;
  unsigned long long startTime;  // clock ticks after boot
};

// Fields 3 (state) and 22 (start time) of /proc/<pid>/stat. The command name (field 2) is
// in parentheses and may itself hold blanks and parentheses, so counting starts after the
// last ')'.
bool readProcessStatus(int pid, ProcessStatus* status) {
  std::string stat;
  if (!readSmallFile("/proc/" + std::to_string(pid) + "/stat", &stat)) return false;
  size_t nameEnd = stat.rfind(')');
  if (nameEnd == std::string::npos) return false;
  std::istringstream fields(stat.substr(nameEnd + 1));
  std::string field;
  fields >> status->state;
  for (int number = 4; number < 22 && fields >> field; ++number) {
  }
  return static_cast<bool>(fields >> status->startTime);
}

bool isAlive(int pid, unsigned long long startTime) {
  ProcessStatus status;
  if (!readProcessStatus(pid, &status)) return false;
  // A process that has ended but is not yet reaped stays in /proc as a zombie.
  if (status.state == 'Z' || status.state == 'X' || status.state == 'x') return false;
  return status.startTime == startTime;
}

// Written under a temporary name and renamed, so a reader never sees half a record.
bool writeAssertionFile(const std::string& path, const std::string& contents) {
  return replaceFile(path, 0644, contents);
}

bool parseAssertion(const std::string& contents, SimulatedAssertion* assertion,
                    unsigned long long* startTime) {
  std::istringstream lines(contents);
  std::string pid, start, level, type;
  if (!std::getline(lines, pid) || !std::getline(lines, start) || !std::getline(lines, level) ||
      !std::getline(lines, type)) {
    return false;
  }
  try {
    size_t used = 0;
    assertion->pid = std::stoi(pid, &used);
    if (used != pid.size()) return false;
    *startTime = std::stoull(start, &used);
    if (used != start.size()) return false;
    assertion->level = static_cast<int>(std::stoll(level, &used));
    if (used != level.size()) return false;
  } catch (const std::exception&) {
    return false;
  }
  assertion->type = type;
  return true;
}

}  // namespace

IOReturn IOPMAssertionCreate(const char* type, IOPMAssertionLevel level, IOPMAssertionID* id) {
  if (type == nullptr || id == nullptr) return kIOReturnError;
  int pid = getpid();
  ProcessStatus self;
  if (!readProcessStatus(pid, &self)) return kIOReturnError;

  makeDirectories(assertionDirectory());
  IOPMAssertionID assertionID = nextAssertionID++;
  std::string typeLine = type;
  std::replace(typeLine.begin(), typeLine.end(), '\n', ' ');
  std::string contents = std::to_string(pid) + "\n" + std::to_string(self.startTime) + "\n" +
                         std::to_string(level) + "\n" + typeLine + "\n";
  if (!writeAssertionFile(assertionFile(pid, assertionID), contents)) {
    NSLog("IOKit: cannot record the power assertion in %s", assertionDirectory().c_str());
    return kIOReturnError;
  }
  std::lock_guard<std::mutex> guard(heldLock);
  heldByThisProcess.insert(assertionID);
  *id = assertionID;
  return kIOReturnSuccess;
}

IOReturn IOPMAssertionRelease(IOPMAssertionID id) {
  {
    std::lock_guard<std::mutex> guard(heldLock);
    if (heldByThisProcess.erase(id) == 0) return kIOReturnError;
  }
  return removeFile(assertionFile(getpid(), id)) ? kIOReturnSuccess : kIOReturnError;
}

std::vector<SimulatedAssertion> simulatedPowerAssertions() {
  // Ordered by pid, then by the order in which each process created them.
  std::vector<std::pair<IOPMAssertionID, SimulatedAssertion>> held;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(assertionDirectory(), error)) {
    int pid = 0;
    IOPMAssertionID id = 0;
    char extra = 0;
    std::string name = entry.path().filename().string();
    if (std::sscanf(name.c_str(), "%d-%u%c", &pid, &id, &extra) != 2) continue;
    std::string contents;
    SimulatedAssertion assertion;
    unsigned long long startTime = 0;
    if (!readSmallFile(entry.path().string(), &contents) ||
        !parseAssertion(contents, &assertion, &startTime) || assertion.pid != pid) {
      continue;
    }
    if (isAlive(pid, startTime)) held.emplace_back(id, assertion);
  }
  std::sort(held.begin(), held.end(), [](const auto& a, const auto& b) {
    return std::pair(a.second.pid, a.first) < std::pair(b.second.pid, b.first);
  });
  std::vector<SimulatedAssertion> assertions;
  for (auto& [id, assertion] : held) assertions.push_back(std::move(assertion));
  return assertions;
}
