#include "settings-store/SoundsLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/NSLog.h"
#include "platform/Foundation/NSRunLoop.h"

namespace {

constexpr double kPoll = 0.1;

// Only the main thread of each program changes sounds, so plain statics do.
int lockDescriptor = -1;
int depth = 0;

// The lock file, opened without following a link at its last component and without blocking
// on whatever else may stand there; only a regular file will do. A link in its place is
// removed once, so that nobody can turn the lock into a write elsewhere or into nothing.
int openLockFile() {
  const std::string path = devicePath(kSoundsLockPath);
  for (int attempt = 0; attempt < 2; ++attempt) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
      struct stat info;
      if (errno == ELOOP && lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        unlink(path.c_str());
        continue;
      }
      return -1;
    }
    struct stat info;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) return fd;
    close(fd);
    return -1;
  }
  return -1;
}

}  // namespace

void lockSounds() {
  if (depth++ > 0) return;
  lockDescriptor = openLockFile();
  if (lockDescriptor < 0) {
    NSLog("--- Could not open the sounds lock");
    return;
  }
  // Never blocks in flock: the wait stays bounded, and the run loop keeps serving meanwhile.
  const double start = monotonicSeconds();
  while (flock(lockDescriptor, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) break;
    if (monotonicSeconds() - start >= kSoundsLockWait) {
      NSLog("--- Sounds lock still held, going on without it");
      break;
    }
    NSRunLoop::currentRunLoop().runForInterval(kPoll);
  }
}

void unlockSounds() {
  if (depth == 0 || --depth > 0) return;
  // Closing the last descriptor releases the lock.
  if (lockDescriptor >= 0) close(lockDescriptor);
  lockDescriptor = -1;
}
