#include "platform/AppSupport/CPWake.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <functional>

#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/FileWrites.h"
#include "platform/Foundation/NSDate.h"
#include "platform/Foundation/NSLog.h"
#include "platform/Foundation/PropertyList.h"

// The list is edited by read-modify-write under an exclusive flock(2) on a side file, so two
// processes that schedule at once both keep their entry. The list itself is replaced by an
// atomic rename, which is why the lock cannot sit on the list file.

namespace {

std::string lockFilePath() { return devicePath(kAutoWakePath) + ".lock"; }

// Holds the exclusive lock on the side file for its lifetime.
class WakeScheduleLock {
 public:
  WakeScheduleLock() {
    fd_ = openForLocking(lockFilePath(), 0644);
    if (fd_ < 0) {
      error_ = errno;
      return;
    }
    while (flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        error_ = errno;
        close(fd_);
        fd_ = -1;
        return;
      }
    }
  }
  ~WakeScheduleLock() {
    if (fd_ >= 0) close(fd_);
  }
  WakeScheduleLock(const WakeScheduleLock&) = delete;
  WakeScheduleLock& operator=(const WakeScheduleLock&) = delete;
  bool held() const { return fd_ >= 0; }
  int error() const { return error_; }

 private:
  int fd_ = -1;
  int error_ = 0;
};

bool wakeListExists() {
  struct stat info;
  return stat(devicePath(kAutoWakePath).c_str(), &info) == 0 || errno != ENOENT;
}

// Unix seconds of a date node, whole seconds (a fraction is dropped towards the past).
time_t unixSeconds(plist_t date) { return plistDateUnixSeconds(date); }

// Runs `edit` on the "wake" array of the list, under the lock, and writes the list back when
// `edit` says it changed something. A missing list is started empty when `createMissing`; a
// list that cannot be parsed is left alone.
void editWakeList(const char* operation, bool createMissing,
                  const std::function<bool(plist_t wakes)>& edit) {
  std::string listPath = devicePath(kAutoWakePath);
  if (createMissing) {
    makeDirectories(std::filesystem::path(listPath).parent_path().string());
  } else if (!wakeListExists()) {
    return;
  }
  WakeScheduleLock lock;
  if (!lock.held()) {
    NSLog("%s: cannot lock %s: %s", operation, lockFilePath().c_str(), strerror(lock.error()));
    return;
  }

  PlistPtr root;
  if (wakeListExists()) {
    std::string error;
    root = readPropertyListFile(kAutoWakePath, &error);
    if (!root || !PLIST_IS_DICT(root.get())) {
      NSLog("%s: left %s alone, it is not a readable dictionary: %s", operation,
            listPath.c_str(), root ? "another root type" : error.c_str());
      return;
    }
  } else if (createMissing) {
    root.reset(plist_new_dict());
  } else {
    return;
  }

  plist_t wakes = plist_dict_get_item(root.get(), "wake");
  if (wakes == nullptr) {
    wakes = plist_new_array();
    plist_dict_set_item(root.get(), "wake", wakes);
  } else if (!PLIST_IS_ARRAY(wakes)) {
    NSLog("%s: left %s alone, its \"wake\" is not an array", operation, listPath.c_str());
    return;
  }

  if (edit(wakes) && !writePropertyListFileAtomically(root.get(), kAutoWakePath)) {
    NSLog("%s: cannot write %s", operation, listPath.c_str());
  }
}

}  // namespace

void CPScheduleWakeAtDateWithIdentifier(time_t date, const char* identifier) {
  const char* operation = "CPScheduleWakeAtDateWithIdentifier";
  // Property-list dates are written with four-digit years.
  constexpr long long kFirstDate = -62135596800, kLastDate = 253402300799;  // 0001-01-01, 9999-12-31 23:59:59 UTC
  if (identifier == nullptr || date < kFirstDate || date > kLastDate) {
    NSLog("%s: no wake scheduled for an invalid date or identifier", operation);
    return;
  }
  editWakeList(operation, true, [&](plist_t wakes) {
    plist_t wake = plist_new_dict();
    plist_dict_set_item(wake, "scheduledby", plist_new_string(identifier));
    plist_dict_set_item(wake, "time", newPlistDate(date));
    plist_array_append_item(wakes, wake);
    return true;
  });
}

void CPCancelWakeAtDateWithIdentifier(time_t date, const char* identifier) {
  if (identifier == nullptr) return;
  editWakeList("CPCancelWakeAtDateWithIdentifier", false, [&](plist_t wakes) {
    bool removed = false;
    for (uint32_t index = plist_array_get_size(wakes); index-- > 0;) {
      plist_t wake = plist_array_get_item(wakes, index);
      if (!PLIST_IS_DICT(wake)) continue;
      plist_t scheduledBy = plist_dict_get_item(wake, "scheduledby");
      plist_t time = plist_dict_get_item(wake, "time");
      if (!PLIST_IS_STRING(scheduledBy) || !PLIST_IS_DATE(time)) continue;
      if (unixSeconds(time) == date &&
          std::strcmp(plist_get_string_ptr(scheduledBy, nullptr), identifier) == 0) {
        plist_array_remove_item(wakes, index);
        removed = true;
      }
    }
    return removed;
  });
}

std::vector<ScheduledWake> simulatedWakes() {
  std::vector<ScheduledWake> list;
  PlistPtr root = readPropertyListFile(kAutoWakePath);
  plist_t wakes = PLIST_IS_DICT(root.get()) ? plist_dict_get_item(root.get(), "wake") : nullptr;
  if (!PLIST_IS_ARRAY(wakes)) return list;
  for (uint32_t index = 0; index < plist_array_get_size(wakes); ++index) {
    plist_t wake = plist_array_get_item(wakes, index);
    if (!PLIST_IS_DICT(wake)) continue;
    plist_t time = plist_dict_get_item(wake, "time");
    if (!PLIST_IS_DATE(time)) continue;
    plist_t scheduledBy = plist_dict_get_item(wake, "scheduledby");
    list.push_back({PLIST_IS_STRING(scheduledBy) ? plist_get_string_ptr(scheduledBy, nullptr) : "",
                    unixSeconds(time)});
  }
  return list;
}
