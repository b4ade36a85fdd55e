// phonesim boot ROOT [--speed N]: runs the phone's long-lived processes on the device root ROOT until
// phonesim gets SIGINT, SIGTERM or SIGHUP, then stops them and everything they started, and
// returns 0 once all of it has ended.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "phonesim/Commands.h"
#include "phonesim/DeviceRoot.h"
#include "phonesim/boot/Launcher.h"
#include "phonesim/history/SettingsJournal.h"
#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/FileWrites.h"

extern char** environ;

namespace {

constexpr const char* kInstalledDaemon = "/Applications/Mutaro.app/Mutarod";

struct Child {
  std::string name;
  pid_t pid;
};

// Starts `program` with `arguments`, this process's environment and default signal handling.
// False, with a message, when it cannot be started.
bool startChild(const std::string& program, const std::vector<std::string>& arguments,
                std::vector<Child>* children) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  pid_t pid = 0;
  int error = posix_spawn(&pid, program.c_str(), nullptr, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) {
    std::fprintf(stderr, "phonesim: cannot start %s: %s\n", program.c_str(), std::strerror(error));
    return false;
  }
  children->push_back({std::filesystem::path(program).filename().string(), pid});
  return true;
}

// Reaps children that ended on their own and says so; the phone keeps running without them.
void reapEndedChildren(std::vector<Child>* children) {
  for (auto child = children->begin(); child != children->end();) {
    int status = 0;
    if (waitpid(child->pid, &status, WNOHANG) == child->pid) {
      if (WIFEXITED(status)) {
        std::fprintf(stderr, "phonesim: %s exited with status %d\n", child->name.c_str(), WEXITSTATUS(status));
      } else if (WIFSIGNALED(status)) {
        std::fprintf(stderr, "phonesim: %s ended by signal %d\n", child->name.c_str(), WTERMSIG(status));
      }
      child = children->erase(child);
    } else {
      ++child;
    }
  }
}

void stopChildren(std::vector<Child>* children) {
  for (const Child& child : *children) kill(child.pid, SIGTERM);
  for (const Child& child : *children) {
    int status = 0;
    while (waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  children->clear();
}

// The phone booted again under faketime's wrapper, whose shared clock every program of the
// phone then reads (a clock set for each process would start anew with each program).
int bootOnFastClock(const std::string& phone, double speed) {
  if (const char* clock = std::getenv("FAKETIME")) {
    std::fprintf(stderr, "phonesim boot: --speed: the clock is already set (FAKETIME=%s)\n", printable(clock).c_str());
    return 2;
  }
  char rate[32];
  std::snprintf(rate, sizeof rate, "+0 x%g", speed);
  const std::string self = binDirectory() + "/phonesim";
  std::vector<const char*> argv = {"faketime", "-f", rate, self.c_str(), "boot", phone.c_str(), nullptr};
  execvp(argv[0], const_cast<char* const*>(argv.data()));
  std::fprintf(stderr, "phonesim boot: --speed needs faketime (the Debian package faketime): %s\n", std::strerror(errno));
  return 1;
}

}  // namespace

int bootCommand(const std::string& root, double speed) {
  // Every process of the phone, and every one they start, sees this root.
  std::optional<std::string> phone = openPhone("boot", root);
  if (!phone) return 1;
  if (speed != 1) return bootOnFastClock(*phone, speed);
  const char* resolved = phone->c_str();
  if (access(devicePath(kInstalledDaemon).c_str(), X_OK) != 0) {
    std::fprintf(stderr, "phonesim boot: %s has no Mutaro installed; build it and run \"phonesim init %s\"\n", resolved,
                 resolved);
    return 1;
  }
  // One boot per phone: a second launcher would start a second daemon beside the first.
  makeDirectories(devicePath("/private/var/sim"));
  int bootLock = openForLocking(devicePath(kBootLockPath), 0666);
  if (bootLock < 0 || flock(bootLock, LOCK_EX | LOCK_NB) != 0) {
    std::fprintf(stderr, "phonesim boot: %s is already booted\n", resolved);
    return 1;
  }
  // Orphans of the phone's processes (a switcher whose daemon ended) come back to boot, which
  // waits for them before it returns.
  prctl(PR_SET_CHILD_SUBREAPER, 1);

  // Taken by sigwait; the children get the default mask back.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  sigaddset(&signals, SIGCHLD);
  sigprocmask(SIG_BLOCK, &signals, nullptr);

  std::vector<Child> children;
  // The journal starts with the settings as the phone boots with them, before any program runs.
  std::string booted = recordBoot();
  static volatile std::sig_atomic_t stopLauncher = 0;
  std::thread journal([booted] { recordSettingsChanges(booted, &stopLauncher); });
  if (!startChild(binDirectory() + "/SpringBoard", {}, &children)) {
    stopLauncher = 1;
    journal.join();
    return 1;
  }
  // Beside SpringBoard, the launcher runs the daemon's launch job.
  std::thread launcher([resolved = std::string(resolved)] { runLauncher(resolved, &stopLauncher); });

  for (;;) {
    int received = 0;
    if (sigwait(&signals, &received) != 0) continue;
    if (received == SIGCHLD) {
      reapEndedChildren(&children);
      continue;
    }
    break;
  }
  stopLauncher = 1;
  launcher.join();
  journal.join();
  stopChildren(&children);
  return 0;
}
