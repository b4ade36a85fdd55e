#include "phonesim/calendar/DaemonLooks.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <optional>

#include "daemon/NextWake.h"
#include "phonesim/boot/Launcher.h"
#include "platform/AppSupport/CPWake.h"
#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/NSDate.h"

bool phoneBooted() {
  int fd = open(devicePath(kBootLockPath).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return false;
  // The boot holds the lock for as long as it runs.
  bool held = flock(fd, LOCK_SH | LOCK_NB) != 0;
  close(fd);
  return held;
}

DaemonLook whenDaemonLooks(time_t now) {
  if (!phoneBooted()) return {"never: the phone is not booted", "nothing silences it until `phonesim boot` runs"};
  std::optional<time_t> wake;
  for (const ScheduledWake& scheduled : simulatedWakes()) {
    if (scheduled.scheduledby == kWakeIdentifier && scheduled.time >= now) wake = scheduled.time;
  }
  return {wake ? "at " + localTimeStamp(*wake) + ", its next wake" : "at no wake: none is scheduled",
          "the launcher starts it when the calendar changes or the settings application asks"};
}
