#include "switcher/ShellCommands.h"

#include <cstdio>
#include <cstdlib>

#include "platform/Foundation/DevicePath.h"
#include "settings-store/SettingsPaths.h"
#include "system-files/SystemFiles.h"

std::string touchMarkerCommand() { return "touch " + devicePath(kMarkerPath); }

std::string removeMarkerCommand() { return "rm -rf " + devicePath(kMarkerPath); }

std::string killMediaServerCommand() { return "killall mediaserverd"; }

std::string copyFileCommand(const char* sourcePath, const char* destinationPath) {
  return devicePath(kCopyFileToolPath) + " " + devicePath(sourcePath) + " " +
         devicePath(destinationPath);
}

std::string vibrateCommand() { return devicePath(kVibrateToolPath); }

void runShellCommand(const std::string& command) {
  std::fflush(stdout);
  int status = std::system(command.c_str());
  (void)status;
}
