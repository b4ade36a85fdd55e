#pragma once
// The switcher's shell command lines. They hold only fixed text and phone paths resolved under
// the device root, each quoted there as one word, so with MUTARO_DEVICE_ROOT unset each is
// exactly the phone's command line.
#include <string>

std::string touchMarkerCommand();   // "touch /var/mobile/Library/Preferences/mutaro.lck"
std::string removeMarkerCommand();  // "rm -rf /var/mobile/Library/Preferences/mutaro.lck"
std::string killMediaServerCommand();  // "killall mediaserverd"
// "/Applications/Mutaro.app/CopyFile SOURCE DESTINATION" for two phone paths.
std::string copyFileCommand(const char* sourcePath, const char* destinationPath);
std::string vibrateCommand();  // "/Applications/Mutaro.app/Vibrate"

// Runs `command` through the shell and waits for it; its status is ignored. Standard output is
// flushed first so that the switcher's own printed lines keep their place before the child's.
void runShellCommand(const std::string& command);
