// phonesim app ROOT: opens the settings application of the phone in this terminal, as the
// home screen would: current directory the application bundle, the device root passed on.
#include <errno.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <iostream>
#include <string>

#include "phonesim/Commands.h"
#include "phonesim/DeviceRoot.h"
#include "platform/Foundation/DevicePath.h"

namespace {

constexpr const char* kBundleDirectory = "/Applications/Mutaro.app";

int fail(const std::string& message) { return commandFailed("app", message); }

// After an application that could not put the terminal back itself: its modes as they were,
// the main screen instead of the application's alternate one, and a visible cursor, with the
// attributes reset.
void restoreTerminal(const termios* saved) {
  if (saved != nullptr) tcsetattr(STDIN_FILENO, TCSADRAIN, saved);
  if (isatty(STDOUT_FILENO)) {
    static const char kBackToMainScreen[] = "\033[0m\033[?1049l\033[?25h\r\n";
    ssize_t ignored = write(STDOUT_FILENO, kBackToMainScreen, sizeof kBackToMainScreen - 1);
    (void)ignored;
  }
}

}  // namespace

int appCommand(const std::string& root) {
  const std::string phone = absoluteDeviceRoot(root);
  if (!isSafeDeviceRoot(phone)) {
    // The application writes paths under the root into shell command lines.
    return fail(phone + " has blanks or shell metacharacters; a device root cannot");
  }
  if (!openPhone("app", phone)) return 1;
  const std::string bundle = devicePath(kBundleDirectory);
  const std::string program = bundle + "/Mutaro";
  if (access(program.c_str(), X_OK) != 0) {
    return fail("Mutaro is not installed in " + phone + "; build it, then run \"phonesim init " + phone + "\"");
  }

  termios savedModes;
  const bool modesSaved = tcgetattr(STDIN_FILENO, &savedModes) == 0;
  pid_t child = fork();
  if (child < 0) return fail("cannot start Mutaro");
  if (child == 0) {
    if (chdir(bundle.c_str()) != 0) _exit(127);
    execl(program.c_str(), "Mutaro", static_cast<char*>(nullptr));
    _exit(127);
  }
  // The terminal's interrupt belongs to the application while it runs.
  struct sigaction ignore = {}, savedInterrupt = {}, savedQuit = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGINT, &ignore, &savedInterrupt);
  sigaction(SIGQUIT, &ignore, &savedQuit);
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return fail("lost the application");
  }
  sigaction(SIGINT, &savedInterrupt, nullptr);
  sigaction(SIGQUIT, &savedQuit, nullptr);
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  restoreTerminal(modesSaved ? &savedModes : nullptr);
  const int signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  std::cerr << "phonesim app: Mutaro ended by signal " << signal << " (" << strsignal(signal)
            << "); the terminal is put back\n";
  return 128 + signal;
}
