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
constexpr int kLockWaitsBeforeBreaking = 5;  // tested after the wait: six waits in all
constexpr size_t kStringBufferSize = 128;
constexpr size_t kLongestString = 126;

// Which lock file stands there now: a lock that other processes keep taking and releasing
// is a new file each time, and only a lock that stays the same file is stale.
struct LockIdentity {
  dev_t device;
  ino_t inode;
  struct timespec changed;
  bool operator==(const LockIdentity& other) const {
    return device == other.device && inode == other.inode &&
           changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
  }
};

// The lock file exists when it can be opened for reading. One that stands there but cannot
// be opened (no read permission, a dangling link) counts as present too: it makes every
// exclusive create fail, so it must be waited for and broken like any other. The open never
// blocks, so a FIFO in the lock's place is a lock like any other too.
std::optional<LockIdentity> presentLock(const std::string& lockPath) {
  struct stat info;
  int fd = open(lockPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (lstat(lockPath.c_str(), &info) != 0) return std::nullopt;
    return LockIdentity{info.st_dev, info.st_ino, info.st_ctim};
  }
  LockIdentity identity{};
  if (fstat(fd, &info) == 0) identity = {info.st_dev, info.st_ino, info.st_ctim};
  close(fd);
  return identity;
}

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
  for (;;) {
    int counter = 0;
    std::optional<LockIdentity> seen = presentLock(lockPath);
    while (seen) {
      NSRunLoop::currentRunLoop().runForInterval(kLockWait);
      std::optional<LockIdentity> now = presentLock(lockPath);
      if (!now) break;
      if (!(*now == *seen)) {
        counter = 0;  // taken anew by another process meanwhile: not stale
        seen = now;
        continue;
      }
      if (counter >= kLockWaitsBeforeBreaking) {
        if (removeFile(lockPath)) {
          NSLog("Lock file was deleted");
        } else {
          // A lock that can never be removed must not hang the caller: it goes on unlocked.
          NSLog("--- Could not delete lock file");
          NSLog("--- Could not create the lock file");
          return;
        }
        break;
      }
      ++counter;
    }
    // One exclusive create, so that two processes are never both inside.
    if (createExclusively(lockPath, 0666)) return;
    if (errno == EEXIST) continue;  // another process took the lock in between: wait again
    NSLog("--- Could not create the lock file");
    return;
  }
}

void unlockWithFile() {
  const std::string lockPath = devicePath(kSettingsLockPath);
  if (!presentLock(lockPath)) return;
  if (removeFile(lockPath)) {
    NSLog("Lock file was deleted");
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
