#include "phonesim/Launcher.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <utility>
#include <vector>

#include "platform/AppSupport/CPWake.h"
#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/FileWrites.h"

namespace {

constexpr const char* kBundlePath = "/Applications/Mutaro.app";
constexpr long kPollMilliseconds = 500;  // on the phone's clock (faketime speeds it up too)

pid_t startDaemon(const std::string& root) {
  std::string bundle = devicePath(kBundlePath);
  std::string console = devicePath(kDaemonConsolePath);
  pid_t pid = fork();
  if (pid != 0) return pid;
  // A group of its own: the daemon's shell and switcher can be ended with it.
  setpgid(0, 0);
  // The daemon starts with no signal blocked, whatever the launcher's thread blocks.
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  int out = openForAppending(console.c_str(), 0644);
  if (out >= 0) {
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
  }
  int in = open("/dev/null", O_RDONLY);
  if (in >= 0) dup2(in, STDIN_FILENO);
  setenv("MUTARO_DEVICE_ROOT", root.c_str(), 1);
  if (chdir(bundle.c_str()) != 0) _exit(127);
  execl("./Mutarod", "./Mutarod", static_cast<char*>(nullptr));
  _exit(127);
}

void waitForNextPoll() {
  struct timespec wait = {0, kPollMilliseconds * 1000000};
  nanosleep(&wait, nullptr);
}

// Reaps what has ended in the daemons' groups, and forgets the groups that are gone.
void reapGroups(std::vector<pid_t>* groups) {
  std::erase_if(*groups, [](pid_t group) {
    pid_t ended;
    while ((ended = waitpid(-group, nullptr, WNOHANG)) > 0) {
    }
    return ended < 0 && errno == ECHILD;  // none of the group is left
  });
}

// Ends a daemon's whole group and waits until none of it is left.
void endGroup(pid_t group) {
  kill(-group, SIGTERM);
  while (waitpid(-group, nullptr, 0) > 0 || errno == EINTR) {
  }
}

}  // namespace

void runLauncher(const std::string& root, const volatile std::sig_atomic_t* stop) {
  const time_t bootTime = time(nullptr);
  std::set<std::pair<std::string, time_t>> handledWakes;
  bool daemonWanted = true;  // the start at boot
  pid_t daemon = -1;

  std::vector<pid_t> groups;  // the daemons' process groups, which may outlive their daemon
  while (!*stop) {
    reapGroups(&groups);
    if (daemon > 0 && kill(daemon, 0) != 0) daemon = -1;

    time_t now = time(nullptr);
    for (const ScheduledWake& wake : simulatedWakes()) {
      // Wakes that fell due before the boot were missed while the phone was off.
      if (wake.time < bootTime || wake.time > now) continue;
      // A wake that comes while the daemon runs finds the phone awake: the daemon, which stays
      // only while a boundary is less than a minute ahead, handles it itself.
      if (handledWakes.insert({wake.scheduledby, wake.time}).second && daemon < 0) daemonWanted = true;
    }
    if (daemonWanted && daemon < 0) {
      daemon = startDaemon(root);
      groups.push_back(daemon);
      daemonWanted = false;
    }
    waitForNextPoll();
  }

  for (pid_t group : groups) endGroup(group);
}
