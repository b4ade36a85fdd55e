#include "switcher/ShellCommands.h"

#include <cstdio>
#include <cstdlib>

#include "platform/Foundation/DevicePath.h"
#include "settings-store/SettingsPaths.h"
#include "system-files/SystemFiles.h"

std::string touchMarkerCommand() { return "touch " + shellDevicePath(kMarkerPath); }

std::string removeMarkerCommand() { return "rm -rf " + shellDevicePath(kMarkerPath); }

std::string killMediaServerCommand() { return "killall mediaserverd"; }

std::string copyFileCommand(const char* sourcePath, const char* destinationPath) {
  return shellDevicePath(kCopyFileToolPath) + " " + shellDevicePath(sourcePath) + " " +
         shellDevicePath(destinationPath);
}

std::string vibrateCommand() { return shellDevicePath(kVibrateToolPath); }

void runShellCommand(const std::string& command) {
  std::fflush(stdout);
  int status = std::system(command.c_str());
  (void)status;
}
