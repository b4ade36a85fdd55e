#include "daemon/SystemFiles.h"

#include <sys/stat.h>

#include <string>

#include "daemon/ShellCommand.h"
#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/PropertyList.h"

namespace {

bool exists(const std::string& phonePath) {
  struct stat status;
  return stat(devicePath(phonePath).c_str(), &status) == 0;
}

// A missing preference file is created empty and handed to the user mobile.
void ensurePreferenceFile(const std::string& phonePath) {
  if (canBeOpenedForReading(devicePath(phonePath))) return;
  runShellCommand("touch " + shellDevicePath(phonePath));
  runShellCommand("chown mobile:mobile " + shellDevicePath(phonePath));
}

// A missing bundle copy is taken from the system, into the bundle and into Documents.
void ensureBundleCopy(const std::string& bundleCopy, const std::string& systemFile,
                      const std::string& documentsCopy) {
  if (exists(bundleCopy)) return;
  std::string copyFile = shellDevicePath("/Applications/Mutaro.app/CopyFile");
  runShellCommand(copyFile + " " + shellDevicePath(systemFile) + " " + shellDevicePath(bundleCopy));
  runShellCommand(copyFile + " " + shellDevicePath(systemFile) + " " + shellDevicePath(documentsCopy));
}

}  // namespace

void prepareSystemFiles() {
  ensurePreferenceFile("/private/var/mobile/Library/Preferences/com.apple.mobiletimer.plist");
  ensurePreferenceFile("/private/var/mobile/Library/Preferences/com.apple.mobilemail.plist");
  ensurePreferenceFile("/private/var/mobile/Library/Preferences/com.apple.mobilephone.plist");
  ensurePreferenceFile("/private/var/mobile/Library/Preferences/com.apple.preferences.sounds.plist");
  ensureBundleCopy("/Applications/Mutaro.app/SystemSoundBehaviour.plist",
                   "/System/Library/PrivateFrameworks/Celestial.framework/SystemSoundBehaviour.plist",
                   "/private/var/mobile/Documents/SystemSoundBehaviour.plist");
  ensureBundleCopy("/Applications/Mutaro.app/sms-received1.caf",
                   "/System/Library/Audio/UISounds/sms-received1.caf",
                   "/private/var/mobile/Documents/sms-received1.caf");
}
