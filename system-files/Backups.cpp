#include "system-files/Backups.h"

#include <sys/stat.h>

#include <string>

#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/PropertyList.h"
#include "system-files/SystemFiles.h"

namespace {

bool present(const char* phonePath) {
  struct stat info;
  return lstat(devicePath(phonePath).c_str(), &info) == 0;
}

bool sameContents(const char* phonePathA, const char* phonePathB) {
  std::string a, b;
  return readWholeFile(devicePath(phonePathA), &a) && readWholeFile(devicePath(phonePathB), &b) && a == b;
}

}  // namespace

bool backupIsBack(const char* systemPath, const char* backupPath) {
  return !present(backupPath) || sameContents(systemPath, backupPath);
}

bool holdsReplacement(const char* systemPath, const char* replacementPath) {
  return sameContents(systemPath, replacementPath);
}

bool profileSilenceApplied() {
  return holdsReplacement(kSoundBehaviourPath, kVibrateSoundBehaviourPath) ||
         holdsReplacement(kSmsTonePath, kSilentSmsTonePath);
}
