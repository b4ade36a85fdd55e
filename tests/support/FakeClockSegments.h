#pragma once
// libfaketime keeps a semaphore and a shared-memory segment per process in /dev/shm, named by
// the process id, and removes them when the process exits normally. A process killed with
// SIGKILL leaves them behind, and a later process that gets the same id then cannot start
// under faketime ("sem_open: File exists"). Tests that kill faked processes call this.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

// Removes the segments of processes that no longer exist.
inline void removeStaleFakeClockSegments() {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", error)) {
    std::string name = entry.path().filename().string();
    for (const char* prefix : {"sem.faketime_sem_", "faketime_shm_"}) {
      std::string start = prefix;
      if (name.rfind(start, 0) != 0) continue;
      char* end = nullptr;
      long pid = std::strtol(name.c_str() + start.size(), &end, 10);
      if (pid <= 0 || *end != '\0') continue;
      if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
        std::filesystem::remove(entry.path(), error);
      }
    }
  }
}
