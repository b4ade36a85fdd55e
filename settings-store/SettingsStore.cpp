#include "settings-store/SettingsStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/FileWrites.h"
#include "platform/Foundation/NSLog.h"
#include "platform/Foundation/NSMutableDictionary.h"
#include "platform/Foundation/NSRunLoop.h"
#include "settings-store/SettingsPaths.h"

namespace {

constexpr double kLockWait = 0.5;
constexpr double kLockPoll = 0.005;
constexpr int kLockWaitsBeforeBreaking = 5;  // tested after the wait: six waits in all
constexpr size_t kStringBufferSize = 128;
constexpr size_t kLongestString = 126;

// The lock file exists when it can be opened for reading. One that stands there but cannot
// be opened (no read permission, a dangling link) counts as present too: it makes every
// exclusive create fail, so it must be waited for and broken like any other. The open never
// blocks, so a FIFO in the lock's place is a lock like any other too.
bool presentLock(const std::string& lockPath) {
  int fd = open(lockPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) {
    close(fd);
    return true;
  }
  struct stat info;
  return lstat(lockPath.c_str(), &info) == 0;
}

// When this process last released the lock, on the monotonic clock.
double lastRelease = -1;

std::unique_ptr<NSMutableDictionary> loadSettings() {
  return NSMutableDictionary::initWithContentsOfFile(kSettingsPath);
}

// One locked read-modify-write of the whole settings file. A file that cannot be read as a
// dictionary is left as it is: the write is lost, and no file is created.
template <typename Change>
void updateSettings(Change change) {
  lockWithFile();
  if (auto settings = loadSettings()) {
    change(*settings);
    settings->writeToFileAtomically(kSettingsPath);
  }
  unlockWithFile();
}

// One locked read of the whole settings file.
template <typename Lookup>
auto readSettings(Lookup lookup) -> decltype(lookup(std::declval<NSMutableDictionary&>())) {
  lockWithFile();
  auto settings = loadSettings();
  decltype(lookup(*settings)) value{};
  if (settings) value = lookup(*settings);
  unlockWithFile();
  return value;
}

// The value as ASCII text of at most kLongestString characters, or null.
char* convertToCString(const std::string& value) {
  char* buffer = static_cast<char*>(std::malloc(kStringBufferSize));
  bool ascii = buffer != nullptr && value.size() <= kLongestString;
  for (unsigned char c : value) {
    if (c == 0 || c > 0x7f) ascii = false;
  }
  if (!ascii) {
    std::free(buffer);
    std::fputs("2 - Could not convert to cString\n", stdout);
    std::fflush(stdout);
    return nullptr;
  }
  std::memcpy(buffer, value.c_str(), value.size() + 1);
  return buffer;
}

}  // namespace

void lockWithFile() {
  const std::string lockPath = devicePath(kSettingsLockPath);
  // The waits count across the whole call, so a lock file that keeps being replaced, or that
  // other processes keep taking, holds the caller six waits at most. Within a wait the lock is
  // taken as soon as it is free: a waiter that only looked every half second would lose it to
  // busier peers until its waits ran out. The exclusive create keeps two processes from both
  // being inside; anything standing at the path, a dangling link too, fails it with EEXIST.
  int counter = 0;
  // A process that released the lock a moment ago lets a waiter have it first: one taking it
  // back at once, call after call, would starve the others until they broke it.
  if (lastRelease >= 0 && monotonicSeconds() - lastRelease < kLockPoll) {
    NSRunLoop::currentRunLoop().runForInterval(kLockPoll);
  }
  for (;;) {
    if (createExclusively(lockPath, 0666)) return;
    // One wait, timed by the clock: the polls' own time counts towards it.
    for (const double start = monotonicSeconds(); errno == EEXIST && monotonicSeconds() - start < kLockWait;) {
      NSRunLoop::currentRunLoop().runForInterval(kLockPoll);
      if (createExclusively(lockPath, 0666)) return;
    }
    if (errno != EEXIST) break;
    if (counter < kLockWaitsBeforeBreaking) {
      ++counter;
      continue;
    }
    if (removeFile(lockPath) || errno == ENOENT) {
      NSLog("Lock file was deleted");
      if (createExclusively(lockPath, 0666)) return;
    } else {
      // A lock that can never be removed must not hang the caller: it goes on unlocked.
      NSLog("--- Could not delete lock file");
    }
    break;
  }
  NSLog("--- Could not create the lock file");
}

void unlockWithFile() {
  const std::string lockPath = devicePath(kSettingsLockPath);
  if (!presentLock(lockPath)) return;
  if (removeFile(lockPath)) {
    NSLog("Lock file was deleted");
    lastRelease = monotonicSeconds();
  } else {
    NSLog("--- Could not delete lock file");
  }
}

bool readPlistBool(const char* key, bool* value) {
  std::optional<bool> found = readSettings([key](NSMutableDictionary& s) { return s.boolForKey(key); });
  if (found) *value = *found;
  return found.has_value();
}

bool readPlistNumber(const char* key, int32_t* value) {
  std::optional<int32_t> found = readSettings([key](NSMutableDictionary& s) { return s.intForKey(key); });
  if (found) *value = *found;
  return found.has_value();
}

char* readPlistString(const char* key) {
  lockWithFile();
  char* text = nullptr;
  bool present = false;
  if (auto settings = loadSettings()) {
    if (std::optional<std::string> value = settings->stringForKey(key)) {
      present = true;
      text = convertToCString(*value);
    }
  }
  unlockWithFile();
#ifdef MUTARO_SETTINGS_APP
  if (!present) {
    NSLog("Release 1 - NULL");
  } else if (text != nullptr) {
    NSLog("RETURN");
  } else {
    NSLog("Release 2 - NULL");
  }
#else
  (void)present;
#endif
  return text;
}

void updatePlistBool(const char* key, bool value) {
  updateSettings([&](NSMutableDictionary& s) { s.setBool(key, value); });
}

void updatePlistNumber(const char* key, int32_t value) {
  updateSettings([&](NSMutableDictionary& s) { s.setInt(key, value); });
}

void updatePlistString(const char* key, const char* valueOrNull) {
  updateSettings([&](NSMutableDictionary& s) {
    if (valueOrNull == nullptr) {
      s.removeObjectForKey(key);
    } else {
      s.setString(key, valueOrNull);
    }
  });
}

#ifdef MUTARO_SETTINGS_APP
bool readPlist(const char* key, bool* value) { return readPlistBool(key, value); }

int32_t readPlistInt(const char* key) {
  int32_t value = 0;
  readPlistNumber(key, &value);
  return value;
}

void updatePlist(const char* key, bool value) { updatePlistBool(key, value); }
#endif
