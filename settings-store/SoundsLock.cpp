#include "settings-store/SoundsLock.h"

#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/FileWrites.h"
#include "platform/Foundation/NSLog.h"
#include "platform/Foundation/NSRunLoop.h"

namespace {

constexpr double kPoll = 0.1;

// Only the main thread of each program changes sounds, so plain statics do.
int lockDescriptor = -1;
int depth = 0;

}  // namespace

void lockSounds() {
  if (depth++ > 0) return;
  // A link or anything else that is no regular file in the lock's place is replaced, never
  // followed.
  lockDescriptor = openForLocking(devicePath(kSoundsLockPath), 0666);
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
