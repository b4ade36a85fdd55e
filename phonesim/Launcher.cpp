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

#include "platform/AppSupport/CPWake.h"
#include "platform/Foundation/DevicePath.h"

namespace {

constexpr const char* kBundlePath = "/Applications/Mutaro.app";
constexpr long kPollMilliseconds = 500;  // on the phone's clock (faketime speeds it up too)

pid_t startDaemon(const std::string& root) {
  std::string bundle = devicePath(kBundlePath);
  std::string console = devicePath(kDaemonConsolePath);
  pid_t pid = fork();
  if (pid != 0) return pid;
  // The daemon starts with no signal blocked, whatever the launcher's thread blocks.
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  int out = open(console.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
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

}  // namespace

void runLauncher(const std::string& root, const volatile std::sig_atomic_t* stop) {
  const time_t bootTime = time(nullptr);
  std::set<std::pair<std::string, time_t>> handledWakes;
  bool daemonWanted = true;  // the start at boot
  pid_t daemon = -1;

  while (!*stop) {
    if (daemon > 0 && waitpid(daemon, nullptr, WNOHANG) == daemon) daemon = -1;

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
      daemonWanted = false;
    }
    waitForNextPoll();
  }

  if (daemon > 0) {
    kill(daemon, SIGTERM);
    while (waitpid(daemon, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
}
