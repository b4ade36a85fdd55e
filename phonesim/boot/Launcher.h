#pragma once
// The simulated phone's service launcher: runs the daemon's launch job as the platform's
// launcher does. It starts the job at load (RunAtLoad), when one of its WatchPaths changes, when
// a notification its LaunchEvents name is posted, and at the second of each wake in the wake
// schedule; when the wall clock is set it posts the platform's clock-set notification. Never
// two daemons at once, no two starts within the job's ThrottleInterval; a trigger that comes
// while the daemon runs gives one more start after it has ended. A job kept alive unless it
// exits successfully is started again when it ends by a signal or with a failure status.
#include <csignal>
#include <string>

// Runs until *stop becomes non-zero; then ends a daemon still running, and everything it
// started, and returns once they have ended. Each daemon runs in a process group of its own;
// the calling process must be a child subreaper, so that the group's orphans come back to it.
// The device root must be set in this process (MUTARO_DEVICE_ROOT).
void runLauncher(const std::string& root, const volatile std::sig_atomic_t* stop);

// The daemon's own output (what it prints on standard output and error), beside the system log.
constexpr const char* kDaemonConsolePath = "/private/var/log/mutarod.out";
// Held (flock) by the phone's boot while it runs.
constexpr const char* kBootLockPath = "/private/var/sim/boot.lock";
// Every start of the daemon, one record each: the phone's time and what started it.
constexpr const char* kDaemonStartsJournal = "daemon-starts";
