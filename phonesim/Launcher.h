#pragma once
// The simulated phone's service launcher: starts the daemon at boot and again at the second
// of each wake in the wake schedule, as the phone would (current directory the application
// bundle, the device root passed on), at most one daemon at a time.
#include <csignal>
#include <string>

// Runs until *stop becomes non-zero; then ends a daemon still running, and everything it
// started, and returns once they have ended. Each daemon runs in a process group of its own;
// the calling process must be a child subreaper, so that the group's orphans come back to it.
// The device root must be set in this process (MUTARO_DEVICE_ROOT).
void runLauncher(const std::string& root, const volatile std::sig_atomic_t* stop);

// The daemon's own output (what it prints on standard output and error), beside the system log.
constexpr const char* kDaemonConsolePath = "/private/var/log/mutarod.out";
